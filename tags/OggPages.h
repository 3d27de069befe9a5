// Ogg pages: reading them one after another from a stream through a large
// buffer, assembling new ones, and the page checksum.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TagStream;

namespace ogg {

constexpr uint8_t kContinued = 0x01; // the page's first packet began on an earlier page
constexpr uint8_t kFirstPage = 0x02;
constexpr uint8_t kLastPage = 0x04;
constexpr int64_t kFixedHeaderSize = 27;
constexpr int kMaxSegments = 255;

struct Page {
    int64_t Offset = 0;  // where it stood in the file
    std::string Header;  // the 27 fixed bytes and the lacing values
    std::string Body;

    uint8_t Flags() const { return uint8_t(Header[5]); }
    uint64_t Granule() const;
    uint32_t Serial() const;
    uint32_t Sequence() const;
    int Segments() const { return uint8_t(Header[26]); }
    uint8_t Lacing(int Index) const { return uint8_t(Header[kFixedHeaderSize + Index]); }
    int64_t Size() const { return int64_t(Header.size() + Body.size()); }

    void SetSequence(uint32_t Sequence);
    // Computes and stores the checksum over header and body.
    void Seal();
};

// A new page; its checksum is set.
Page MakePage(uint8_t Flags, uint64_t Granule, uint32_t Serial, uint32_t Sequence, const std::vector<uint8_t>& Lacing,
              std::string Body);

// The Ogg page checksum: CRC-32 with generator 0x04C11DB7, most significant
// bit first, initial value 0, no final inversion; crc carries on a running one.
uint32_t Checksum(std::string_view Bytes, uint32_t Crc = 0);

// Reads the pages that follow one another from Offset on. Reads go through a
// buffer of 64 KiB, so a page costs a fraction of a system call.
class PageReader {
  public:
    PageReader(TagStream& Stream, int64_t Offset);

    // The whole page that starts at the position, which then moves past it;
    // false at the end of the file or where no whole page starts.
    bool Next(Page& Out);
    int64_t Position() const { return position_; }
    int64_t FileSize() const { return size_; }

  private:
    // Copies count bytes at the position into out; false when the file ends first.
    bool Take(int64_t at, size_t count, std::string& out);

    TagStream& stream_;
    int64_t size_;
    int64_t position_;
    std::string buffer_;
    int64_t bufferStart_ = 0;
};

} // namespace ogg
