#include "Channel.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "audio/network/NetworkStream.h"

namespace audio {

namespace {

constexpr int kMinPlaybackRate = 100;
constexpr int kMaxPlaybackRate = 1000000;

// About 3 s of room. Without effects the decode thread keeps it nearly full,
// so that a slow read or a busy machine never reaches the device; with
// effects it keeps about 0.23 s, so that an effect change is heard soon.
constexpr size_t kRingFrames = size_t{1} << 17;
constexpr size_t kPlainAhead = kRingFrames - 8192;
constexpr size_t kPlainRefill = 32768;
constexpr size_t kEffectsAhead = 10240;
constexpr size_t kEffectsRefill = 4096;
constexpr size_t kChunkFrames = 4096;
constexpr size_t kStartFrames = 32768;
// How long a render waits for a CD reader that delivers nothing.
constexpr std::chrono::seconds kReaderPatience{5};

struct Gains {
    float left;
    float right;
};

Gains GainsOf(int volume, int pan) {
    const float gain = static_cast<float>(volume) / 100.0f;
    return {pan > 0 ? gain * static_cast<float>(100 - pan) / 100.0f : gain,
            pan < 0 ? gain * static_cast<float>(100 + pan) / 100.0f : gain};
}

} // namespace

std::shared_ptr<Channel> Channel::Create(std::unique_ptr<Decoder> decoder, ChannelKind kind,
                                         uint32_t flags, std::shared_ptr<NetworkStream> stream) {
    if (!decoder || (!stream && (decoder->channels() == 0 || decoder->rate() == 0))) return nullptr;
    return std::shared_ptr<Channel>(new Channel(std::move(decoder), kind, flags, std::move(stream)));
}

Channel::Channel(std::unique_ptr<Decoder> decoder, ChannelKind kind, uint32_t flags,
                 std::shared_ptr<NetworkStream> stream)
    : kind_(kind), flags_(flags), stream_(std::move(stream)), live_(decoder->live()), decodedRate_(decoder->rate()),
      channels_(decoder->channels()), typeCode_(decoder->typeCode()), sourceBits_(decoder->sourceBits()), lengthFrames_(decoder->lengthFrames()),
      ring_(kRingFrames), pipeline_(std::move(decoder)) {}

uint32_t Channel::decodedRate() const { return stream_ ? stream_->rate() : decodedRate_; }

uint32_t Channel::channelCount() const { return stream_ ? stream_->channels() : channels_; }

ChannelInfo Channel::info() const {
    ChannelInfo info;
    info.flags = flags_;
    info.rate = decodedRate();
    info.channels = channelCount();
    info.bits = (flags_ & kFloatSamples) ? 32 : 16;
    info.type = stream_ ? stream_->typeCode() : typeCode_;
    info.sourceBits = sourceBits_;
    return info;
}

uint32_t Channel::bytesPerFrame() const { return channelCount() * ((flags_ & kFloatSamples) ? 4 : 2); }

double Channel::bytesToSeconds(uint64_t bytes) const {
    if (stream_ && bytes == kUnknownLength) return -1.0;
    const double perSecond = static_cast<double>(decodedRate()) * bytesPerFrame();
    return perSecond > 0 ? static_cast<double>(bytes) / perSecond : 0.0;
}

uint64_t Channel::positionBytes() const {
    return (cursorGen_ == gen_ ? playedFrame_ : seekFrame_) * bytesPerFrame();
}

void Channel::restartAt(uint64_t frame) {
    ++gen_;
    seekFrame_ = frame;
    fillAsked_ = false;
    catchUp();
}

bool Channel::seekBytes(uint64_t position) {
    if (stream_) return false;
    const uint64_t frame = position / bytesPerFrame();
    if (frame > lengthFrames_) return false;
    atEnd_ = false;
    restartAt(frame);
    return true;
}

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
    if (restart || atEnd_) {
        atEnd_ = false;
        restartAt(0);
    }
    state_ = State::Playing;
    return true;
}

bool Channel::pause() {
    if (state_ == State::Playing) state_ = State::Paused;
    return state_ == State::Paused;
}

bool Channel::buffered() const {
    if (marks_.empty() || marks_.back().gen != gen_) return false;
    return marks_.back().kind == MarkKind::End || ring_.filled() >= aheadFrames();
}

size_t Channel::aheadFrames() const { return hasEffects_ ? kEffectsAhead : kPlainAhead; }

bool Channel::setAttributes(int rate, int volume, int pan) {
    const bool rateOk = rate == -1 || (rate >= kMinPlaybackRate && rate <= kMaxPlaybackRate);
    const bool volumeOk = volume == -1 || (volume >= 0 && volume <= 100);
    const bool panOk = pan == -101 || (pan >= -100 && pan <= 100);
    if (!rateOk || !volumeOk || !panOk) return false;
    if (rate != -1 && static_cast<uint32_t>(rate) != playbackRate()) {
        rate_ = static_cast<uint32_t>(rate);
        redecodeBuffered();
    }
    if (volume != -1) volume_ = volume;
    if (pan != -101) pan_ = pan;
    return true;
}

void Channel::redecodeBuffered() {
    // A MIDI seek renders the song from its start: waiting for the buffered
    // audio to play out is the shorter delay there. A stream cannot go back.
    if (stream_ || typeCode_ == kTypeMidi || cursorGen_ != gen_ || ring_.filled() <= kEffectsAhead) return;
    restartAt(playedFrame_);
}

void Channel::editEffects(
    const std::function<void(std::vector<EffectSlot>&, uint32_t, uint32_t)>& fn,
    std::mutex& mix) {
    uint32_t rate = 0;
    {
        std::lock_guard guard(mix);
        rate = playbackRate();
    }
    bool hasEffects = false;
    {
        std::lock_guard guard(pipeline_.effectsLock());
        fn(pipeline_.effects(), rate, channels_);
        hasEffects = !pipeline_.effects().empty();
    }
    std::lock_guard guard(mix);
    hasEffects_ = hasEffects;
    if (hasEffects) redecodeBuffered();
}

void Channel::catchUp() {
    while (!marks_.empty()) {
        const Mark& mark = marks_.front();
        if (mark.gen == gen_ && (mark.kind != MarkKind::Start || cursorGen_ == gen_)) return;
        ring_.skipTo(mark.ring);
        if (mark.gen == gen_) {
            cursorGen_ = gen_;
            segmentRing_ = mark.ring;
            segmentFrame_ = playedFrame_ = mark.frame;
        }
        marks_.pop_front();
    }
}

size_t Channel::mixInto(float* stereo, size_t frames, MixOutcome& outcome) {
    catchUp();
    // Until a seek's first frames are decoded the channel is silent, which
    // is no shortage of the decode thread's.
    if (cursorGen_ != gen_) return 0;
    const Gains gains = GainsOf(volume_, pan_);
    size_t done = 0;
    while (!marks_.empty()) {
        const Mark& mark = marks_.front();
        if (mark.kind == MarkKind::End) {
            if (ring_.readPosition() != mark.ring) break;
            playedFrame_ = mark.frame;
            marks_.pop_front();
            state_ = State::Stopped;
            atEnd_ = true;
            outcome.ended = true;
            return done;
        }
        if (done == frames) break;
        float* out = stereo + 2 * done;
        done += ring_.read(mark.ring, frames - done, [&](const float* from, size_t n) {
            for (size_t i = 0; i < n; ++i) {
                out[2 * i] += from[2 * i] * gains.left;
                out[2 * i + 1] += from[2 * i + 1] * gains.right;
            }
            out += 2 * n;
        });
        const uint64_t at = ring_.readPosition();
        if (at == mark.ring) {
            segmentRing_ = mark.ring;
            segmentFrame_ = playedFrame_ = mark.frame;
            marks_.pop_front();
        } else {
            playedFrame_ =
                segmentFrame_ + (at - segmentRing_) * (mark.frame - segmentFrame_) / (mark.ring - segmentRing_);
        }
    }
    if (done < frames) outcome.starved = true;
    const bool decodingOn = marks_.empty() || marks_.back().kind != MarkKind::End;
    const size_t refill = hasEffects_ ? kEffectsRefill : kPlainRefill;
    // A live decoder's frames come at their own pace: its producer wakes the
    // decode thread once enough of them are there, unless the ring was full then.
    if (decodingOn && (!live_ || waitsForRoom_) && !fillAsked_ && ring_.filled() + refill <= aheadFrames()) {
        fillAsked_ = true;
        outcome.wantsFill = true;
    }
    return done;
}

bool Channel::fill(std::mutex& mix) {
    std::lock_guard pipelineGuard(pipelineLock_);
    uint64_t gen = 0, target = 0;
    uint32_t rate = 0;
    size_t ahead = 0;
    {
        std::lock_guard guard(mix);
        gen = gen_;
        target = seekFrame_;
        rate = playbackRate();
        ahead = aheadFrames();
    }
    bool worked = false;
    if (gen != producedGen_) {
        producedGen_ = gen;
        startPending_ = true;
        startFrame_ = target;
        endPushed_ = false;
        worked = true;
        if (!pipeline_.seek(target)) {
            // Nothing can be played from there: the channel ends at once.
            std::lock_guard guard(mix);
            const uint64_t at = ring_.writePosition();
            marks_.push_back({gen, at, target, MarkKind::Start});
            marks_.push_back({gen, at, target, MarkKind::End});
            startPending_ = false;
            endPushed_ = true;
            return true;
        }
    }
    if (endPushed_) return worked;
    // A stream's rate is not known before its first frames.
    if (rate != 0) pipeline_.setRate(rate);
    size_t stagedFrames = 0;
    bool full = false;
    for (;;) {
        const size_t filled = ring_.filled();
        const size_t room = filled < ahead ? std::min(ahead - filled, ring_.writable()) : 0;
        if (room == 0) {
            full = true;
            break;
        }
        const size_t wanted = std::min(room, kChunkFrames);
        chunk_.resize(2 * wanted);
        const uint64_t at = ring_.writePosition();
        const size_t got = pipeline_.pull(chunk_.data(), wanted);
        ring_.write(chunk_.data(), got);
        // A live decoder may just have nothing more ready.
        const bool dry = got < wanted;
        const bool ends = dry && pipeline_.ended();
        // Nor does it start before its first frames: until then the device
        // keeps the channel silent without counting a shortage. Nothing
        // ready is no work: its producer wakes the decode thread when frames come.
        const bool starts = startPending_ && (got > 0 || ends);
        worked = worked || got > 0 || starts;
        if (starts) {
            staged_.push_back({producedGen_, at, startFrame_, MarkKind::Start});
            startPending_ = false;
        }
        if (got > 0) staged_.push_back({producedGen_, at + got, pipeline_.position(), MarkKind::Data});
        if (ends) {
            staged_.push_back({producedGen_, at + got, pipeline_.position(), MarkKind::End});
            endPushed_ = worked = true;
        }
        // A new start is shown to the device only with a good stretch
        // behind it, so that a device running faster than real time (the
        // disk driver without delay) cannot catch up with the first blocks.
        stagedFrames += got;
        if (!endPushed_ && !dry && !staged_.empty() && staged_.front().kind == MarkKind::Start &&
            stagedFrames < std::min(kStartFrames, ahead))
            continue;
        stagedFrames = 0;
        std::lock_guard guard(mix);
        publishStaged();
        if (endPushed_ || dry || gen_ != producedGen_) break;
        ahead = aheadFrames();
    }
    std::lock_guard guard(mix);
    waitsForRoom_ = full;
    if (!staged_.empty()) publishStaged();
    return worked;
}

void Channel::publishStaged() {
    marks_.insert(marks_.end(), staged_.begin(), staged_.end());
    staged_.clear();
    fillAsked_ = false;
    // Frames of a generation that a seek has left behind go at once: held in
    // the ring until the device's next block, they could leave no room for
    // the new start, and the device asks for no fill while it waits for one.
    catchUp();
}

size_t Channel::render(float* stereo, size_t frames, std::mutex& mix) {
    std::lock_guard pipelineGuard(pipelineLock_);
    uint64_t from = 0, gen = 0;
    uint32_t rate = 0;
    Gains gains{};
    {
        std::lock_guard guard(mix);
        if (state_ == State::Playing) return 0;
        gen = gen_;
        from = cursorGen_ == gen_ ? playedFrame_ : seekFrame_;
        rate = playbackRate();
        gains = GainsOf(volume_, pan_);
    }
    // The pipeline carries on where it is only when nothing went from it
    // into the ring since the position was set.
    const bool inPlace = producedGen_ == gen && startPending_ && pipeline_.position() == from;
    if (!inPlace && !pipeline_.seek(from)) return 0;
    if (rate != 0) pipeline_.setRate(rate);
    size_t got = pipeline_.pull(stereo, frames);
    // A CD track's frames come from its drive: rendering waits for them while
    // they keep coming, as renderOutput is short only at the end.
    auto until = std::chrono::steady_clock::now() + kReaderPatience;
    while (live_ && !stream_ && got < frames && !pipeline_.ended() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const size_t more = pipeline_.pull(stereo + 2 * got, frames - got);
        if (more > 0) until = std::chrono::steady_clock::now() + kReaderPatience;
        got += more;
    }
    for (size_t i = 0; i < got; ++i) {
        stereo[2 * i] *= gains.left;
        stereo[2 * i + 1] *= gains.right;
    }
    std::lock_guard guard(mix);
    restartAt(pipeline_.position());
    producedGen_ = gen_;
    startPending_ = true;
    startFrame_ = seekFrame_;
    endPushed_ = false;
    if (got < frames && pipeline_.ended()) atEnd_ = true;
    return got;
}

} // namespace audio
