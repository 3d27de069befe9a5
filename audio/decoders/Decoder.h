// One decoder per file kind behind a small interface; channels know nothing
// of formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace audio {

class Decoder {
  public:
    virtual ~Decoder() = default;
    virtual uint32_t rate() const = 0;
    virtual uint32_t channels() const = 0;
    virtual uint32_t typeCode() const = 0;
    // The bits per sample the file stores, for the lossless kinds whose
    // header says; 0 where the format has no such figure.
    virtual uint32_t sourceBits() const { return 0; }
    // Frames from start to end, exactly what read() delivers in all.
    virtual uint64_t lengthFrames() const = 0;
    // Decodes up to `frames` frames of interleaved float samples; fewer only
    // at the end, 0 once ended.
    virtual size_t read(float* out, size_t frames) = 0;
    // The next read() starts at this frame, exactly.
    virtual bool seek(uint64_t frame) = 0;
    // A decoder fed by a network stream may have fewer frames ready than
    // asked: its read() then returns what there is, maybe none, and never
    // waits; finished() tells whether it has ended.
    virtual bool live() const { return false; }
    virtual bool finished() const { return true; }
};

// Rates a source may claim; beyond them its header is damaged or hostile.
constexpr uint32_t kLowestSourceRate = 1000;
constexpr uint32_t kHighestSourceRate = 768000;

class ByteSource;
struct SourceHeader;

// Each returns nullptr when the content is not its own (whatever the name),
// looking at the header first. A decoder that accepts keeps the source.
// The WMA, MIDI, FLAC, Opus and MP4/AAC decoders live in plugins (DecoderPlugins.h), loaded for
// the first source whose first bytes are those of their kind.
std::unique_ptr<Decoder> OpenMpegDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                         bool exactLength);
// WAV, AIFF
std::unique_ptr<Decoder> OpenSndfileDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header);
std::unique_ptr<Decoder> OpenVorbisDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header);
// FLAC, native or in Ogg. `measureOnly`: a native file whose tail bears its
// count out is measured without libFLAC, which is set up at the first read.
std::unique_ptr<Decoder> OpenFlacDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                         bool measureOnly);
// `measureOnly`: measured from the first and last pages where the file
// allows, libopusfile opened at the first read.
std::unique_ptr<Decoder> OpenOpusDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                         bool measureOnly);
// AAC and ALAC in MP4, and raw AAC (ADTS). `measureOnly`: the format comes
// from the container and the decoder is set up at the first read.
std::unique_ptr<Decoder> OpenMp4Decoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                        bool measureOnly);
std::unique_ptr<Decoder> OpenWmaDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header);
// rate 0 = the output rate (44100).
std::unique_ptr<Decoder> OpenModuleDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                           uint32_t rate, bool interpolate);
std::unique_ptr<Decoder> OpenMidiDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                         uint32_t rate);

} // namespace audio
