#include "EffectNormalize.h"

#include <algorithm>
#include <cmath>

#include "EffectClamp.h"

namespace audio {

namespace {

constexpr double kBlockSeconds = 0.01;
// Just under full scale, so that rounding of x * gain cannot reach 1.0.
constexpr double kCeiling = 0.999;

} // namespace

Normalizer::Normalizer(uint32_t rate, uint32_t channels)
    : channels_(channels),
      blockFrames_(std::max<size_t>(1, size_t((rate > 0 ? rate : 44100) * kBlockSeconds))) {
    setParameters({0.85f, 0.1f, 0.02f, 1.0f, 1.0f, 0});
    record_ = {};
}

void Normalizer::setParameters(const NormalizeRecord& record) {
    record_ = record;
    target_ = clampParameter(record.target, 0.01, kCeiling, 0.85);
    quiet_ = clampParameter(record.quiet, 0.0, target_, 0.1);
    rate_ = clampParameter(record.rate, 0.001, 1.0, 0.02);
    maxAmp_ = clampParameter(record.maxAmp, 1.0, 10.0, 1.0);
    const double window = record.window > 0 ? record.window : 1.0;
    const size_t blocks = size_t(clampParameter(window / kBlockSeconds, 1.0, 1000.0, 100.0));
    if (blocks != blockPeaks_.size()) {
        blockPeaks_.assign(blocks, 0.0f);
        blockIndex_ = 0;
    }
}

void Normalizer::endBlock() {
    blockPeaks_[blockIndex_] = blockPeak_;
    blockIndex_ = (blockIndex_ + 1) % blockPeaks_.size();
    blockPeak_ = 0;
    framesInBlock_ = 0;

    const double peak = *std::max_element(blockPeaks_.begin(), blockPeaks_.end());
    const double wanted = peak < quiet_ ? 1.0 : std::min(target_ / peak, maxAmp_);
    gain_ += (wanted - gain_) * rate_;
}

void Normalizer::process(float* interleaved, size_t frames) {
    if (channels_ == 0) return;
    for (size_t i = 0; i < frames; ++i) {
        float* frame = interleaved + i * channels_;
        float peak = 0;
        for (uint32_t ch = 0; ch < channels_; ++ch) peak = std::max(peak, std::abs(frame[ch]));
        if (peak * gain_ > kCeiling) gain_ = kCeiling / peak;
        for (uint32_t ch = 0; ch < channels_; ++ch) frame[ch] = float(frame[ch] * gain_);
        blockPeak_ = std::max(blockPeak_, peak);
        if (++framesInBlock_ == blockFrames_) endBlock();
    }
}

} // namespace audio
