// Decoded frames of a stream on their way from the stream thread to the
// decode thread: the producer waits while it is full, the consumer never
// waits, and a consumer that found too little is told when more is there.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace audio {

class FrameQueue {
  public:
    // onMore runs on the producer's thread, under the queue's lock (so it
    // must not wait), once a hungry consumer has enough waiting for it (or
    // the end has come); never after close().
    explicit FrameQueue(std::function<void()> onMore) : onMore_(std::move(onMore)) {}

    // Before the first push: the frames' width, how many the queue holds,
    // and how many make it worth waking a hungry consumer: the decode thread
    // then wakes a few times a second, not at every frame decoded.
    void setShape(uint32_t channels, size_t capacityFrames, size_t wakeFrames);

    // Producer: waits for room; false once closed, or once reset since the
    // epoch the producer works for.
    bool push(const float* frames, size_t count, uint64_t epoch = 0);
    // Nothing more will come (of that epoch).
    void finish(uint64_t epoch = 0);
    // Drops what is queued and starts a new epoch, for a producer that starts
    // over elsewhere: what it pushes for an older one is refused.
    uint64_t reset();
    // Ends the producer's waits; nothing more is taken.
    void close();

    // Consumer: up to `frames` frames, maybe none.
    size_t pop(float* out, size_t frames);
    // Finished and all taken.
    bool drained() const;
    bool finished() const;
    size_t buffered() const;

  private:
    void wakeIfHungry();

    std::function<void()> onMore_;
    mutable std::mutex lock_;
    std::condition_variable room_;
    std::vector<float> ring_;
    uint32_t channels_ = 0;
    size_t capacity_ = 0;
    size_t wakeFrames_ = 0;
    uint64_t written_ = 0;
    uint64_t read_ = 0;
    bool finished_ = false;
    bool closed_ = false;
    bool hungry_ = false;
    uint64_t epoch_ = 0;
};

} // namespace audio
