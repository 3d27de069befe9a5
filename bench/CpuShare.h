// CPU time of this process as a share of one core, for the playback benchmarks.
#pragma once

#include <chrono>
#include <sys/resource.h>
#include <thread>

namespace bench {

inline double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Percent of one core used while step runs every 100 ms for `seconds`
// (the window timer's pace; the default step does nothing).
template <typename Fn = void (*)()>
double CpuShare(double seconds, Fn step = [] {}) {
    const double cpu = CpuSeconds();
    const auto started = std::chrono::steady_clock::now();
    auto next = started;
    while (std::chrono::steady_clock::now() - started < std::chrono::duration<double>(seconds)) {
        step();
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return 100.0 * (CpuSeconds() - cpu) / wall;
}

} // namespace bench
