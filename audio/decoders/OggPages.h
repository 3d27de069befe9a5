// The last pages of an Ogg stream, read from the end of the source, so that
// the position the last page claims can be checked against the page before.
#pragma once

#include <cstdint>
#include <optional>

#include "audio/sources/ByteSource.h"

namespace audio {

struct LastOggPages {
    uint64_t lastGranule = 0;
    uint64_t previousGranule = 0; // of the page before, in the same stream
    uint64_t lastPackets = 0;     // packets that end in the last page
};

// Nothing when the end of the source does not hold two such pages.
std::optional<LastOggPages> ReadLastOggPages(ByteSource& source);

} // namespace audio
