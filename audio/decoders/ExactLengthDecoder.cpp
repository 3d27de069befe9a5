#include "audio/decoders/ExactLengthDecoder.h"

#include <algorithm>

namespace audio {

size_t ExactLengthDecoder::read(float* out, size_t frames)
{
    const uint64_t left = length_ - position_;
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(frames, left));
    const size_t width = channels();
    size_t done = 0;
    while (done < wanted && !sourceEnded_) {
        const size_t got = decode(out + done * width, wanted - done);
        if (got == 0)
            sourceEnded_ = true;
        done += std::min(got, wanted - done);
    }
    std::fill(out + done * width, out + wanted * width, 0.0f);
    position_ += wanted;
    return wanted;
}

bool ExactLengthDecoder::seek(uint64_t frame)
{
    if (frame > length_)
        return false;
    position_ = frame;
    // A source that cannot seek gives silence from here rather than samples
    // from the wrong place.
    sourceEnded_ = frame == length_ || !seekSource(frame);
    return !sourceEnded_ || frame == length_;
}

} // namespace audio
