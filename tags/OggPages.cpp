#include "tags/OggPages.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "tags/TagFile.h"

namespace ogg {

namespace {

constexpr size_t kChunk = 64 * 1024;

uint64_t LeAt(const std::string& bytes, size_t at, int count) {
    uint64_t v = 0;
    for (int i = count - 1; i >= 0; --i) v = v << 8 | uint8_t(bytes[at + i]);
    return v;
}

void PutLe(std::string& bytes, size_t at, uint64_t v, int count) {
    for (int i = 0; i < count; ++i) bytes[at + i] = char(v >> (8 * i));
}

} // namespace

uint64_t Page::Granule() const { return LeAt(Header, 6, 8); }
uint32_t Page::Serial() const { return uint32_t(LeAt(Header, 14, 4)); }
uint32_t Page::Sequence() const { return uint32_t(LeAt(Header, 18, 4)); }

void Page::SetSequence(uint32_t Sequence) { PutLe(Header, 18, Sequence, 4); }

void Page::Seal() {
    PutLe(Header, 22, 0, 4);
    PutLe(Header, 22, Checksum(Body, Checksum(Header)), 4);
}

Page MakePage(uint8_t Flags, uint64_t Granule, uint32_t Serial, uint32_t Sequence, const std::vector<uint8_t>& Lacing,
              std::string Body) {
    Page page;
    page.Header.assign(size_t(kFixedHeaderSize), '\0');
    std::memcpy(page.Header.data(), "OggS", 4);
    page.Header[5] = char(Flags);
    PutLe(page.Header, 6, Granule, 8);
    PutLe(page.Header, 14, Serial, 4);
    PutLe(page.Header, 18, Sequence, 4);
    page.Header[26] = char(Lacing.size());
    page.Header.append(Lacing.begin(), Lacing.end());
    page.Body = std::move(Body);
    page.Seal();
    return page;
}

uint32_t Checksum(std::string_view Bytes, uint32_t Crc) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    for (unsigned char byte : Bytes) Crc = table[(Crc >> 24) ^ byte] ^ (Crc << 8);
    return Crc;
}

PageReader::PageReader(TagStream& Stream, int64_t Offset)
    : stream_(Stream), size_(Stream.Size()), position_(Offset), bufferStart_(Offset) {}

bool PageReader::Take(int64_t at, size_t count, std::string& out) {
    if (at < 0 || at > size_ || size_t(size_ - at) < count) return false;
    if (at < bufferStart_ || at + int64_t(count) > bufferStart_ + int64_t(buffer_.size())) {
        buffer_.resize(std::max(kChunk, count));
        stream_.Seek(at, soFromBeginning);
        buffer_.resize(size_t(stream_.Read(buffer_.data(), int64_t(buffer_.size()))));
        bufferStart_ = at;
        if (buffer_.size() < count) return false;
    }
    out.assign(buffer_, size_t(at - bufferStart_), count);
    return true;
}

bool PageReader::Next(Page& Out) {
    std::string header;
    if (!Take(position_, size_t(kFixedHeaderSize), header) || header.compare(0, 4, "OggS") != 0) return false;
    std::string lacing;
    if (!Take(position_ + kFixedHeaderSize, uint8_t(header[26]), lacing)) return false;
    size_t bodySize = 0;
    for (char value : lacing) bodySize += uint8_t(value);
    int64_t bodyAt = position_ + kFixedHeaderSize + int64_t(lacing.size());
    std::string body;
    if (!Take(bodyAt, bodySize, body)) return false;
    Out.Offset = position_;
    Out.Header = header + lacing;
    Out.Body = std::move(body);
    position_ = bodyAt + int64_t(bodySize);
    return true;
}

} // namespace ogg
