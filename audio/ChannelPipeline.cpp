#include "ChannelPipeline.h"

#include <algorithm>
#include <cmath>

#include "StereoDownmix.h"

namespace audio {

namespace {

constexpr size_t kBlockFrames = 4096;

// A damaged file can decode to NaN or infinity, which the effects' filters
// would keep for ever and the device would play at full scale.
void ZeroNonFinite(float* samples, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (!std::isfinite(samples[i])) samples[i] = 0.0f;
}

} // namespace

bool ChannelPipeline::seek(uint64_t frame) {
    if (frame > decoder_->lengthFrames() || !decoder_->seek(frame)) return false;
    position_ = frame;
    converter_.reset();
    pending_.clear();
    pendingStart_ = 0;
    decoderEnded_ = false;
    return true;
}

void ChannelPipeline::setRate(uint32_t rate) {
    if (!refused_ && !converter_.setInputRate(rate, pending_)) refused_ = true;
}

size_t ChannelPipeline::decodeBlock(size_t wantedFrames, float* direct) {
    const size_t wanted = std::min(wantedFrames, kBlockFrames);
    const uint32_t channels = decoder_->channels();
    decoded_.resize(wanted * channels);
    const size_t got = std::min(decoder_->read(decoded_.data(), wanted), wanted);
    if (got == 0) {
        if (decoder_->live() && !decoder_->finished())
            return 0;
        decoderEnded_ = true;
        converter_.drain(pending_);
        return 0;
    }
    position_ += got;
    ZeroNonFinite(decoded_.data(), got * channels);
    {
        std::lock_guard guard(effectsLock_);
        for (EffectSlot& slot : effects_) {
            if (slot.effect) slot.effect->process(decoded_.data(), got);
        }
    }
    if (direct) {
        DownmixToStereo(decoded_.data(), channels, got, direct);
    } else {
        stereo_.resize(2 * got);
        DownmixToStereo(decoded_.data(), channels, got, stereo_.data());
        converter_.convert(stereo_.data(), got, pending_);
    }
    return got;
}

size_t ChannelPipeline::pull(float* stereo, size_t frames) {
    if (refused_) return 0;
    size_t done = 0;
    while (done < frames) {
        if (pendingStart_ < pending_.size()) {
            const size_t n = std::min((pending_.size() - pendingStart_) / 2, frames - done);
            std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(pendingStart_), 2 * n,
                        stereo + 2 * done);
            pendingStart_ += 2 * n;
            done += n;
            if (pendingStart_ == pending_.size()) {
                pending_.clear();
                pendingStart_ = 0;
            }
            continue;
        }
        if (decoderEnded_) break;
        size_t got = 0;
        if (converter_.passThrough()) {
            got = decodeBlock(frames - done, stereo + 2 * done);
            done += got;
        } else {
            got = decodeBlock(converter_.inputFramesFor(frames - done), nullptr);
        }
        // A live decoder with nothing ready.
        if (got == 0 && !decoderEnded_) break;
    }
    return done;
}

} // namespace audio
