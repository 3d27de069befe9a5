// The length of a one-link Ogg Opus file as libopusfile gives it (last
// granule position less the first page's start and the pre-skip), from the
// first pages and the last one alone: no decoder is set up and no pages
// between are read. Nothing where the file is of a shape this does not
// follow (chained or multiplexed, a single page, damaged pages or packets),
// which libopusfile must then measure.
#pragma once

#include <cstdint>
#include <optional>

#include "audio/sources/ByteSource.h"

namespace audio {

struct OggOpusLength {
    uint32_t channels = 0;
    uint64_t frames = 0; // at 48 kHz
};

std::optional<OggOpusLength> MeasureOggOpus(ByteSource& source);

} // namespace audio
