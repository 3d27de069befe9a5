// Decoded FFmpeg audio frames as interleaved float samples.
#pragma once

#include <cstdint>
#include <vector>

struct AVFrame;

namespace audio {

// Appends the frame's samples, interleaved, for `channels` channels (the
// frame's own count is used when it matches; false when it does not or the
// sample format is not a plain PCM one).
bool AppendFloatSamples(const AVFrame& frame, uint32_t channels, std::vector<float>& out);

} // namespace audio
