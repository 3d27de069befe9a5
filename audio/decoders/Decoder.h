// One decoder per file kind behind a small interface; channels know nothing
// of formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace audio {

class Decoder {
  public:
    virtual ~Decoder() = default;
    virtual uint32_t rate() const = 0;
    virtual uint32_t channels() const = 0;
    virtual uint32_t typeCode() const = 0;
    // Frames from start to end, exactly what read() delivers in all.
    virtual uint64_t lengthFrames() const = 0;
    // Decodes up to `frames` frames of interleaved float samples; fewer only
    // at the end, 0 once ended.
    virtual size_t read(float* out, size_t frames) = 0;
    // The next read() starts at this frame, exactly.
    virtual bool seek(uint64_t frame) = 0;
};

// Each returns nullptr when the content is not its own (whatever the name).
// The WMA and MIDI decoders live in plugins (DecoderPlugins.h), loaded for
// the first file whose first bytes are those of their kind.
std::unique_ptr<Decoder> OpenMpegDecoder(const std::string& path, bool exactLength);
std::unique_ptr<Decoder> OpenSndfileDecoder(const std::string& path); // WAV, AIFF
std::unique_ptr<Decoder> OpenVorbisDecoder(const std::string& path);
std::unique_ptr<Decoder> OpenWmaDecoder(const std::string& path);
// rate 0 = the output rate (44100).
std::unique_ptr<Decoder> OpenModuleDecoder(const std::string& path, uint32_t rate, bool interpolate);
std::unique_ptr<Decoder> OpenMidiDecoder(const std::string& path, uint32_t rate);

} // namespace audio
