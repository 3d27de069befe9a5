// ADTS frame headers, the framing of AAC on the radio: each frame tells its
// own length and the stream's profile, rate and channels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace audio {

struct AdtsFrameHeader {
    bool mpeg2 = false; // the ID bit: MPEG-2 rather than MPEG-4 AAC
    int profile = 1;    // audio object type minus 1
    int rateIndex = 4;
    uint32_t rate = 0;
    uint32_t channels = 0;
    uint32_t frameBytes = 0; // header included

    bool sameStream(const AdtsFrameHeader& other) const
    {
        return mpeg2 == other.mpeg2 && profile == other.profile && rateIndex == other.rateIndex
            && channels == other.channels;
    }
};

constexpr size_t kAdtsHeaderBytes = 7;

// Reserved rates, channel configuration 0 (channels that only a program
// element inside the frame tells) and lengths shorter than the header are
// refused.
std::optional<AdtsFrameHeader> ParseAdtsFrameHeader(const uint8_t* bytes, size_t size);

} // namespace audio
