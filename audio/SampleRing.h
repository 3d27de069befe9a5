// A bounded ring of stereo float frames between one writer (the decode
// thread) and one reader (the output side): neither ever waits for the other.
// Positions count frames since the ring was made and never wrap.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace audio {

class SampleRing {
  public:
    // capacityFrames must be a power of two.
    explicit SampleRing(size_t capacityFrames) : capacity_(capacityFrames) {}

    size_t capacity() const { return capacity_; }
    size_t filled() const {
        return static_cast<size_t>(write_.load(std::memory_order_acquire) -
                                   read_.load(std::memory_order_acquire));
    }

    // Writer side.
    uint64_t writePosition() const { return write_.load(std::memory_order_relaxed); }
    size_t writable() const { return capacity_ - filled(); }
    // frames must not exceed writable(). The storage is made on the first
    // write, so channels that never play cost nothing.
    void write(const float* stereo, size_t frames) {
        if (!data_) data_ = std::make_unique<float[]>(2 * capacity_);
        uint64_t at = write_.load(std::memory_order_relaxed);
        while (frames > 0) {
            const size_t offset = static_cast<size_t>(at & (capacity_ - 1));
            const size_t n = std::min(frames, capacity_ - offset);
            std::copy_n(stereo, 2 * n, data_.get() + 2 * offset);
            stereo += 2 * n;
            frames -= n;
            at += n;
        }
        write_.store(at, std::memory_order_release);
    }

    // Reader side.
    uint64_t readPosition() const { return read_.load(std::memory_order_relaxed); }
    // Hands fn(frames pointer, count) the next frames up to position `until`
    // (at most `frames` of them, in up to two pieces) and consumes them.
    template <typename Fn> size_t read(uint64_t until, size_t frames, Fn&& fn) {
        uint64_t at = read_.load(std::memory_order_relaxed);
        size_t left = static_cast<size_t>(std::min<uint64_t>(frames, until - at));
        const size_t total = left;
        while (left > 0) {
            const size_t offset = static_cast<size_t>(at & (capacity_ - 1));
            const size_t n = std::min(left, capacity_ - offset);
            fn(data_.get() + 2 * offset, n);
            left -= n;
            at += n;
        }
        read_.store(at, std::memory_order_release);
        return total;
    }
    // Drops everything before position.
    void skipTo(uint64_t position) {
        if (position > read_.load(std::memory_order_relaxed))
            read_.store(position, std::memory_order_release);
    }

  private:
    const size_t capacity_;
    std::unique_ptr<float[]> data_;
    alignas(64) std::atomic<uint64_t> write_{0};
    alignas(64) std::atomic<uint64_t> read_{0};
};

} // namespace audio
