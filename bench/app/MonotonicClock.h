// CLOCK_MONOTONIC in nanoseconds: the clock that the parent reads before it
// forks and the child reads at its first idle moment.
#pragma once

#include <cstdint>
#include <ctime>

namespace bench {

inline int64_t MonotonicNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace bench
