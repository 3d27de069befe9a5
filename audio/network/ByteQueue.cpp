#include "audio/network/ByteQueue.h"

#include <algorithm>
#include <cstring>

namespace audio {

ByteQueue::ByteQueue(size_t capacity) : ring_(capacity) {}

size_t ByteQueue::room() const
{
    std::lock_guard hold(lock_);
    return abandoned_ ? ring_.size() : ring_.size() - static_cast<size_t>(written_ - read_);
}

bool ByteQueue::abandoned() const
{
    std::lock_guard hold(lock_);
    return abandoned_;
}

void ByteQueue::beginSegment(const std::string& contentType)
{
    {
        std::lock_guard hold(lock_);
        if (!segments_.empty() && !segments_.back().end)
            segments_.back().end = written_;
        segments_.push_back({written_, contentType, std::nullopt});
        abandoned_ = false;
    }
    changed_.notify_all();
}

void ByteQueue::push(const uint8_t* bytes, size_t size)
{
    {
        std::lock_guard hold(lock_);
        if (abandoned_)
            return;
        size = std::min(size, ring_.size() - static_cast<size_t>(written_ - read_));
        while (size > 0) {
            const size_t at = static_cast<size_t>(written_ % ring_.size());
            const size_t n = std::min(size, ring_.size() - at);
            std::memcpy(ring_.data() + at, bytes, n);
            bytes += n;
            size -= n;
            written_ += n;
        }
    }
    changed_.notify_all();
}

void ByteQueue::finish()
{
    {
        std::lock_guard hold(lock_);
        if (!segments_.empty() && !segments_.back().end)
            segments_.back().end = written_;
        finished_ = true;
    }
    changed_.notify_all();
}

void ByteQueue::close()
{
    {
        std::lock_guard hold(lock_);
        closed_ = true;
    }
    changed_.notify_all();
}

bool ByteQueue::closed() const
{
    std::lock_guard hold(lock_);
    return closed_;
}

bool ByteQueue::nextSegment(std::string& contentType)
{
    std::unique_lock hold(lock_);
    if (entered_) {
        entered_ = false;
        const std::optional<uint64_t> end = segments_.front().end;
        abandoned_ = !end;
        read_ = std::max(read_, end.value_or(written_));
        segments_.pop_front();
    }
    changed_.wait(hold, [&] { return closed_ || finished_ || !segments_.empty(); });
    if (closed_ || segments_.empty())
        return false;
    read_ = std::max(read_, segments_.front().start);
    entered_ = true;
    contentType = segments_.front().contentType;
    return true;
}

uint64_t ByteQueue::readLimit() const
{
    const std::optional<uint64_t>& end = segments_.front().end;
    return end ? std::min(*end, written_) : written_;
}

size_t ByteQueue::read(uint8_t* out, size_t size)
{
    std::unique_lock hold(lock_);
    if (!entered_ || size == 0)
        return 0;
    const Segment& segment = segments_.front();
    changed_.wait(hold, [&] { return closed_ || readLimit() > read_ || (segment.end && read_ >= *segment.end); });
    if (closed_)
        return 0;
    size = static_cast<size_t>(std::min<uint64_t>(size, readLimit() - read_));
    size_t done = 0;
    while (done < size) {
        const size_t at = static_cast<size_t>(read_ % ring_.size());
        const size_t n = std::min(size - done, ring_.size() - at);
        std::memcpy(out + done, ring_.data() + at, n);
        done += n;
        read_ += n;
    }
    return done;
}

size_t ByteQueue::buffered() const
{
    std::lock_guard hold(lock_);
    return static_cast<size_t>(written_ - read_);
}

} // namespace audio
