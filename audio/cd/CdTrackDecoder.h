// A CD track as a channel's decoder: live, since the frames come from the
// track's reader at the drive's pace, but of exact length and seekable to
// the sample.
#pragma once

#include <functional>
#include <memory>

#include "audio/cd/CdReader.h"
#include "audio/decoders/Decoder.h"

namespace audio {

class CdTrackDecoder final : public Decoder {
  public:
    // onMore wakes whoever reads once frames wait (see FrameQueue).
    CdTrackDecoder(std::unique_ptr<CdDisc> disc, const CdTrack& track, std::function<void()> onMore);

    uint32_t rate() const override { return kCdRate; }
    uint32_t channels() const override { return 2; }
    uint32_t typeCode() const override { return kTypeCd; }
    uint64_t lengthFrames() const override { return lengthFrames_; }
    size_t read(float* out, size_t frames) override;
    bool seek(uint64_t frame) override;
    bool live() const override { return true; }
    bool finished() const override { return queue_->drained(); }

  private:
    const uint64_t lengthFrames_;
    std::shared_ptr<FrameQueue> queue_;
    CdReader reader_;
    bool reading_ = false;
    uint64_t position_ = 0;
};

} // namespace audio
