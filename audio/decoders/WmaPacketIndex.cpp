#include "audio/decoders/WmaPacketIndex.h"

#include <algorithm>

extern "C" {
#include <libavutil/avutil.h>
}

#include "audio/decoders/WmaSource.h"

namespace audio {
namespace {

// Packets decoded to learn the decoder's pattern: the first two deliver
// nothing (decoder delay), each later one exactly one frame.
constexpr size_t kPatternPackets = 8;
constexpr size_t kSilentPackets = 2;

bool OneFrameEach(const std::vector<size_t>& delivered)
{
    if (delivered.size() < kPatternPackets)
        return false;
    for (size_t i = 0; i < kSilentPackets; ++i)
        if (delivered[i] != 0)
            return false;
    const size_t frame = delivered[kSilentPackets];
    return frame > 0 && std::all_of(delivered.begin() + kSilentPackets, delivered.end(),
                                    [frame](size_t n) { return n == frame; });
}

} // namespace

std::optional<WmaPacketIndex> CountWmaFrames(WmaSource& source, bool decodeAll)
{
    WmaPacketIndex index;
    std::vector<float> scratch;
    std::vector<size_t> firstPackets;
    while (source.nextPacket()) {
        const int64_t time = source.packetTime();
        if (time == AV_NOPTS_VALUE || (!index.marks.empty() && time <= index.marks.back().time))
            index.seekable = false;
        size_t frames = 0;
        if (decodeAll || firstPackets.size() < kPatternPackets) {
            scratch.clear();
            frames = source.decodePacket(scratch);
            if (!decodeAll)
                firstPackets.push_back(frames);
        }
        index.totalFrames += frames;
        index.maxPacketFrames = std::max(index.maxPacketFrames, frames);
        index.marks.push_back({time, index.totalFrames});
    }
    if (decodeAll) {
        scratch.clear();
        index.totalFrames += source.drain(scratch);
        return index;
    }
    if (!OneFrameEach(firstPackets))
        return std::nullopt;
    // The decoder gives back the frame it holds at the end, so the stream
    // delivers one frame fewer than it has packets.
    const uint64_t frame = firstPackets[kSilentPackets];
    for (size_t i = 0; i < index.marks.size(); ++i)
        index.marks[i].endFrame = i + 1 > kSilentPackets ? (i + 1 - kSilentPackets) * frame : 0;
    index.totalFrames = (index.marks.size() - 1) * frame;
    return index;
}

std::optional<size_t> FindWmaPacket(const WmaPacketIndex& index, int64_t time)
{
    if (!index.seekable)
        return std::nullopt;
    const auto it = std::lower_bound(index.marks.begin(), index.marks.end(), time,
                                     [](const WmaPacketMark& m, int64_t t) { return m.time < t; });
    if (it == index.marks.end() || it->time != time)
        return std::nullopt;
    return static_cast<size_t>(it - index.marks.begin());
}

} // namespace audio
