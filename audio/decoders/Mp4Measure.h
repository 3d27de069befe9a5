// The length and format of AAC or ALAC in an MP4 file as FFmpeg's demuxer
// gives them, read from the movie's boxes alone: the first sound track's
// media duration bounded by its sample table and one plain edit, and
// iTunes' gapless comment. Nothing where the file is of a shape this does
// not follow (fragments, several edits or sample descriptions, other codecs,
// sample data beyond the file's end), which FFmpeg must then open.
#pragma once

#include <cstdint>
#include <optional>

#include "audio/sources/ByteSource.h"

namespace audio {

// An AAC or ALAC packet never holds more frames than this.
constexpr uint64_t kMostFramesPerMp4Packet = 1 << 16;

struct Mp4Measure {
    bool alac = false;
    uint32_t rate = 0; // as the header gives it: an implicit HE-AAC decodes at twice
    uint32_t channels = 0;
    uint64_t frames = 0;
};

std::optional<Mp4Measure> MeasureMp4(ByteSource& source);

// The source's length in iTunes' gapless comment, " 0 priming padding count
// ..." in hexadecimal; nothing without a count.
std::optional<uint64_t> ItunesSourceFrames(const char* comment);

} // namespace audio
