// Where each packet's decoded samples end in the stream, so that a seek can
// start decoding a few packets early and know which samples it gets.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace audio {

class WmaSource;

struct WmaPacketMark {
    int64_t time = 0;      // the packet's time stamp
    uint64_t endFrame = 0; // frames delivered once this packet is decoded
};

struct WmaPacketIndex {
    std::vector<WmaPacketMark> marks;
    uint64_t totalFrames = 0;  // all the decoder delivers, its last frames included
    size_t maxPacketFrames = 0;
    bool seekable = true;      // time stamps known and rising: packets can be found again
};

// Reads `source` to its end. With decodeAll every packet is decoded;
// without, the count comes from the packets alone, and nothing when the
// first packets show that the decoder does not give one frame per packet.
std::optional<WmaPacketIndex> CountWmaFrames(WmaSource& source, bool decodeAll);

// Index of the packet with this time stamp, if any.
std::optional<size_t> FindWmaPacket(const WmaPacketIndex& index, int64_t time);

} // namespace audio
