// Strict recognition of an MPEG audio file: after any ID3v2 blocks the first
// frame starts at once and a run of frames of one stream follows. Decoders
// that resynchronise find "frames" in almost anything; this does not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio/decoders/MpegFrameHeader.h"

namespace audio {

struct MpegStreamProbe {
    MpegFrameHeader first;
    uint64_t audioStart = 0; // offset of the first frame
    uint64_t audioBytes = 0; // from the first frame to the trailing tags
    std::optional<MpegVbrInfo> vbr;
};

// Frames that must chain from the start (fewer when the file ends first).
constexpr int kMpegFramesToConfirm = 4;

std::optional<MpegStreamProbe> ProbeMpegStream(const std::string& path);
// The same through an open descriptor, read without moving its position.
std::optional<MpegStreamProbe> ProbeMpegStream(int fd);

} // namespace audio
