// One channel: a decoder and the pipeline from its samples to the output
// (effects, stereo, rate conversion, volume and pan), with its play state.
// Not locked itself: the library's lock guards every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "AudioLibrary.h"
#include "Effect.h"
#include "RateConverter.h"
#include "decoders/Decoder.h"

namespace audio {

class Channel {
  public:
    // Null when the decoder's format cannot be played (no channels, a rate
    // the converter refuses).
    static std::unique_ptr<Channel> Create(std::unique_ptr<Decoder> decoder, ChannelKind kind,
                                           uint32_t flags);

    ChannelKind kind() const { return kind_; }
    ChannelInfo info() const;
    // Opened only to be measured: it cannot be played or rendered.
    bool measureOnly() const { return kind_ == ChannelKind::Module && (flags_ & kMeasureOnly); }

    uint64_t lengthBytes() const { return decoder_->lengthFrames() * bytesPerFrame(); }
    uint64_t positionBytes() const { return positionFrames_ * bytesPerFrame(); }
    double bytesToSeconds(uint64_t bytes) const;
    bool seekBytes(uint64_t position);

    int activity() const;
    bool playing() const { return state_ == State::Playing; }
    bool play(bool restart);
    bool pause();
    void stop() { state_ = State::Stopped; }

    bool setAttributes(int rate, int volume, int pan);
    uint32_t playbackRate() const { return playbackRate_; }
    int volume() const { return volume_; }
    int pan() const { return pan_; }

    std::vector<EffectSlot>& effects() { return effects_; }

    // The next frames for the output (stereo at the output rate, volume and
    // pan applied). Fewer than asked only at the end, which stops the channel.
    size_t pull(float* stereo, size_t frames);

  private:
    enum class State { Stopped, Playing, Paused };

    Channel(std::unique_ptr<Decoder> decoder, ChannelKind kind, uint32_t flags);

    uint32_t bytesPerFrame() const;
    bool rewind(uint64_t frame);
    // Decodes up to wantedFrames into the pipeline: straight into direct at
    // the output rate, else through the converter into pending_. 0 at the end.
    size_t decodeBlock(size_t wantedFrames, float* direct);
    void applyVolumeAndPan(float* stereo, size_t frames) const;

    std::unique_ptr<Decoder> decoder_;
    ChannelKind kind_;
    uint32_t flags_;
    State state_ = State::Stopped;
    bool decoderEnded_ = false;
    bool ended_ = false;
    uint64_t positionFrames_ = 0;
    uint32_t playbackRate_;
    int volume_ = 100;
    int pan_ = 0;
    std::vector<EffectSlot> effects_;
    RateConverter converter_;
    std::vector<float> decoded_;
    std::vector<float> stereo_;
    // Converted frames not yet handed out; pending_[pendingStart_..] is left.
    std::vector<float> pending_;
    size_t pendingStart_ = 0;
};

} // namespace audio
