// Seconds as the displays count them: the fraction dropped, never negative.
#pragma once

#include <cmath>
#include <cstdint>

inline uint32_t WholeSeconds(double Seconds) {
    if (!(Seconds > 0)) return 0;
    if (Seconds >= 4294967295.0) return UINT32_MAX;
    return static_cast<uint32_t>(Seconds);
}
