// Bytes already in memory as a source (tests, fuzzers, a whole download).
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "audio/sources/ByteSource.h"

namespace audio {

class MemoryByteSource final : public ByteSource {
  public:
    explicit MemoryByteSource(std::string bytes) : bytes_(std::move(bytes)) {}
    size_t readAt(uint64_t offset, void* out, size_t size) override
    {
        if (offset >= bytes_.size())
            return 0;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(size, bytes_.size() - offset));
        std::memcpy(out, bytes_.data() + offset, n);
        return n;
    }
    std::optional<uint64_t> size() const override { return bytes_.size(); }

  private:
    std::string bytes_;
};

} // namespace audio
