#include "StereoDownmix.h"

#include <algorithm>

namespace audio {

void DownmixToStereo(const float* in, uint32_t channels, size_t frames, float* stereo) {
    if (channels == 1) {
        for (size_t i = 0; i < frames; ++i) stereo[2 * i] = stereo[2 * i + 1] = in[i];
        return;
    }
    if (channels == 2) {
        std::copy(in, in + 2 * frames, stereo);
        return;
    }
    constexpr float kSideGain = 0.70710678f;
    const float scale = 1.0f / (1.0f + kSideGain * static_cast<float>(channels - 2));
    for (size_t i = 0; i < frames; ++i) {
        const float* frame = in + i * channels;
        float shared = 0.0f;
        for (uint32_t c = 2; c < channels; ++c) shared += frame[c];
        shared *= kSideGain;
        stereo[2 * i] = (frame[0] + shared) * scale;
        stereo[2 * i + 1] = (frame[1] + shared) * scale;
    }
}

} // namespace audio
