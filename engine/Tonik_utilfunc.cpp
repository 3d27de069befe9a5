#include "Tonik_utilfunc.h"

#include <cstdio>
#include <limits>

namespace {

bool IsModuleType(uint32_t type) {
    return type == 0x100 || (type >= audio::kTypeModMod && type <= audio::kTypeModIt);
}

float Seconds(HSTREAM Handle, uint64_t Bytes) {
    return static_cast<float>(audio::bytesToSeconds(Handle, Bytes));
}

} // namespace

uint32_t FloatProbe() { return audio::probeFloatOutput() != 0 ? audio::kFloatSamples : 0; }

HSTREAM CreateFileChannel(const std::string& FileName, uint32_t StreamFlags, uint32_t ModuleFlags) {
    const uint32_t F = FloatProbe();
    HSTREAM h = audio::openFileChannel(FileName, 0, 0, StreamFlags | F);
    if (h == 0) h = audio::openWmaChannel(FileName, 0);
    if (h == 0) h = audio::openCdChannel(FileName, 0);
    if (h == 0)
        h = audio::openModuleChannel(FileName, 0, 0, ModuleFlags | F | audio::kModuleInterpolate, 0);
    if (h == 0) h = audio::openMidiChannel(FileName, 0, 0, 0, 44100);
    return h;
}

HSTREAM CreateURLChannel(const std::string& Address, uint32_t Flags) {
    const uint32_t F = FloatProbe();
    HSTREAM h = audio::openUrlChannel(Address, Flags | F);
    if (h == 0) h = audio::openWmaChannel(Address, Flags | F);
    return h;
}

void FreeChannel(HSTREAM Handle) {
    if (Handle == 0) return;
    audio::ChannelInfo info;
    audio::channelInfo(Handle, info);
    if (IsModuleType(info.type))
        audio::releaseModule(Handle);
    else
        audio::releaseStream(Handle);
}

float ChannelSeconds(HSTREAM Handle) { return Seconds(Handle, audio::lengthBytes(Handle)); }

float PositionSeconds(HSTREAM Handle) { return Seconds(Handle, audio::positionBytes(Handle)); }

float FileSeconds(const std::string& FileName) {
    // Opened to be measured: decoders may leave out what only playing needs.
    const HSTREAM h = CreateFileChannel(FileName, 0x120000, 0x120000);
    const float S = ChannelSeconds(h);
    FreeChannel(h);
    return S;
}

// Without printf: a playlist file formats one time per entry.
std::string FormatTime(uint32_t Seconds) {
    std::string text = Seconds / 60 < 10 ? "0" : "";
    text += std::to_string(Seconds / 60);
    text += ':';
    text += static_cast<char>('0' + Seconds % 60 / 10);
    text += static_cast<char>('0' + Seconds % 10);
    return text;
}

std::string FileDurationText(const std::string& FileName) {
    const float S = FileSeconds(FileName);
    // Outside the 32-bit range the conversion would be undefined.
    if (!(S > 0)) return FormatTime(0);
    if (S >= 4294967296.0f) return FormatTime(std::numeric_limits<uint32_t>::max());
    return FormatTime(static_cast<uint32_t>(S));
}
