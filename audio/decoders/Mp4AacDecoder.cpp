// AAC and ALAC in MP4, and raw AAC (ADTS), through FFmpeg, in its plugin.
// FFmpeg trims the encoder delay at the start; the length is the stream's
// own (the edit list's or iTunes' gapless comment's in MP4, the packets' sum
// in ADTS), which also cuts the padding at the end. Every decoded frame is
// placed by its timestamp, so a seek goes a few frames before the target and
// drops what precedes it. The decoder's first frame fixes the format (an
// implicitly signalled HE-AAC doubles the rate its header gives); a file
// opened only to be measured takes the container's format, from its boxes
// alone where it can, and sets demuxer and decoder up at the first read,
// which then must agree.
#include <algorithm>
#include <optional>
#include <vector>

#include "audio/AudioLibrary.h"
#include "audio/decoders/AvFrameSamples.h"
#include "audio/decoders/DecoderPlugins.h"
#include "audio/decoders/ExactLengthDecoder.h"
#include "audio/decoders/PendingSamples.h"
#include "audio/decoders/FfmpegInput.h"
#include "audio/decoders/Mp4Measure.h"

namespace audio {
namespace {

constexpr int kIoBufferBytes = 32768;
// Frames decoded before a seek's target, so that the decoder's overlap with
// earlier frames is that of a decode from the start.
constexpr int64_t kWarmUpFrames = 3;

bool IsMp4Codec(AVCodecID id)
{
    return id == AV_CODEC_ID_AAC || id == AV_CODEC_ID_ALAC;
}
bool IsAac(AVCodecID id)
{
    return id == AV_CODEC_ID_AAC;
}

// iTunes' gapless comment's count is the source's length, which FFmpeg
// leaves to us (it trims the priming itself).
std::optional<uint64_t> ItunesCommentFrames(const AVDictionary* metadata)
{
    const AVDictionaryEntry* smpb = av_dict_get(metadata, "iTunSMPB", nullptr, 0);
    return smpb ? ItunesSourceFrames(smpb->value) : std::nullopt;
}

class Mp4AacDecoder final : public ExactLengthDecoder {
  public:
    Mp4AacDecoder(ByteSource& source, bool adts) : cursor_(source), adts_(adts) {}

    bool open(bool measureOnly)
    {
        if (const auto measured = measureOnly && !adts_ ? MeasureMp4(cursor_.source()) : std::nullopt) {
            deferSetUp();
            type_ = measured->alac ? kTypeAlac : kTypeAac;
            rate_ = measured->rate;
            channels_ = measured->channels;
            setLength(measured->frames);
            return rate_ >= kLowestSourceRate && rate_ <= kHighestSourceRate && channels_ > 0 && lengthFrames() > 0;
        }
        // The scan needs the demuxer alone: a decoder is costly to set up.
        if (!openInput(false))
            return false;
        const AVCodecParameters& par = *in_->format->streams[in_->stream]->codecpar;
        type_ = par.codec_id == AV_CODEC_ID_ALAC ? kTypeAlac : kTypeAac;
        // The packets bound every claim; ADTS has no other.
        int64_t duration = 0;
        uint64_t packets = 0;
        const bool read = !IndexedPackets(duration, packets);
        if (read)
            ReadPackets(duration, packets);
        if (packets == 0)
            return false;
        if (measureOnly) {
            deferSetUp();
            rate_ = static_cast<uint32_t>(std::max(par.sample_rate, 0));
            channels_ = static_cast<uint32_t>(std::max(par.ch_layout.nb_channels, 0));
            if (rate_ < kLowestSourceRate || rate_ > kHighestSourceRate || channels_ == 0)
                return false;
        } else if (!(read ? backToStart() : in_->openDecoder()) || !firstFrame()) {
            return false;
        }
        const AVStream& st = *in_->format->streams[in_->stream];
        if (!adts_ && st.duration > 0)
            duration = std::min(duration, st.duration);
        uint64_t frames = static_cast<uint64_t>(av_rescale_q(duration, st.time_base, {1, static_cast<int>(rate_)}));
        frames = std::min(frames, ItunesCommentFrames(in_->format->metadata).value_or(frames));
        setLength(std::min(frames, packets * kMostFramesPerMp4Packet));
        return lengthFrames() > 0;
    }
    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return channels_; }
    uint32_t typeCode() const override { return type_; }
    uint32_t sourceBits() const override
    {
        if (type_ != kTypeAlac || !in_ || !in_->codec)
            return 0;
        return static_cast<uint32_t>(std::max(in_->codec->bits_per_raw_sample, 0));
    }

  private:
    // The packets' count and durations as reading them gives, from the
    // demuxer's index: packets up to the first one that starts beyond the
    // file's end, each lasting up to the next one's time (the last up to the
    // stream's end). False where the index does not cover the stream (raw
    // AAC, a fragmented file), which must then be read.
    bool IndexedPackets(int64_t& duration, uint64_t& packets)
    {
        AVStream* st = in_->format->streams[in_->stream];
        const int count = avformat_index_get_entries_count(st);
        const auto size = cursor_.size();
        if (adts_ || count == 0 || !size || st->duration <= 0)
            return false;
        int64_t longest = 0;
        for (int i = 0; i < count; ++i) {
            const AVIndexEntry* entry = avformat_index_get_entry(st, i);
            const int64_t next = i + 1 < count ? avformat_index_get_entry(st, i + 1)->timestamp : st->duration;
            const int64_t step = next - entry->timestamp;
            // A last packet longer than every other: the index stops short.
            if (i + 1 == count && count > 1 && step > longest)
                return false;
            longest = std::max(longest, step);
            if (entry->pos >= static_cast<int64_t>(*size))
                break;
            ++packets;
            duration += std::max<int64_t>(step, 0);
        }
        return true;
    }

    void ReadPackets(int64_t& duration, uint64_t& packets)
    {
        while (av_read_frame(in_->format, in_->packet) >= 0) {
            if (in_->packet->stream_index == in_->stream) {
                ++packets;
                duration += std::max<int64_t>(in_->packet->duration, 0);
            }
            av_packet_unref(in_->packet);
        }
    }

    // A measured file's decoder, set up at its first use; false when it
    // cannot be or gives another format than the container's.
    bool setUp() override
    {
        const uint32_t rate = rate_;
        const uint32_t channels = channels_;
        return (in_ ? backToStart() : rewind()) && firstFrame() && rate_ == rate && channels_ == channels;
    }

    // A fresh demuxer and decoder at the start, where FFmpeg trims the
    // encoder delay as in the first decode.
    bool openInput(bool decoder)
    {
        cursor_.seek(0);
        in_ = std::make_unique<FfmpegInput>();
        // Raw AAC's rate, and so its timestamps, come from its first frames.
        return in_->open(adts_ ? "aac" : "mov", kIoBufferBytes, &cursor_, &FfmpegInput::ReadCursor,
                         &FfmpegInput::SeekCursor, adts_ ? IsAac : IsMp4Codec)
            && (!adts_ || avformat_find_stream_info(in_->format, nullptr) >= 0) && (!decoder || in_->openDecoder());
    }

    bool rewind()
    {
        ended_ = false;
        pending_.clear();
        pendingAt_ = 0;
        return openInput(true);
    }

    // After the scan: MP4 seeks its demuxer back to the first packet, which
    // takes up the encoder delay again; raw AAC opens anew.
    bool backToStart()
    {
        const AVStream* st = in_->format->streams[in_->stream];
        const AVIndexEntry* first = adts_ ? nullptr : avformat_index_get_entry(const_cast<AVStream*>(st), 0);
        if (!first)
            return rewind();
        return av_seek_frame(in_->format, in_->stream, first->timestamp, AVSEEK_FLAG_BACKWARD) >= 0
            && in_->openDecoder();
    }

    // The first frame fixes the format and where frame 0 is.
    bool firstFrame()
    {
        if (!refill() || in_->frame->sample_rate < static_cast<int>(kLowestSourceRate)
            || in_->frame->sample_rate > static_cast<int>(kHighestSourceRate))
            return false;
        rate_ = static_cast<uint32_t>(in_->frame->sample_rate);
        channels_ = static_cast<uint32_t>(in_->frame->ch_layout.nb_channels);
        firstPts_ = in_->frame->best_effort_timestamp;
        return channels_ > 0 && firstPts_ != AV_NOPTS_VALUE && AppendFrame();
    }

    bool AppendFrame()
    {
        const bool fits = AppendFloatSamples(*in_->frame, channels_, pending_);
        av_frame_unref(in_->frame);
        return fits;
    }

    // Frame index of the decoded frame's start.
    int64_t frameStart() const
    {
        const AVStream& st = *in_->format->streams[in_->stream];
        const int64_t pts = in_->frame->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE)
            return -1;
        return av_rescale_q(pts - firstPts_, st.time_base, {1, static_cast<int>(rate_)});
    }

    // Decodes up to the next frame, left in in_->frame; false at the end.
    bool refill()
    {
        for (;;) {
            const int got = avcodec_receive_frame(in_->codec, in_->frame);
            if (got == 0)
                return true;
            if (got == AVERROR_EOF || ended_)
                return false;
            if (av_read_frame(in_->format, in_->packet) < 0) {
                ended_ = avcodec_send_packet(in_->codec, nullptr) < 0;
                continue;
            }
            if (in_->packet->stream_index == in_->stream)
                avcodec_send_packet(in_->codec, in_->packet);
            av_packet_unref(in_->packet);
        }
    }

    size_t decode(float* out, size_t frames) override
    {
        while (pendingAt_ >= pending_.size()) {
            pending_.clear();
            pendingAt_ = 0;
            if (!refill())
                return 0;
            if (aligning_ && !alignFrame())
                continue;
            if (!AppendFrame())
                return 0;
        }
        return TakePending(pending_, pendingAt_, out, frames, channels_);
    }

    // While seeking: false to drop the frame in in_->frame (all before the
    // target); else keeps the part from the target on.
    bool alignFrame()
    {
        const int64_t start = frameStart();
        const int64_t end = start + in_->frame->nb_samples;
        if (start < 0 || end <= target_) {
            av_frame_unref(in_->frame);
            return false;
        }
        aligning_ = false;
        const int64_t skip = std::max<int64_t>(target_ - start, 0);
        const size_t before = pending_.size();
        if (!AppendFrame())
            return false;
        pendingAt_ = std::min(pending_.size(), before + static_cast<size_t>(skip) * channels_);
        return false;
    }

    bool seekSource(uint64_t frame) override
    {
        const AVStream& st = *in_->format->streams[in_->stream];
        const int64_t margin = kWarmUpFrames * std::max(in_->codec->frame_size, 1024);
        const int64_t from = static_cast<int64_t>(frame) - margin;
        target_ = static_cast<int64_t>(frame);
        aligning_ = true;
        if (from <= 0)
            return rewind();
        ended_ = false;
        pending_.clear();
        pendingAt_ = 0;
        avcodec_flush_buffers(in_->codec);
        const int64_t ts = firstPts_ + av_rescale_q(from, {1, static_cast<int>(rate_)}, st.time_base);
        return av_seek_frame(in_->format, in_->stream, ts, AVSEEK_FLAG_BACKWARD) >= 0;
    }

    bool rewindSource() override
    {
        aligning_ = false;
        return rewind();
    }

    SourceCursor cursor_;
    bool adts_;
    std::unique_ptr<FfmpegInput> in_;
    uint32_t type_ = kTypeAac;
    uint32_t rate_ = 0;
    uint32_t channels_ = 0;
    int64_t firstPts_ = 0;
    std::vector<float> pending_;
    size_t pendingAt_ = 0;
    bool ended_ = false;
    bool aligning_ = false;
    int64_t target_ = 0;
};

} // namespace
} // namespace audio

NILO_PLUGIN_ENTRY audio::Decoder* nilo_open_mp4_decoder_v2(audio::ByteSource* source, bool adts, bool measureOnly)
{
    if (!source)
        return nullptr;
    auto decoder = std::make_unique<audio::Mp4AacDecoder>(*source, adts);
    return decoder->open(measureOnly) ? decoder.release() : nullptr;
}
