// The decode thread. One serves every channel: at most the current channel
// and the one queued after it play at once, and every decoder runs many
// times faster than real time, so one thread costs the fewest wake-ups; a
// read that blocks (a download, a CD) holds the others up only while their
// buffered seconds last.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace audio {

class DecodeWorker {
  public:
    // One pass over the channels; true when it did any work.
    using Round = std::function<bool()>;

    explicit DecodeWorker(Round round) : round_(std::move(round)) {}
    ~DecodeWorker() { stop(); }
    DecodeWorker(const DecodeWorker&) = delete;
    DecodeWorker& operator=(const DecodeWorker&) = delete;

    void start();
    // Waits for the thread to leave.
    void stop();
    // Never blocks, so the device's thread may call it.
    void wake();

  private:
    void run();

    Round round_;
    std::thread thread_;
    std::atomic<uint32_t> wakes_{0};
    std::atomic<bool> stopping_{false};
};

} // namespace audio
