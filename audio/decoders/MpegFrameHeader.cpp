#include "audio/decoders/MpegFrameHeader.h"

#include <algorithm>
#include <cstring>

namespace audio {
namespace {

// kbit/s by [MPEG 1 ? 0 : 1][layer - 1][index]
constexpr uint16_t kBitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};
constexpr uint32_t kMpeg1Rates[3] = {44100, 48000, 32000};

uint32_t BigEndian32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

} // namespace

std::optional<MpegFrameHeader> ParseMpegFrameHeader(const uint8_t* bytes, size_t size)
{
    if (size < 4 || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int versionBits = (bytes[1] >> 3) & 3;
    const int layerBits = (bytes[1] >> 1) & 3;
    const int bitrateIndex = bytes[2] >> 4;
    const int rateIndex = (bytes[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3
        || (bytes[3] & 3) == 2)
        return std::nullopt;

    MpegFrameHeader h;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.layer = 4 - layerBits;
    h.crc = (bytes[1] & 1) == 0;
    h.bitrate = kBitrates[h.version == 1 ? 0 : 1][h.layer - 1][bitrateIndex] * 1000u;
    h.rate = kMpeg1Rates[rateIndex] / (h.version == 1 ? 1 : h.version == 2 ? 2 : 4);
    h.channels = (bytes[3] >> 6) == 3 ? 1 : 2;
    const uint32_t padding = (bytes[2] >> 1) & 1;
    if (h.layer == 1) {
        h.samples = 384;
        h.frameBytes = (12 * h.bitrate / h.rate + padding) * 4;
    } else if (h.layer == 2 || h.version == 1) {
        h.samples = 1152;
        h.frameBytes = 144 * h.bitrate / h.rate + padding;
    } else {
        h.samples = 576;
        h.frameBytes = 72 * h.bitrate / h.rate + padding;
    }
    return h;
}

std::optional<MpegVbrInfo> ReadMpegVbrInfo(const uint8_t* frame, size_t size, const MpegFrameHeader& header)
{
    if (header.layer != 3)
        return std::nullopt;
    size = std::min<size_t>(size, header.frameBytes);
    const size_t sideInfo = header.version == 1 ? (header.channels == 1 ? 17 : 32) : (header.channels == 1 ? 9 : 17);
    const size_t xing = 4 + (header.crc ? 2 : 0) + sideInfo;
    if (xing + 8 <= size && (std::memcmp(frame + xing, "Xing", 4) == 0 || std::memcmp(frame + xing, "Info", 4) == 0)) {
        MpegVbrInfo info;
        const uint32_t flags = BigEndian32(frame + xing + 4);
        size_t at = xing + 8;
        if ((flags & 1) && at + 4 <= size) {
            info.frames = BigEndian32(frame + at);
            at += 4;
        }
        if ((flags & 2) && at + 4 <= size)
            info.bytes = BigEndian32(frame + at);
        return info;
    }
    constexpr size_t kVbri = 4 + 32;
    if (kVbri + 18 <= size && std::memcmp(frame + kVbri, "VBRI", 4) == 0) {
        MpegVbrInfo info;
        info.bytes = BigEndian32(frame + kVbri + 10);
        info.frames = BigEndian32(frame + kVbri + 14);
        return info;
    }
    return std::nullopt;
}

} // namespace audio
