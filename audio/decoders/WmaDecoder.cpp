// WMA files through FFmpeg, in the WMA plugin. The length is what the
// decoder delivers (the header's duration is longer). A seek restarts a fresh
// decoder a few packets before the target and keeps the samples from the
// target on, placed by the packet index.
#include <algorithm>

#include "audio/AudioLibrary.h"
#include "audio/decoders/DecoderPlugins.h"
#include "audio/decoders/ExactLengthDecoder.h"
#include "audio/decoders/PendingSamples.h"
#include "audio/decoders/WmaPacketIndex.h"
#include "audio/decoders/WmaSource.h"

namespace audio {
namespace {

// Frames decoded before the target so that the decoder's overlap with earlier
// frames is the same as in a decode from the start.
constexpr uint64_t kWarmUpFrames = 4;

class WmaDecoder final : public ExactLengthDecoder {
  public:
    WmaDecoder(ByteSource& bytes, std::unique_ptr<WmaSource> source, WmaPacketIndex index)
        : bytes_(bytes), source_(std::move(source)), index_(std::move(index)),
          rate_(source_->rate()), channels_(source_->channels())
    {
        setLength(index_.totalFrames);
    }
    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return channels_; }
    uint32_t typeCode() const override { return kTypeWma; }

  private:
    size_t decode(float* out, size_t frames) override
    {
        while (pendingAt_ >= pending_.size())
            if (!refill())
                return 0;
        return TakePending(pending_, pendingAt_, out, frames, channels_);
    }

    bool seekSource(uint64_t frame) override
    {
        target_ = frame;
        aligning_ = true;
        const uint64_t margin = kWarmUpFrames * std::max<uint64_t>(index_.maxPacketFrames, 1);
        const auto& marks = index_.marks;
        const auto after = std::upper_bound(marks.begin(), marks.end(), frame,
                                            [margin](uint64_t f, const WmaPacketMark& m) { return f < m.endFrame + margin; });
        const size_t packet = static_cast<size_t>(after - marks.begin());
        if (!index_.seekable || packet < 3 || !source_->seekBefore(marks[packet - 3].time))
            return restartFromStart();
        fromStart_ = false;
        ended_ = false;
        pending_.clear();
        pendingAt_ = 0;
        return true;
    }

    bool restartFromStart()
    {
        auto fresh = WmaSource::open(bytes_);
        if (!fresh)
            return false;
        source_ = std::move(fresh);
        fromStart_ = true;
        produced_ = 0;
        ended_ = false;
        pending_.clear();
        pendingAt_ = 0;
        return true;
    }

    // Decodes the next packet into pending_; false once nothing is left.
    bool refill()
    {
        if (ended_)
            return false;
        pending_.clear();
        pendingAt_ = 0;
        std::optional<uint64_t> end;
        size_t got = 0;
        if (source_->nextPacket()) {
            if (aligning_ && !fromStart_) {
                const auto packet = FindWmaPacket(index_, source_->packetTime());
                if (!packet)
                    return restartFromStart();
                end = index_.marks[*packet].endFrame;
            }
            got = source_->decodePacket(pending_);
        } else {
            ended_ = true;
            got = source_->drain(pending_);
            end = index_.totalFrames;
        }
        if (aligning_)
            return align(fromStart_ ? produced_ + got : *end, got) || !ended_;
        return !pending_.empty() || !ended_;
    }

    // The frames just decoded are the stream's frames [end - got, end).
    bool align(uint64_t end, size_t got)
    {
        produced_ += got;
        const uint64_t start = end >= got ? end - got : 0;
        if (end <= target_) {
            pending_.clear();
            return false;
        }
        if (start > target_) {
            if (!fromStart_)
                return restartFromStart();
            pending_.clear();
            aligning_ = false;
            return true;
        }
        pendingAt_ = static_cast<size_t>(target_ - start) * channels_;
        aligning_ = false;
        return true;
    }

    ByteSource& bytes_;
    std::unique_ptr<WmaSource> source_;
    WmaPacketIndex index_;
    uint32_t rate_;
    uint32_t channels_;
    std::vector<float> pending_;
    size_t pendingAt_ = 0;
    bool ended_ = false;
    bool aligning_ = false;
    bool fromStart_ = false;
    uint64_t target_ = 0;
    uint64_t produced_ = 0;
};

std::unique_ptr<Decoder> MakeWmaDecoder(ByteSource& bytes)
{
    auto source = WmaSource::open(bytes);
    if (!source)
        return nullptr;
    std::optional<WmaPacketIndex> index;
    if (source->oneFramePerPacket())
        index = CountWmaFrames(*source, false);
    if (!index) {
        source = WmaSource::open(bytes);
        if (source)
            index = CountWmaFrames(*source, true);
    }
    if (!index || index->totalFrames == 0)
        return nullptr;
    source = WmaSource::open(bytes);
    if (!source)
        return nullptr;
    return std::make_unique<WmaDecoder>(bytes, std::move(source), std::move(*index));
}

} // namespace
} // namespace audio

NILO_PLUGIN_ENTRY audio::Decoder* nilo_open_wma_decoder_v3(audio::ByteSource* source)
{
    return source ? audio::MakeWmaDecoder(*source).release() : nullptr;
}
