// Brings decoded frames of any channel count to the output's stereo.
#pragma once

#include <cstddef>
#include <cstdint>

namespace audio {

// Mono is duplicated, stereo copied; wider layouts keep their first two
// channels as left and right and spread the others over both at -3 dB,
// scaled so that full scale on every channel cannot exceed full scale.
void DownmixToStereo(const float* in, uint32_t channels, size_t frames, float* stereo);

} // namespace audio
