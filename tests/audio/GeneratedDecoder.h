// A decoder whose samples come from a formula, for unit tests of the channel
// layer alone: every sample is known exactly at every frame.
#pragma once

#include <algorithm>
#include <functional>

#include "audio/AudioLibrary.h"
#include "audio/decoders/Decoder.h"

namespace audiotest {

using SampleFormula = std::function<float(uint64_t frame, uint32_t channel)>;

// Distinct, exactly representable values, different on every channel.
inline float RampSample(uint64_t frame, uint32_t channel) {
    return static_cast<float>(static_cast<int>(frame % 1024) - 512) / 1024.0f +
           static_cast<float>(channel) / 4096.0f;
}

class GeneratedDecoder : public audio::Decoder {
  public:
    GeneratedDecoder(uint32_t rate, uint32_t channels, uint64_t frames,
                     SampleFormula formula = RampSample, uint32_t type = audio::kTypeWav)
        : rate_(rate), channels_(channels), frames_(frames), formula_(std::move(formula)),
          type_(type) {}

    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return channels_; }
    uint32_t typeCode() const override { return type_; }
    uint64_t lengthFrames() const override { return frames_; }

    size_t read(float* out, size_t frames) override {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(frames, frames_ - next_));
        for (size_t i = 0; i < n; ++i)
            for (uint32_t c = 0; c < channels_; ++c) out[i * channels_ + c] = formula_(next_ + i, c);
        next_ += n;
        return n;
    }

    bool seek(uint64_t frame) override {
        if (frame > frames_) return false;
        next_ = frame;
        return true;
    }

  private:
    uint32_t rate_;
    uint32_t channels_;
    uint64_t frames_;
    SampleFormula formula_;
    uint32_t type_;
    uint64_t next_ = 0;
};

} // namespace audiotest
