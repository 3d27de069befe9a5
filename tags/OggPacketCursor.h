// The packets of one Ogg stream read where they lie, page by page: bytes
// skipped cost only the headers of the pages they span, so a picture in a
// comment packet is passed over, not read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tags/CommentReader.h"

class TagStream;

namespace ogg {

// A cursor at the start of the first packet of the stream whose first page
// starts at Offset. Reads and skips stay within the current packet.
class PacketCursor : public vorbiscomment::Source {
  public:
    PacketCursor(TagStream& Stream, int64_t Offset);

    // False when no whole page starts at the offset.
    bool Valid() const { return valid_; }
    bool Read(size_t Count, std::string& Out) override;
    bool Skip(uint64_t Count) override;
    // Moves to the start of the next packet; false when the stream ends first.
    bool NextPacket();

  private:
    // Takes up to count bytes of the packet, into out when it is not null.
    bool Take(uint64_t count, std::string* out);
    bool NextSegment();
    // The page at next_ of the stream's serial, skipping other streams' pages.
    bool LoadPage();

    TagStream& stream_;
    int64_t size_;
    int64_t next_; // where the page after the current one starts
    bool valid_ = false;
    bool haveSerial_ = false;
    uint32_t serial_ = 0;
    std::vector<uint8_t> lacing_;
    int64_t segmentAt_ = 0; // file offset of the current segment
    size_t segment_ = 0;
    uint32_t used_ = 0; // bytes of the current segment taken
};

} // namespace ogg
