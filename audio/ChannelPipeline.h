// The way from a channel's decoder to the output: non-finite samples made 0,
// the effects in order, stereo, conversion to the output rate. One thread at
// a time pulls from it (the decode thread, or renderOutput), under the
// channel's pipeline lock; the effect list has a lock of its own so that it
// can be edited while a slow read or seek runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "Effect.h"
#include "RateConverter.h"
#include "decoders/Decoder.h"

namespace audio {

class ChannelPipeline {
  public:
    explicit ChannelPipeline(std::unique_ptr<Decoder> decoder) : decoder_(std::move(decoder)) {}

    // The next pull starts at this frame of the decoder, exactly.
    bool seek(uint64_t frame);
    // The samples are converted from rate from now on. The converter is made
    // only for a rate other than the output's; a rate it refuses ends the
    // channel's output.
    void setRate(uint32_t rate);
    // Stereo at the output rate; fewer than asked only at the end, or, from
    // a live decoder, when it has no more frames ready.
    size_t pull(float* stereo, size_t frames);
    // Everything the decoder gave has been pulled and it has ended.
    bool ended() const { return refused_ || (decoderEnded_ && pendingStart_ >= pending_.size()); }
    // Decoder frames delivered so far.
    uint64_t position() const { return position_; }

    std::mutex& effectsLock() { return effectsLock_; }
    std::vector<EffectSlot>& effects() { return effects_; }

  private:
    // Decodes up to wantedFrames into the pipeline: straight into direct at
    // the output rate, else through the converter into pending_. 0 at the end
    // and while a live decoder has nothing ready.
    size_t decodeBlock(size_t wantedFrames, float* direct);

    std::unique_ptr<Decoder> decoder_;
    uint64_t position_ = 0;
    bool decoderEnded_ = false;
    bool refused_ = false;
    std::mutex effectsLock_;
    std::vector<EffectSlot> effects_;
    RateConverter converter_;
    std::vector<float> decoded_;
    std::vector<float> stereo_;
    // Converted frames not yet handed out; pending_[pendingStart_..] is left.
    std::vector<float> pending_;
    size_t pendingStart_ = 0;
};

} // namespace audio
