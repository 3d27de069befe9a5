// One WMA stream of an ASF source: the demuxer, reading the source through
// its own I/O context, and a decoder of its own, fresh at every opening, so
// that decoding from the start always gives the same samples.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/decoders/FfmpegInput.h"
#include "audio/sources/ByteSource.h"

namespace audio {

class WmaSource {
  public:
    // nullptr unless the source is ASF with a WMA audio stream FFmpeg
    // decodes. The source must outlive what is opened.
    static std::unique_ptr<WmaSource> open(ByteSource& source);
    WmaSource(const WmaSource&) = delete;
    WmaSource& operator=(const WmaSource&) = delete;

    uint32_t rate() const { return rate_; }
    uint32_t channels() const { return channels_; }
    // WMA 1 and 2 without the bit reservoir: every packet holds one frame.
    bool oneFramePerPacket() const { return oneFramePerPacket_; }

    // Reads the stream's next packet; false at the end (or unreadable data).
    bool nextPacket();
    int64_t packetTime() const;
    // Decodes the packet just read and appends its samples; returns frames.
    size_t decodePacket(std::vector<float>& out);
    // After the last packet: what the decoder still holds.
    size_t drain(std::vector<float>& out);
    // Repositions the demuxer at or before `time` with a fresh decoder.
    bool seekBefore(int64_t time);

  private:
    explicit WmaSource(ByteSource& source) : cursor_(source) {}
    bool openDecoder();
    size_t receive(std::vector<float>& out);

    SourceCursor cursor_;
    FfmpegInput in_;
    uint32_t rate_ = 0;
    uint32_t channels_ = 0;
    bool oneFramePerPacket_ = false;
};

} // namespace audio
