// Decoded samples waiting to be read, for decoders that get them in blocks
// of their own size.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace audio {

// Copies up to `frames` frames of pending from `at` on to out, moves `at`
// past them and returns how many.
inline size_t TakePending(const std::vector<float>& pending, size_t& at, float* out, size_t frames, uint32_t channels)
{
    const size_t n = std::min(frames, (pending.size() - std::min(at, pending.size())) / channels);
    std::copy_n(pending.begin() + static_cast<ptrdiff_t>(at), n * channels, out);
    at += n * channels;
    return n;
}

} // namespace audio
