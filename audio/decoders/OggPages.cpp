#include "audio/decoders/OggPages.h"

#include <ogg/ogg.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace audio {
namespace {

constexpr size_t kTailBytes = 65536 + 65307;
constexpr size_t kPageHeader = 27;
constexpr uint64_t kNoGranule = UINT64_MAX;
constexpr size_t kFirstTail = 16384;

// The page at `at` of `bytes`, when it is whole there and its checksum
// holds.
std::optional<IntactOggPage> IntactPageAt(const std::vector<uint8_t>& bytes, size_t at)
{
    const uint8_t* p = bytes.data() + at;
    if (at + kPageHeader > bytes.size() || p[4] != 0 || at + kPageHeader + p[26] > bytes.size())
        return std::nullopt;
    const size_t headerBytes = kPageHeader + p[26];
    size_t bodyBytes = 0;
    for (size_t i = kPageHeader; i < headerBytes; ++i)
        bodyBytes += p[i];
    if (at + headerBytes + bodyBytes > bytes.size())
        return std::nullopt;
    uint8_t header[kPageHeader + 255];
    std::memcpy(header, p, headerBytes);
    ogg_page page{header, static_cast<long>(headerBytes), const_cast<uint8_t*>(p + headerBytes),
                  static_cast<long>(bodyBytes)};
    ogg_page_checksum_set(&page);
    if (std::memcmp(header + 22, p + 22, 4) != 0)
        return std::nullopt;
    return IntactOggPage{static_cast<uint32_t>(ogg_page_serialno(&page)), ogg_page_granulepos(&page)};
}

uint64_t Le(const uint8_t* p, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

// The offset of the next "OggS" from `at`, if any.
std::optional<uint64_t> NextCapture(ByteSource& source, uint64_t at)
{
    std::vector<uint8_t> block(65536);
    for (;;) {
        const size_t got = source.readAt(at, block.data(), block.size());
        if (got < 4)
            return std::nullopt;
        for (size_t i = 0; i + 4 <= got; ++i)
            if (std::memcmp(block.data() + i, "OggS", 4) == 0)
                return at + i;
        at += got - 3;
    }
}

} // namespace

std::vector<uint64_t> OggLinkStarts(ByteSource& source)
{
    std::vector<uint64_t> starts;
    uint8_t header[kPageHeader + 255];
    bool previousBegins = true;
    for (uint64_t at = 0;;) {
        const size_t got = source.readAt(at, header, sizeof header);
        if (got < kPageHeader || std::memcmp(header, "OggS", 4) != 0 || header[4] != 0
            || got < kPageHeader + header[26]) {
            // Damage between pages: the library looks for the next page too.
            const auto next = got >= 4 ? NextCapture(source, at + 1) : std::nullopt;
            if (!next)
                break;
            at = *next;
            continue;
        }
        size_t body = 0;
        for (size_t i = 0; i < header[26]; ++i)
            body += header[kPageHeader + i];
        const bool begins = (header[5] & 2) != 0;
        if (begins && !previousBegins)
            starts.push_back(at);
        previousBegins = begins;
        at += kPageHeader + header[26] + body;
    }
    return starts;
}

std::optional<IntactOggPage> LastIntactOggPage(ByteSource& source, uint64_t size)
{
    for (const size_t tail : {kFirstTail, kTailBytes}) {
        const size_t length = static_cast<size_t>(std::min<uint64_t>(tail, size));
        std::vector<uint8_t> bytes(length);
        if (source.readAt(size - length, bytes.data(), length) != length)
            return std::nullopt;
        for (size_t at = length >= 4 ? length - 3 : 0; at-- > 0;)
            if (std::memcmp(bytes.data() + at, "OggS", 4) == 0)
                if (const auto page = IntactPageAt(bytes, at))
                    return page;
        if (length == size)
            break;
    }
    return std::nullopt;
}

std::optional<LastOggPages> ReadLastOggPages(ByteSource& source, uint64_t end)
{
    const size_t length = static_cast<size_t>(std::min<uint64_t>(kTailBytes, end));
    std::vector<uint8_t> tail(length);
    if (source.readAt(end - length, tail.data(), length) != length)
        return std::nullopt;

    struct Page {
        uint64_t granule;
        uint32_t serial;
        uint64_t packets;
    };
    std::vector<Page> pages;
    for (size_t at = 0; at + kPageHeader <= length;) {
        const uint8_t* p = tail.data() + at;
        if (std::memcmp(p, "OggS", 4) != 0 || p[4] != 0) {
            ++at;
            continue;
        }
        const size_t segments = p[26];
        if (at + kPageHeader + segments > length) {
            ++at;
            continue;
        }
        size_t body = 0;
        uint64_t packets = 0;
        for (size_t i = 0; i < segments; ++i) {
            body += p[kPageHeader + i];
            packets += p[kPageHeader + i] < 255 ? 1 : 0;
        }
        const size_t pageBytes = kPageHeader + segments + body;
        if (at + pageBytes > length) {
            ++at;
            continue;
        }
        pages.push_back({Le(p + 6, 8), static_cast<uint32_t>(Le(p + 14, 4)), packets});
        at += pageBytes;
    }
    if (pages.empty() || pages.back().granule == kNoGranule)
        return std::nullopt;
    const Page& last = pages.back();
    for (size_t i = pages.size() - 1; i-- > 0;) {
        if (pages[i].serial == last.serial && pages[i].granule != kNoGranule) {
            if (pages[i].granule > last.granule)
                return std::nullopt;
            return LastOggPages{last.granule, pages[i].granule, last.packets};
        }
    }
    return std::nullopt;
}

} // namespace audio
