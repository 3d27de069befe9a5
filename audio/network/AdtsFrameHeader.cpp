#include "audio/network/AdtsFrameHeader.h"

namespace audio {
namespace {

constexpr uint32_t kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                 22050, 16000, 12000, 11025, 8000,  7350};

} // namespace

std::optional<AdtsFrameHeader> ParseAdtsFrameHeader(const uint8_t* bytes, size_t size)
{
    if (size < kAdtsHeaderBytes || bytes[0] != 0xFF || (bytes[1] & 0xF6) != 0xF0)
        return std::nullopt;
    const int rateIndex = (bytes[2] >> 2) & 0xF;
    const int channelConfig = ((bytes[2] & 1) << 2) | (bytes[3] >> 6);
    const bool hasCrc = (bytes[1] & 1) == 0;
    AdtsFrameHeader h;
    h.frameBytes = (uint32_t(bytes[3] & 3) << 11) | (uint32_t(bytes[4]) << 3) | (bytes[5] >> 5);
    if (rateIndex >= 13 || channelConfig == 0 || h.frameBytes < kAdtsHeaderBytes + (hasCrc ? 2 : 0))
        return std::nullopt;
    h.mpeg2 = (bytes[1] & 8) != 0;
    h.profile = bytes[2] >> 6;
    h.rateIndex = rateIndex;
    h.rate = kRates[rateIndex];
    h.channels = channelConfig == 7 ? 8 : channelConfig;
    return h;
}

} // namespace audio
