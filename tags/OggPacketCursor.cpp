#include "tags/OggPacketCursor.h"

#include <algorithm>
#include <cstring>

#include "tags/OggPages.h"
#include "tags/TagFile.h"

namespace ogg {

PacketCursor::PacketCursor(TagStream& Stream, int64_t Offset)
    : stream_(Stream), size_(Stream.Size()), next_(Offset) {
    valid_ = LoadPage();
}

bool PacketCursor::LoadPage() {
    // Every page costs at least its fixed header, so the loop ends within the file.
    while (size_ - next_ >= kFixedHeaderSize) {
        char header[kFixedHeaderSize];
        stream_.Seek(next_, soFromBeginning);
        if (stream_.Read(header, kFixedHeaderSize) != kFixedHeaderSize ||
            std::memcmp(header, "OggS", 4) != 0)
            return false;
        uint32_t serial = 0;
        std::memcpy(&serial, header + 14, 4);
        std::vector<uint8_t> lacing(static_cast<uint8_t>(header[26]));
        if (stream_.Read(lacing.data(), int64_t(lacing.size())) != int64_t(lacing.size()))
            return false;
        int64_t body = next_ + kFixedHeaderSize + int64_t(lacing.size());
        int64_t bodySize = 0;
        for (uint8_t value : lacing)
            bodySize += value;
        if (size_ - body < bodySize) return false;
        next_ = body + bodySize;
        if (haveSerial_ && serial != serial_) continue;
        haveSerial_ = true;
        serial_ = serial;
        lacing_ = std::move(lacing);
        segmentAt_ = body;
        segment_ = 0;
        used_ = 0;
        if (!lacing_.empty()) return true;
    }
    return false;
}

bool PacketCursor::NextSegment() {
    segmentAt_ += lacing_[segment_];
    used_ = 0;
    return ++segment_ < lacing_.size() || LoadPage();
}

bool PacketCursor::Take(uint64_t count, std::string* out) {
    while (count > 0) {
        if (!valid_) return false;
        uint32_t left = lacing_[segment_] - used_;
        if (left == 0) {
            if (lacing_[segment_] < 255) return false; // the packet ends here
            valid_ = NextSegment();
            continue;
        }
        uint32_t n = uint32_t(std::min<uint64_t>(count, left));
        if (out) {
            size_t at = out->size();
            out->resize(at + n);
            stream_.Seek(segmentAt_ + used_, soFromBeginning);
            if (stream_.Read(out->data() + at, n) != n) return valid_ = false;
        }
        used_ += n;
        count -= n;
    }
    return true;
}

bool PacketCursor::Read(size_t Count, std::string& Out) {
    Out.clear();
    return Take(Count, &Out);
}

bool PacketCursor::Skip(uint64_t Count) {
    return Take(Count, nullptr);
}

bool PacketCursor::NextPacket() {
    while (valid_) {
        bool ends = lacing_[segment_] < 255;
        valid_ = NextSegment();
        if (ends) return valid_;
    }
    return false;
}

} // namespace ogg
