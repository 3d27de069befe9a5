#include "audio/network/FrameQueue.h"

#include <algorithm>
#include <utility>

namespace audio {

void FrameQueue::setShape(uint32_t channels, size_t capacityFrames, size_t wakeFrames)
{
    std::lock_guard hold(lock_);
    channels_ = channels;
    capacity_ = capacityFrames;
    wakeFrames_ = std::min(wakeFrames, capacityFrames);
    ring_.assign(capacityFrames * channels, 0.0f);
}

bool FrameQueue::push(const float* frames, size_t count, uint64_t epoch)
{
    while (count > 0) {
        {
            std::unique_lock hold(lock_);
            room_.wait(hold, [&] { return closed_ || epoch != epoch_ || written_ - read_ < capacity_; });
            if (closed_ || epoch != epoch_ || capacity_ == 0)
                return false;
            const size_t n = std::min<size_t>(count, capacity_ - static_cast<size_t>(written_ - read_));
            for (size_t i = 0; i < n;) {
                const size_t at = static_cast<size_t>(written_ % capacity_);
                const size_t piece = std::min(n - i, capacity_ - at);
                std::copy_n(frames + i * channels_, piece * channels_, ring_.begin() + static_cast<ptrdiff_t>(at * channels_));
                i += piece;
                written_ += piece;
            }
            frames += n * channels_;
            count -= n;
            wakeIfHungry();
        }
    }
    return true;
}

void FrameQueue::wakeIfHungry()
{
    if (!hungry_ || (!finished_ && written_ - read_ < wakeFrames_))
        return;
    hungry_ = false;
    if (onMore_)
        onMore_();
}

void FrameQueue::finish(uint64_t epoch)
{
    std::lock_guard hold(lock_);
    if (epoch != epoch_)
        return;
    finished_ = true;
    wakeIfHungry();
}

uint64_t FrameQueue::reset()
{
    uint64_t epoch = 0;
    {
        std::lock_guard hold(lock_);
        read_ = written_;
        finished_ = false;
        epoch = ++epoch_;
    }
    room_.notify_all();
    return epoch;
}

void FrameQueue::close()
{
    {
        std::lock_guard hold(lock_);
        closed_ = true;
        onMore_ = nullptr;
    }
    room_.notify_all();
}

size_t FrameQueue::pop(float* out, size_t frames)
{
    size_t n = 0;
    {
        std::lock_guard hold(lock_);
        n = static_cast<size_t>(std::min<uint64_t>(frames, written_ - read_));
        for (size_t i = 0; i < n;) {
            const size_t at = static_cast<size_t>(read_ % capacity_);
            const size_t piece = std::min(n - i, capacity_ - at);
            std::copy_n(ring_.begin() + static_cast<ptrdiff_t>(at * channels_), piece * channels_, out + i * channels_);
            i += piece;
            read_ += piece;
        }
        if (n < frames && !finished_)
            hungry_ = true;
    }
    if (n > 0)
        room_.notify_all();
    return n;
}

bool FrameQueue::drained() const
{
    std::lock_guard hold(lock_);
    return finished_ && written_ == read_;
}

bool FrameQueue::finished() const
{
    std::lock_guard hold(lock_);
    return finished_;
}

size_t FrameQueue::buffered() const
{
    std::lock_guard hold(lock_);
    return static_cast<size_t>(written_ - read_);
}

} // namespace audio
