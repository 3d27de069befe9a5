// Base of the decoders: holds read() to exactly lengthFrames() frames, so a
// channel's length and the samples it delivers always agree, even when the
// source ends early (padded with silence) or runs on (cut).
#pragma once

#include "audio/decoders/Decoder.h"

namespace audio {

class ExactLengthDecoder : public Decoder {
  public:
    uint64_t lengthFrames() const final { return length_; }
    size_t read(float* out, size_t frames) final;
    bool seek(uint64_t frame) final;

  protected:
    void setLength(uint64_t frames) { length_ = frames; }
    uint64_t position() const { return position_; }
    // Up to `frames` frames from the source's current position; 0 = ended.
    virtual size_t decode(float* out, size_t frames) = 0;
    // Positions the source so that the next decode() starts at `frame`.
    virtual bool seekSource(uint64_t frame) = 0;
    // Back to the very start, however damaged the source (reopening it);
    // used when seekSource() fails, to decode up to the target instead.
    virtual bool rewindSource() { return false; }
    // A decoder opened to be measured may put off setting up what playing
    // needs: setUp() then runs once, before the first decode or seek, and
    // when it fails the source gives nothing (silence to the length).
    void deferSetUp() { setUpPending_ = true; }
    virtual bool setUp() { return true; }

  private:
    bool ready();

    uint64_t length_ = 0;
    uint64_t position_ = 0;
    bool sourceEnded_ = false;
    bool setUpPending_ = false;
    bool setUpFailed_ = false;
};

} // namespace audio
