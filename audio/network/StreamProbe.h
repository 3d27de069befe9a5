// What a network stream carries, from the bytes that have arrived so far.
// MPEG audio and ADTS may begin in the middle of a frame, so a run of
// chained frames is looked for; Ogg begins with the first page of a Vorbis or
// Opus stream, ASF with its header object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "audio/network/StreamKind.h"

namespace audio {

// Bytes looked at for a verdict: a stream that is nothing known by then is
// refused.
constexpr size_t kStreamProbeLimit = 65536;

struct StreamProbeResult {
    enum class Verdict { Found, NeedMore, Unknown };
    Verdict verdict = Verdict::Unknown;
    StreamKind kind = StreamKind::Mp3;
    // Where the first frame, page or header object begins.
    size_t offset = 0;
};

// bytes: the stream's first bytes; complete: no more will come. The
// Content-Type (may be empty; parameters such as "; charset=" are ignored)
// orders the trial when content could be read two ways; the content decides.
StreamProbeResult ProbeStream(std::string_view contentType, std::span<const uint8_t> bytes, bool complete);

} // namespace audio
