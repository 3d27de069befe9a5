#include "SndAttrib.h"

#include <cmath>

#include "platform/FileSize.h"

namespace {

std::string ChannelModeName(uint32_t Channels) {
    switch (Channels) {
    case 1: return "Mono";
    case 2: return "Stereo";
    case 5: return "4.1";
    case 6: return "5.1";
    case 8: return "7.1";
    default: return "Unknown";
    }
}

} // namespace

TSndAttrib GetSndAttrib(audio::Handle Channel, const std::string& FileName) {
    audio::ChannelInfo Info;
    audio::channelInfo(Channel, Info);
    TSndAttrib Result;
    Result.ChannelMode = ChannelModeName(Info.channels);
    Result.ChannelType = std::to_string(int32_t(Info.type));
    Result.SampleRate = std::to_string(Info.rate / 1000) + " kHz";
    if (Info.sourceBits != 0) Result.SampleBits = std::to_string(Info.sourceBits) + " bit";

    // The length in single precision, as the track information shows it; the
    // whole 64-bit size, so that files of 4 GiB and more get their true rate.
    const double Seconds = std::trunc(float(audio::bytesToSeconds(Channel, audio::lengthBytes(Channel))));
    uint64_t Rate = 0;
    if (Seconds >= 1) {
        const double Bytes = double(platform::FileSize(FileName).value_or(0));
        Rate = uint64_t(Bytes * 0.008 / Seconds);
    }
    Result.BitRate = std::to_string(Rate) + " kbps";
    return Result;
}
