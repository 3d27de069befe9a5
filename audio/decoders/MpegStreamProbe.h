// Strict recognition of an MPEG audio source: after any ID3v2 blocks the
// first frame starts at once and a run of frames of one stream follows.
// Decoders that resynchronise find "frames" in almost anything; this does
// not. Only a source whose ID3v2 block claims more bytes than there are is
// searched for its first run of frames.
#pragma once

#include <cstdint>
#include <optional>

#include "audio/decoders/MpegFrameHeader.h"
#include "audio/decoders/SourceHeader.h"

namespace audio {

struct MpegStreamProbe {
    MpegFrameHeader first;
    uint64_t audioStart = 0; // offset of the first frame
    uint64_t audioBytes = 0; // from the first frame to the trailing tags
    std::optional<MpegVbrInfo> vbr;
};

// Frames that must chain from the start (fewer when the source ends first).
constexpr int kMpegFramesToConfirm = 4;

// Looks at the header first; only a source it accepts is read (its end, for
// trailing tags).
std::optional<MpegStreamProbe> ProbeMpegStream(ByteSource& source, const SourceHeader& header);

} // namespace audio
