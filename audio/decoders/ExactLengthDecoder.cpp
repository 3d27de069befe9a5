#include "audio/decoders/ExactLengthDecoder.h"

#include <algorithm>
#include <vector>

namespace audio {
namespace {

constexpr size_t kDiscardChunk = 4096;

} // namespace

bool ExactLengthDecoder::ready()
{
    if (setUpPending_) {
        setUpPending_ = false;
        setUpFailed_ = !setUp();
    }
    return !setUpFailed_;
}

size_t ExactLengthDecoder::read(float* out, size_t frames)
{
    if (!ready())
        sourceEnded_ = true;
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
    sourceEnded_ = frame == length_;
    if (sourceEnded_)
        return true;
    if (!ready()) {
        sourceEnded_ = true;
        return false;
    }
    if (seekSource(frame))
        return true;
    // A damaged source may not seek, but decoding again from the start still
    // reaches every frame it holds (and what it lacks is silence in a full
    // decode too).
    if (!rewindSource()) {
        sourceEnded_ = true;
        return false;
    }
    std::vector<float> scratch(kDiscardChunk * channels());
    for (uint64_t left = frame; left > 0 && !sourceEnded_;) {
        const size_t got = decode(scratch.data(), static_cast<size_t>(std::min<uint64_t>(left, kDiscardChunk)));
        sourceEnded_ = got == 0;
        left -= std::min<uint64_t>(got, left);
    }
    return true;
}

} // namespace audio
