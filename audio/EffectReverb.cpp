#include "EffectReverb.h"

#include <cmath>

#include "EffectClamp.h"

namespace audio {

namespace {

// Mutually prime lengths at 44.1 kHz keep the combs' echoes from lining up.
constexpr std::array<int, 8> kCombLengths = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr std::array<int, 4> kAllPassLengths = {556, 441, 341, 225};
// Each further audio channel gets slightly longer lines so that the
// channels' tails are not identical.
constexpr int kChannelSpread = 23;
constexpr float kDamping = 0.2f;
constexpr float kAllPassFeedback = 0.5f;

size_t scaledLength(int length, uint32_t rate) {
    return std::max<size_t>(1, size_t(std::lround(double(length) * rate / 44100.0)));
}

float flushDenormal(float v) { return std::abs(v) < 1e-25f ? 0.0f : v; }

} // namespace

Reverb::Reverb(uint32_t rate, uint32_t channels)
    : rate_(rate > 0 ? rate : 44100), networks_(channels) {
    for (size_t ch = 0; ch < networks_.size(); ++ch) {
        const int spread = int(ch) * kChannelSpread;
        for (size_t i = 0; i < kCombLengths.size(); ++i)
            networks_[ch].combs[i].buffer.assign(scaledLength(kCombLengths[i] + spread, rate_), 0.0f);
        for (size_t i = 0; i < kAllPassLengths.size(); ++i)
            networks_[ch].allPasses[i].buffer.assign(scaledLength(kAllPassLengths[i] + spread, rate_),
                                                     0.0f);
    }
    setParameters(record_);
}

void Reverb::setParameters(const ReverbRecord& record) {
    record_ = record;
    wet_ = float(clampParameter(record.level, 0.0, 1.0, 0.0));
    const int delayMs = record.delayMs == 0 ? kDefaultDelayMs : record.delayMs;
    const double seconds = clampParameter(delayMs, 1200, 10000, kDefaultDelayMs) / 1000.0;
    for (Network& n : networks_) {
        for (Comb& c : n.combs) {
            const double g = std::pow(10.0, -3.0 * double(c.buffer.size()) / (rate_ * seconds));
            c.feedback = float(g);
            // Scaled so that the eight combs together carry about the power
            // of their input, whatever the feedback.
            c.inputGain = float(std::sqrt((1.0 - g * g) / double(n.combs.size())));
        }
    }
}

float Reverb::runNetwork(Network& n, float input) {
    float sum = 0;
    for (Comb& c : n.combs) {
        const float out = c.buffer[c.pos];
        c.store = flushDenormal(out * (1.0f - kDamping) + c.store * kDamping);
        c.buffer[c.pos] = input * c.inputGain + c.store * c.feedback;
        if (++c.pos == c.buffer.size()) c.pos = 0;
        sum += out;
    }
    // True all-passes (unit gain at every frequency), so that the diffusion
    // cannot lift a resonance of the combs.
    for (AllPass& a : n.allPasses) {
        const float delayed = a.buffer[a.pos];
        const float w = flushDenormal(sum + delayed * kAllPassFeedback);
        a.buffer[a.pos] = w;
        if (++a.pos == a.buffer.size()) a.pos = 0;
        sum = delayed - kAllPassFeedback * w;
    }
    return sum;
}

void Reverb::process(float* interleaved, size_t frames) {
    if (wet_ == 0.0f) return;
    const size_t channels = networks_.size();
    const float dry = 1.0f - wet_;
    for (size_t i = 0; i < frames; ++i) {
        float* frame = interleaved + i * channels;
        for (size_t ch = 0; ch < channels; ++ch)
            frame[ch] = dry * frame[ch] + wet_ * runNetwork(networks_[ch], frame[ch]);
    }
}

} // namespace audio
