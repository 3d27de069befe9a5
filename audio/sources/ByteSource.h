// Where a decoder's bytes come from: a file now, a download buffer or a CD
// reader later. Reads are positional, so that a probe, a library's reader and
// a second reader of the same source never disturb one another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace audio {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Copies up to `size` bytes from `offset` and returns how many; fewer
    // only at the end of what the source holds now, 0 past it or on failure.
    virtual size_t readAt(uint64_t offset, void* out, size_t size) = 0;
    // The whole size, when it is known.
    virtual std::optional<uint64_t> size() const = 0;
    // True while bytes may still arrive after those held now (a stream).
    virtual bool moreMayCome() const { return false; }
};

// A reading position over a source, for libraries that read and seek.
class SourceCursor {
  public:
    explicit SourceCursor(ByteSource& source, uint64_t start = 0) : source_(&source), start_(start) {}

    size_t read(void* out, size_t size)
    {
        const size_t got = source_->readAt(start_ + position_, out, size);
        position_ += got;
        return got;
    }
    // Offsets count from the cursor's start.
    void seek(uint64_t offset) { position_ = offset; }
    uint64_t tell() const { return position_; }
    // Bytes from the start to the source's end, when known.
    std::optional<uint64_t> size() const
    {
        const auto whole = source_->size();
        if (!whole)
            return std::nullopt;
        return *whole > start_ ? *whole - start_ : 0;
    }
    ByteSource& source() const { return *source_; }

  private:
    ByteSource* source_;
    uint64_t start_;
    uint64_t position_ = 0;
};

// All of a source that ends (for decoders that parse a file in memory);
// false for a source that may still grow or cannot be read whole.
inline bool ReadWholeSource(ByteSource& source, std::string& data)
{
    const auto size = source.size();
    if (!size || source.moreMayCome() || *size > data.max_size())
        return false;
    data.resize(static_cast<size_t>(*size));
    return source.readAt(0, data.data(), data.size()) == data.size();
}

} // namespace audio
