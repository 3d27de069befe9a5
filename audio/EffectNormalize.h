// Normalizer: a slow automatic gain control. The gain moves toward the one
// that brings the peak of the last `window` seconds to the target level,
// never amplifies what stays below the quiet level, and is cut at once
// whenever a sample would otherwise go above full scale.
#pragma once

#include <cstdint>
#include <vector>

#include "Effect.h"
#include "EffectsLibrary.h"

namespace audio {

class Normalizer : public Effect {
  public:
    Normalizer(uint32_t rate, uint32_t channels);

    void setParameters(const NormalizeRecord& record);
    const NormalizeRecord& parameters() const { return record_; }

    void process(float* interleaved, size_t frames) override;

  private:
    void endBlock();

    uint32_t channels_;
    size_t blockFrames_;
    NormalizeRecord record_{};
    double target_ = 0.85, quiet_ = 0.1, rate_ = 0.02, maxAmp_ = 1;

    double gain_ = 1;
    std::vector<float> blockPeaks_; // the window, one peak per block
    size_t blockIndex_ = 0;
    size_t framesInBlock_ = 0;
    float blockPeak_ = 0;
};

} // namespace audio
