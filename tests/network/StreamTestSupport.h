// What the stream tests share: a channel opened on an address and waited for
// as the player waits, and reading its status.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "audio/AudioLibrary.h"

namespace streamtest {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

inline bool WaitFor(const std::function<bool()>& done, double seconds) {
    const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (!done()) {
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The pre-buffer's percent once it reaches 90 or fails, as the player's
// wait takes it; what it is after seconds otherwise.
inline int WaitBuffered(audio::Handle h, double seconds = 10) {
    int buffered = 0;
    WaitFor([&] { return (buffered = audio::streamBufferedPercent(h)) >= 90 || buffered < 0; }, seconds);
    return buffered;
}

inline audio::StreamStatus StatusOf(audio::Handle h) {
    audio::StreamStatus status;
    audio::streamStatus(h, status);
    return status;
}

} // namespace streamtest
