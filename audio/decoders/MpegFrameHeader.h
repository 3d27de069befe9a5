// MPEG audio frame headers (layers 1-3, MPEG 1, 2 and 2.5) and the
// Xing/Info/VBRI frame that may open a stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace audio {

struct MpegFrameHeader {
    int version = 1; // 1 = MPEG 1, 2 = MPEG 2, 25 = MPEG 2.5
    int layer = 3;
    uint32_t bitrate = 0; // bits per second
    uint32_t rate = 0;
    uint32_t channels = 2;
    uint32_t frameBytes = 0; // header included
    uint32_t samples = 0;    // per channel
    bool crc = false;

    // Frames of one stream share version, layer and rate.
    bool sameStream(const MpegFrameHeader& other) const
    {
        return version == other.version && layer == other.layer && rate == other.rate;
    }
};

// Free-format frames (bitrate index 0) are refused: their length cannot be
// told from the header alone.
std::optional<MpegFrameHeader> ParseMpegFrameHeader(const uint8_t* bytes, size_t size);

struct MpegVbrInfo {
    std::optional<uint32_t> frames; // audio frames after this one
    std::optional<uint32_t> bytes;  // stream bytes, this frame included
};

// The Xing/Info or VBRI header inside a first layer 3 frame, if any.
std::optional<MpegVbrInfo> ReadMpegVbrInfo(const uint8_t* frame, size_t size, const MpegFrameHeader& header);

} // namespace audio
