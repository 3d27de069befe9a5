// Decoders of live network streams. They run on a stream's own thread and
// read a source that waits for its bytes: readAt() blocks until the bytes
// asked for have arrived, and returns fewer only once the stream has ended
// or been closed. The source is read once, front to back from the offset
// given; a stream decoder never seeks it and never asks its size.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "audio/decoders/Decoder.h"
#include "audio/network/StreamKind.h"
#include "audio/sources/ByteSource.h"

namespace audio {

// Bytes a stream may bring without a decoded frame (damage, junk, a long
// run of headers) before its decoder gives up and ends it.
constexpr uint64_t kStreamBytesWithoutSound = 2 << 20;

// read() blocks until it has decoded frames; fewer than asked are fine, and
// 0 means the stream has ended (or its source was closed). The rate and the
// channel count are those of the stream's first frames and stay so: later
// data of another format is converted to them, or ends the stream where it
// cannot be.
class StreamDecoder : public Decoder {
  public:
    uint64_t lengthFrames() const final { return 0; }
    bool seek(uint64_t) final { return false; }
    // A title the stream's own data gives (the ARTIST and TITLE comments of
    // an Ogg link, as "Artist - Title", or the title alone), once each time
    // it changes; its bytes as they came. Asked on the reading thread, after
    // a read(): the title holds from (about) the frames that read gave.
    virtual std::optional<std::string> takeTitle() { return std::nullopt; }
};

// Each starts at offset, where the stream's first frame, page or header
// object was found; nullptr when the stream cannot be decoded. Opening reads
// (and waits for) the first header, or, for the FFmpeg kinds, the first frame.
std::unique_ptr<StreamDecoder> OpenMpegStreamDecoder(const std::shared_ptr<ByteSource>& source, uint64_t offset);
std::unique_ptr<StreamDecoder> OpenVorbisStreamDecoder(const std::shared_ptr<ByteSource>& source, uint64_t offset);
// AAC (ADTS), Ogg Opus and ASF (WMA) through the FFmpeg plugin.
std::unique_ptr<StreamDecoder> OpenPluginStreamDecoder(const std::shared_ptr<ByteSource>& source, uint64_t offset,
                                                       StreamKind kind);

} // namespace audio
