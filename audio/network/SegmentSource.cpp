#include "audio/network/SegmentSource.h"

#include <algorithm>
#include <cstring>

namespace audio {

size_t SegmentSource::take(uint8_t* out, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const size_t got = queue_.read(out + done, size - done);
        if (got == 0)
            break;
        done += got;
    }
    taken_ += done;
    return done;
}

bool SegmentSource::extendHead(size_t size)
{
    if (head_.size() >= size)
        return true;
    const size_t before = head_.size();
    head_.resize(size);
    const size_t got = take(reinterpret_cast<uint8_t*>(head_.data()) + before, size - before);
    head_.resize(before + got);
    return head_.size() == size;
}

size_t SegmentSource::readAt(uint64_t offset, void* out, size_t size)
{
    auto* bytes = static_cast<uint8_t*>(out);
    size_t done = 0;
    if (offset < head_.size()) {
        done = std::min(size, head_.size() - static_cast<size_t>(offset));
        std::memcpy(bytes, head_.data() + offset, done);
    }
    const uint64_t at = offset + done;
    if (done == size || at < taken_)
        return done;
    // A skip forward is read and dropped, a chunk at a time.
    uint8_t scratch[4096];
    while (taken_ < at) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(sizeof scratch, at - taken_));
        if (take(scratch, n) < n)
            return done;
    }
    return done + take(bytes + done, size - done);
}

} // namespace audio
