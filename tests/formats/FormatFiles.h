// The files of today's kinds that the format tests share, made on first use
// by Debian's encoders from the test signal, with the length each kind's own
// reference decoder gives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace formats_test {

struct FormatFile {
    std::string name;
    std::string path;
    std::string kind; // the decoder table's name
    uint32_t type = 0;
    uint32_t rate = 0;
    uint32_t channels = 0;
    bool lossless = false;
    // The frames the reference decoder writes (for AAC in MP4 the stream's
    // duration_ts, the source's length).
    uint64_t referenceFrames = 0;
    // The PCM WAV it was encoded from.
    std::string source;
};

// flac, oggflac, oggflac1pass (no count in its stream information),
// flac24x96, flac24x192, opus, opusmono, m4a, m4asmpb (iTunes'
// gapless comment, no edit list), adts, alac, alac24x96.
const std::vector<FormatFile>& FormatFiles();
const FormatFile& FormatFileNamed(const std::string& name);

// The test signal cut in two at a frame no codec block ends on, each part
// encoded like the file `name`; first and second are the parts' paths and
// whole the uncut WAV.
struct CutSignal {
    std::string first;
    std::string second;
    std::string whole;
};
CutSignal CutInTwo(const std::string& name);

} // namespace formats_test
