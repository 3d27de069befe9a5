#include "EffectPeakingEq.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "EffectClamp.h"

namespace audio {

PeakingEqualizer::PeakingEqualizer(uint32_t rate, uint32_t channels)
    : rate_(rate > 0 ? rate : 44100), channels_(channels),
      state_(size_t(kBands) * channels * 2, 0.0) {
    for (int b = 0; b < kBands; ++b) {
        records_[b].band = b;
        records_[b].rate = int32_t(rate_);
    }
}

bool PeakingEqualizer::setBand(const EqBandRecord& record) {
    if (record.band < 0 || record.band >= kBands) return false;
    records_[record.band] = record;
    coefficients_[record.band] = design(record);
    if (coefficients_[record.band].flat) {
        auto first = state_.begin() + ptrdiff_t(record.band) * channels_ * 2;
        std::fill(first, first + ptrdiff_t(channels_) * 2, 0.0);
    }
    return true;
}

bool PeakingEqualizer::band(int index, EqBandRecord& record) const {
    if (index < 0 || index >= kBands) return false;
    record = records_[index];
    return true;
}

// The cookbook's peaking filter. The record's rate is not trusted: the
// samples arrive at the channel's own rate, whatever the caller believed.
PeakingEqualizer::Coefficients PeakingEqualizer::design(const EqBandRecord& record) const {
    Coefficients c;
    const double gain = clampParameter(record.gain, -15.0, 15.0, 0.0);
    const double centre = clampParameter(record.centre, 0.0, 0.45 * rate_, 0.0);
    if (gain == 0.0 || centre < 10.0) return c;

    const double a = std::pow(10.0, gain / 40.0);
    const double w0 = 2.0 * std::numbers::pi * centre / rate_;
    const double sinW0 = std::sin(w0);
    const double cosW0 = std::cos(w0);
    double alpha;
    if (std::isfinite(record.bandwidth) && record.bandwidth > 0) {
        const double octaves = std::clamp<double>(record.bandwidth, 0.05, 4.0);
        // Near the Nyquist frequency the width's warping term grows without
        // bound and would push a pole onto the unit circle.
        const double spread = std::min(std::numbers::ln2 / 2.0 * octaves * w0 / sinW0, 2.0);
        alpha = sinW0 * std::sinh(spread);
    } else {
        const double q = clampParameter(record.q > 0 ? record.q : 1.41, 0.1, 30.0, 1.41);
        alpha = sinW0 / (2.0 * q);
    }
    const double a0 = 1.0 + alpha / a;
    c.b0 = (1.0 + alpha * a) / a0;
    c.b1 = -2.0 * cosW0 / a0;
    c.b2 = (1.0 - alpha * a) / a0;
    c.a1 = c.b1;
    c.a2 = (1.0 - alpha / a) / a0;
    c.flat = false;
    return c;
}

void PeakingEqualizer::process(float* interleaved, size_t frames) {
    for (int b = 0; b < kBands; ++b) {
        const Coefficients& c = coefficients_[b];
        if (c.flat) continue;
        for (uint32_t ch = 0; ch < channels_; ++ch) {
            double* z = &state_[(size_t(b) * channels_ + ch) * 2];
            double z1 = z[0], z2 = z[1];
            float* s = interleaved + ch;
            for (size_t i = 0; i < frames; ++i, s += channels_) {
                const double x = *s;
                const double y = c.b0 * x + z1;
                z1 = c.b1 * x - c.a1 * y + z2;
                z2 = c.b2 * x - c.a2 * y;
                *s = float(y);
            }
            // Silence would otherwise decay into denormals, which are slow.
            z[0] = std::abs(z1) < 1e-30 ? 0.0 : z1;
            z[1] = std::abs(z2) < 1e-30 ? 0.0 : z2;
        }
    }
}

} // namespace audio
