// Waits that end at once when a server stops, and sends at a steady byte
// rate, for the servers' threads.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string_view>

namespace servers {

class StopSignal {
  public:
    using Clock = std::chrono::steady_clock;

    void raise()
    {
        {
            std::lock_guard lock(mutex_);
            raised_ = true;
        }
        changed_.notify_all();
    }
    bool raised() const
    {
        std::lock_guard lock(mutex_);
        return raised_;
    }
    // False when the signal was raised before the time came.
    bool waitUntil(Clock::time_point when)
    {
        std::unique_lock lock(mutex_);
        return !changed_.wait_until(lock, when, [this] { return raised_; });
    }
    bool waitFor(double seconds)
    {
        return waitUntil(Clock::now()
                         + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

// When the next bytes may go out so that a stream keeps a steady byte rate
// measured from its first byte.
class Pacer {
  public:
    // aheadSeconds of bytes may go at once, as from an encoder's buffer.
    void restart(double bytesPerSecond, double aheadSeconds = 0)
    {
        rate_ = bytesPerSecond;
        sent_ = 0;
        start_ = StopSignal::Clock::now()
            - std::chrono::duration_cast<StopSignal::Clock::duration>(std::chrono::duration<double>(aheadSeconds));
    }
    double rate() const { return rate_; }
    StopSignal::Clock::time_point due() const
    {
        if (rate_ <= 0)
            return start_;
        return start_
            + std::chrono::duration_cast<StopSignal::Clock::duration>(std::chrono::duration<double>(sent_ / rate_));
    }
    void sent(size_t bytes) { sent_ += static_cast<double>(bytes); }

  private:
    double rate_ = 0;
    double sent_ = 0;
    StopSignal::Clock::time_point start_{};
};

// Sends bytes through send in pieces of about 20 ms at the pacer's rate;
// false when send fails or the stop signal is raised.
inline bool SendPaced(std::string_view bytes, Pacer& pacer, StopSignal& stop,
                      const std::function<bool(std::string_view)>& send)
{
    const size_t piece = std::clamp<size_t>(static_cast<size_t>(pacer.rate() / 50), 1, 16384);
    for (size_t at = 0; at < bytes.size(); at += piece) {
        const std::string_view part = bytes.substr(at, piece);
        if (!stop.waitUntil(pacer.due()) || !send(part))
            return false;
        pacer.sent(part.size());
    }
    return true;
}

} // namespace servers
