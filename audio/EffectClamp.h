// Parameter records come from callers as they are: every value an effect
// uses passes through here so that NaN or out-of-range input cannot make a
// filter unstable.
#pragma once

#include <algorithm>
#include <cmath>

namespace audio {

// value limited to [lo, hi]; fallback when it is not a finite number.
inline double clampParameter(double value, double lo, double hi, double fallback) {
    if (!std::isfinite(value)) return fallback;
    return std::clamp(value, lo, hi);
}

} // namespace audio
