// A network stream as a channel's decoder: it hands on the frames the
// stream's thread has decoded and never waits for more.
#pragma once

#include <memory>

#include "audio/decoders/Decoder.h"
#include "audio/network/NetworkStream.h"

namespace audio {

class LiveDecoder final : public Decoder {
  public:
    explicit LiveDecoder(std::shared_ptr<NetworkStream> stream) : stream_(std::move(stream)) {}

    uint32_t rate() const override { return stream_->rate(); }
    // The pipeline sizes each read by the count it was given last.
    uint32_t channels() const override { return seenChannels_ = stream_->channels(); }
    uint32_t typeCode() const override { return stream_->typeCode(); }
    uint64_t lengthFrames() const override { return kUnknownLength; }
    size_t read(float* out, size_t frames) override
    {
        const size_t got = stream_->read(out, frames, seenChannels_);
        position_ += got;
        return got;
    }
    // Only to where it is: a stream plays on from there.
    bool seek(uint64_t frame) override { return frame == position_; }
    bool live() const override { return true; }
    bool finished() const override { return stream_->drained(); }

  private:
    std::shared_ptr<NetworkStream> stream_;
    mutable uint32_t seenChannels_ = 0;
    uint64_t position_ = 0;
};

} // namespace audio
