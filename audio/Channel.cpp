#include "Channel.h"

#include <algorithm>

#include "StereoDownmix.h"

namespace audio {

namespace {

constexpr size_t kBlockFrames = 4096;
constexpr int kMinPlaybackRate = 100;
constexpr int kMaxPlaybackRate = 1000000;

} // namespace

std::unique_ptr<Channel> Channel::Create(std::unique_ptr<Decoder> decoder, ChannelKind kind,
                                         uint32_t flags) {
    if (!decoder || decoder->channels() == 0 || decoder->rate() == 0) return nullptr;
    std::unique_ptr<Channel> channel(new Channel(std::move(decoder), kind, flags));
    if (!channel->converter_.setInputRate(channel->playbackRate_, channel->pending_)) return nullptr;
    return channel;
}

Channel::Channel(std::unique_ptr<Decoder> decoder, ChannelKind kind, uint32_t flags)
    : decoder_(std::move(decoder)), kind_(kind), flags_(flags), playbackRate_(decoder_->rate()) {}

ChannelInfo Channel::info() const {
    ChannelInfo info;
    info.flags = flags_;
    info.rate = decoder_->rate();
    info.channels = decoder_->channels();
    info.bits = (flags_ & kFloatSamples) ? 32 : 16;
    info.type = decoder_->typeCode();
    return info;
}

uint32_t Channel::bytesPerFrame() const {
    return decoder_->channels() * ((flags_ & kFloatSamples) ? 4 : 2);
}

double Channel::bytesToSeconds(uint64_t bytes) const {
    return static_cast<double>(bytes) / (static_cast<double>(decoder_->rate()) * bytesPerFrame());
}

bool Channel::rewind(uint64_t frame) {
    if (frame > decoder_->lengthFrames() || !decoder_->seek(frame)) return false;
    positionFrames_ = frame;
    converter_.reset();
    pending_.clear();
    pendingStart_ = 0;
    decoderEnded_ = false;
    ended_ = false;
    return true;
}

bool Channel::seekBytes(uint64_t position) { return rewind(position / bytesPerFrame()); }

int Channel::activity() const {
    switch (state_) {
    case State::Playing: return kPlaying;
    case State::Paused: return kPaused;
    case State::Stopped: break;
    }
    return kStopped;
}

bool Channel::play(bool restart) {
    if (measureOnly()) return false;
    if ((restart || ended_) && !rewind(0)) return false;
    state_ = State::Playing;
    return true;
}

bool Channel::pause() {
    if (state_ == State::Playing) state_ = State::Paused;
    return state_ == State::Paused;
}

bool Channel::setAttributes(int rate, int volume, int pan) {
    const bool rateOk = rate == -1 || (rate >= kMinPlaybackRate && rate <= kMaxPlaybackRate);
    const bool volumeOk = volume == -1 || (volume >= 0 && volume <= 100);
    const bool panOk = pan == -101 || (pan >= -100 && pan <= 100);
    if (!rateOk || !volumeOk || !panOk) return false;
    if (rate != -1) {
        if (!converter_.setInputRate(static_cast<uint32_t>(rate), pending_)) return false;
        playbackRate_ = static_cast<uint32_t>(rate);
    }
    if (volume != -1) volume_ = volume;
    if (pan != -101) pan_ = pan;
    return true;
}

size_t Channel::decodeBlock(size_t wantedFrames, float* direct) {
    const size_t wanted = std::min(wantedFrames, kBlockFrames);
    const uint32_t channels = decoder_->channels();
    decoded_.resize(wanted * channels);
    const size_t got = std::min(decoder_->read(decoded_.data(), wanted), wanted);
    if (got == 0) {
        decoderEnded_ = true;
        converter_.drain(pending_);
        return 0;
    }
    positionFrames_ += got;
    for (EffectSlot& slot : effects_) {
        if (slot.effect) slot.effect->process(decoded_.data(), got);
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

size_t Channel::pull(float* stereo, size_t frames) {
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
        if (converter_.passThrough()) {
            done += decodeBlock(frames - done, stereo + 2 * done);
        } else {
            decodeBlock(converter_.inputFramesFor(frames - done), nullptr);
        }
    }
    applyVolumeAndPan(stereo, done);
    if (done < frames) {
        ended_ = true;
        state_ = State::Stopped;
    }
    return done;
}

void Channel::applyVolumeAndPan(float* stereo, size_t frames) const {
    const float gain = static_cast<float>(volume_) / 100.0f;
    const float left = pan_ > 0 ? gain * static_cast<float>(100 - pan_) / 100.0f : gain;
    const float right = pan_ < 0 ? gain * static_cast<float>(100 + pan_) / 100.0f : gain;
    for (size_t i = 0; i < frames; ++i) {
        stereo[2 * i] *= left;
        stereo[2 * i + 1] *= right;
    }
}

} // namespace audio
