// One channel: its decoder's pipeline, the ring that the decode thread fills
// from it ahead of the device, and the play state by which the output side
// reads the ring. Two locks guard it: the channel's pipeline lock while the
// pipeline runs, and the library's output lock (`mix` below, short, never
// held across a decode) for the play state, the marks and the ring's reading
// side. Methods that take no `mix` expect the caller to hold it, except the
// fixed facts (kind, info, lengths).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "AudioLibrary.h"
#include "ChannelPipeline.h"
#include "Effect.h"
#include "SampleRing.h"
#include "decoders/Decoder.h"

namespace audio {

class NetworkStream;

class Channel {
  public:
    // Null when the decoder's format cannot be played (no channels, no rate).
    // A channel of a network stream is made before its format is known: it
    // takes its rate, channel count and type from the stream once decoded.
    static std::shared_ptr<Channel> Create(std::unique_ptr<Decoder> decoder, ChannelKind kind,
                                           uint32_t flags, std::shared_ptr<NetworkStream> stream = nullptr);

    ChannelKind kind() const { return kind_; }
    ChannelInfo info() const;
    // Opened only to be measured: it cannot be played or rendered.
    bool measureOnly() const { return kind_ == ChannelKind::Module && (flags_ & kMeasureOnly); }
    uint64_t lengthBytes() const { return stream_ ? kUnknownLength : lengthFrames_ * bytesPerFrame(); }
    double bytesToSeconds(uint64_t bytes) const;
    NetworkStream* stream() const { return stream_.get(); }

    // The frame the device is playing; after a seek, its target at once.
    uint64_t positionBytes() const;
    // Takes effect at once; the decode thread refills from the new position.
    bool seekBytes(uint64_t position);
    int activity() const;
    bool playing() const { return state_ == State::Playing; }
    bool play(bool restart);
    bool pause();
    void stop() { state_ = State::Stopped; }
    // True when the decode thread should keep its ring filled.
    bool wantsFeeding() const { return state_ != State::Stopped; }
    // Its buffer holds what the decode thread keeps ahead, or all up to its end.
    bool buffered() const;

    bool setAttributes(int rate, int volume, int pan);
    uint32_t playbackRate() const { return rate_ != 0 ? rate_ : decodedRate(); }
    int volume() const { return volume_; }
    int pan() const { return pan_; }

    // Runs fn on the effect list (fn gets the playback rate and the decoded
    // channel count); never waits for a decode.
    void editEffects(
        const std::function<void(std::vector<EffectSlot>&, uint32_t, uint32_t)>& fn,
        std::mutex& mix);

    struct MixOutcome {
        bool ended = false;   // its last frame has been mixed
        bool starved = false; // it had fewer frames ready than asked
        bool wantsFill = false;
    };
    // Output side: adds up to frames buffered frames (volume and pan
    // applied) to stereo; returns how many.
    size_t mixInto(float* stereo, size_t frames, MixOutcome& outcome);

    // Decode thread: tops the ring up; true when it did anything.
    bool fill(std::mutex& mix);

    // Pulls straight from the pipeline, from the current position (not while
    // playing); fewer frames than asked only at the end.
    size_t render(float* stereo, size_t frames, std::mutex& mix);

  private:
    enum class State { Stopped, Playing, Paused };
    // What the decode thread wrote into the ring for generation `gen`: where
    // it starts (frame = the decoder frame there), then blocks ending at
    // `ring` (frame = decoder frames delivered by then), then its end.
    enum class MarkKind { Start, Data, End };
    struct Mark {
        uint64_t gen;
        uint64_t ring;
        uint64_t frame;
        MarkKind kind;
    };

    Channel(std::unique_ptr<Decoder> decoder, ChannelKind kind, uint32_t flags,
            std::shared_ptr<NetworkStream> stream);

    uint32_t decodedRate() const;
    uint32_t channelCount() const;
    uint32_t bytesPerFrame() const;
    // Starts a new generation at frame: what is buffered is dropped.
    void restartAt(uint64_t frame);
    // Drops marks and frames of older generations and enters the current
    // one once its first frames are there.
    void catchUp();
    // After an effect or rate change, buffered audio would carry the old
    // sound for seconds: decode again from the frame being played.
    void redecodeBuffered();
    size_t aheadFrames() const;
    // Hands the marks of what fill wrote to the output side (under its lock),
    // dropping what a seek has left behind.
    void publishStaged();

    const ChannelKind kind_;
    const uint32_t flags_;
    // Set for a network stream, whose format comes from it.
    const std::shared_ptr<NetworkStream> stream_;
    // Its frames come at their own pace (a stream, a CD drive).
    const bool live_;
    const uint32_t decodedRate_;
    const uint32_t channels_;
    const uint32_t typeCode_;
    const uint32_t sourceBits_;
    const uint64_t lengthFrames_;

    // Under the output lock.
    State state_ = State::Stopped;
    bool atEnd_ = false;
    bool hasEffects_ = false;
    bool fillAsked_ = false;
    // The decode thread's last fill stopped with the ring full.
    bool waitsForRoom_ = false;
    // 0: the decoded rate.
    uint32_t rate_ = 0;
    int volume_ = 100;
    int pan_ = 0;
    uint64_t gen_ = 0;
    uint64_t seekFrame_ = 0;
    static constexpr uint64_t kNoGen = ~uint64_t{0};
    uint64_t cursorGen_ = kNoGen;
    uint64_t segmentRing_ = 0;
    uint64_t segmentFrame_ = 0;
    uint64_t playedFrame_ = 0;
    std::deque<Mark> marks_;

    SampleRing ring_;

    // Under the pipeline lock.
    std::mutex pipelineLock_;
    ChannelPipeline pipeline_;
    uint64_t producedGen_ = 0;
    bool startPending_ = true;
    uint64_t startFrame_ = 0;
    bool endPushed_ = false;
    std::vector<Mark> staged_;
    std::vector<float> chunk_;
};

} // namespace audio
