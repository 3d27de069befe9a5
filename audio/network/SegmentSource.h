// One segment of a stream's byte queue as a source for a stream decoder:
// reads wait for the bytes, the first bytes are kept for the probe so that
// the decoder reads them again from any offset inside them, and past them
// the segment is read front to back.
#pragma once

#include <string>

#include "audio/network/ByteQueue.h"
#include "audio/sources/ByteSource.h"

namespace audio {

class SegmentSource final : public ByteSource {
  public:
    explicit SegmentSource(ByteQueue& queue) : queue_(queue) {}

    // Reads until the kept head holds `size` bytes or the segment ends;
    // false once it has ended.
    bool extendHead(size_t size);
    const std::string& head() const { return head_; }

    size_t readAt(uint64_t offset, void* out, size_t size) override;
    std::optional<uint64_t> size() const override { return std::nullopt; }
    bool moreMayCome() const override { return true; }

  private:
    // Waits for `size` bytes of the segment, fewer only at its end.
    size_t take(uint8_t* out, size_t size);

    ByteQueue& queue_;
    std::string head_;
    // Bytes taken from the queue, the head included.
    uint64_t taken_ = 0;
};

} // namespace audio
