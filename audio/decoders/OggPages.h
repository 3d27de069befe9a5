// Page headers of an Ogg stream: where its chained links begin, and the last
// pages, read from the end of the source, so that the position the last page
// claims can be checked against the page before.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "audio/sources/ByteSource.h"

namespace audio {

struct LastOggPages {
    uint64_t lastGranule = 0;
    uint64_t previousGranule = 0; // of the page before, in the same stream
    uint64_t lastPackets = 0;     // packets that end in the last page
};

// The pages before `end`; nothing when the bytes there do not hold two such
// pages.
std::optional<LastOggPages> ReadLastOggPages(ByteSource& source, uint64_t end);

struct IntactOggPage {
    uint32_t serial = 0;
    int64_t granule = -1;
};

// The last page of the source's `size` bytes whose checksum holds, looked
// for in its last 16 KiB and then in as much as the largest page spans.
std::optional<IntactOggPage> LastIntactOggPage(ByteSource& source, uint64_t size);

// Offsets of the first pages of the links after the first (a run of
// beginning-of-stream pages after other pages), found by walking the page
// headers from the start; the walk stops at the first bytes that are no page.
std::vector<uint64_t> OggLinkStarts(ByteSource& source);

} // namespace audio
