// Converts a channel's stereo frames from its playback rate to the output
// rate; at the output rate it is a bit-exact pass-through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "AudioLibrary.h"

struct SwrContext;

namespace audio {

class RateConverter {
  public:
    RateConverter() = default;
    ~RateConverter();
    RateConverter(const RateConverter&) = delete;
    RateConverter& operator=(const RateConverter&) = delete;

    // Frames still held by the old conversion are appended to out first, so
    // a rate change drops nothing. False (old rate kept) when unsupported.
    bool setInputRate(uint32_t rate, std::vector<float>& out);
    bool passThrough() const { return context_ == nullptr; }
    // Appends the converted frames to out (interleaved stereo).
    void convert(const float* stereo, size_t frames, std::vector<float>& out);
    // Appends what the filter still holds once the input has ended.
    void drain(std::vector<float>& out);
    // Forgets everything held (after a seek).
    void reset();
    // Input frames that yield about outFrames output frames.
    size_t inputFramesFor(size_t outFrames) const;

  private:
    SwrContext* context_ = nullptr;
    uint32_t inputRate_ = kOutputRate;
};

} // namespace audio
