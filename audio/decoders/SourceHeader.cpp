#include "audio/decoders/SourceHeader.h"

#include <algorithm>
#include <cstring>

namespace audio {

const uint8_t* SourceHeader::at(uint64_t offset, size_t wanted) const
{
    if (offset + wanted <= head.size())
        return head.data() + offset;
    if (afterId3v2 && offset >= *afterId3v2 && offset - *afterId3v2 + wanted <= mpegWindow.size())
        return mpegWindow.data() + (offset - *afterId3v2);
    return nullptr;
}

bool SourceHeader::startsWith(const char* text, size_t length, size_t offset) const
{
    const uint8_t* p = at(offset, length);
    return p != nullptr && std::memcmp(p, text, length) == 0;
}

// The first packet follows the first page's header and its segment table.
bool SourceHeader::firstOggPacketIs(const char* magic, size_t length) const
{
    const uint8_t* segments = at(26, 1);
    return startsWith("OggS", 4) && segments && startsWith(magic, length, 27 + size_t{*segments});
}

std::optional<uint64_t> Id3v2End(ByteSource& source, const std::vector<uint8_t>& head, uint64_t size)
{
    uint64_t offset = 0;
    uint8_t h[10];
    while (offset + 10 <= size) {
        if (offset + 10 <= head.size())
            std::memcpy(h, head.data() + offset, 10);
        else if (source.readAt(offset, h, 10) != 10)
            break;
        if (std::memcmp(h, "ID3", 3) != 0)
            break;
        if ((h[6] | h[7] | h[8] | h[9]) & 0x80)
            return std::nullopt;
        const uint64_t blockSize = (uint64_t(h[6]) << 21) | (uint64_t(h[7]) << 14) | (uint64_t(h[8]) << 7) | h[9];
        offset += 10 + blockSize + ((h[5] & 0x10) ? 10 : 0);
        if (offset > size)
            return std::nullopt;
    }
    return offset;
}

SourceHeader ReadSourceHeader(ByteSource& source)
{
    SourceHeader header;
    header.size = source.size();
    header.head.resize(SourceHeader::kHeadBytes);
    header.head.resize(source.readAt(0, header.head.data(), header.head.size()));
    const uint64_t size = header.size.value_or(header.head.size());
    header.afterId3v2 = Id3v2End(source, header.head, size);
    if (header.afterId3v2 && *header.afterId3v2 + SourceHeader::kMpegWindowBytes > header.head.size()
        && *header.afterId3v2 < size) {
        header.mpegWindow.resize(SourceHeader::kMpegWindowBytes);
        header.mpegWindow.resize(source.readAt(*header.afterId3v2, header.mpegWindow.data(), header.mpegWindow.size()));
    }
    return header;
}

} // namespace audio
