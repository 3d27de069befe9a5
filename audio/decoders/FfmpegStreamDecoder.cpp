// AAC (ADTS), Ogg Opus and ASF streams through FFmpeg, in the WMA plugin.
// The demuxer is the one of the stream's kind, so nothing is probed, and it
// reads the source through an I/O context that cannot seek. The first
// decoded frame fixes the rate and channel count; later frames of another
// format are converted to it with libswresample.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <utility>
#include <vector>

#include "audio/AudioLibrary.h"
#include "audio/decoders/AvFrameSamples.h"
#include "audio/decoders/DecoderPlugins.h"
#include "audio/decoders/FfmpegInput.h"
#include "audio/decoders/StreamDecoders.h"

namespace audio {
namespace {

constexpr int kIoBufferBytes = 4096;
// Failed demuxer reads in a row before the stream counts as ended.
constexpr int kMostErrors = 16;
// Packets demuxed for one read without a decoded frame; the bytes without
// sound bound them too, this only guards a demuxer that takes no bytes.
constexpr int kMostPackets = 1 << 16;

bool AnyCodec(AVCodecID) { return true; }
bool IsAac(AVCodecID id) { return id == AV_CODEC_ID_AAC; }
bool IsOpus(AVCodecID id) { return id == AV_CODEC_ID_OPUS; }

struct Kind {
    const char* demuxer;
    FfmpegInput::AcceptsCodec accepts;
    uint32_t type;
};

Kind KindOf(StreamKind kind)
{
    switch (kind) {
    case StreamKind::Aac:
        return {"aac", IsAac, kTypeAac};
    case StreamKind::OggOpus:
        return {"ogg", IsOpus, kTypeOpus};
    case StreamKind::Asf:
        return {"asf", AnyCodec, kTypeWma};
    default:
        return {nullptr, nullptr, 0};
    }
}

// "Artist - Title", the title alone, or nothing without a title.
std::optional<std::string> MetadataTitle(const AVDictionary* metadata)
{
    const AVDictionaryEntry* title = av_dict_get(metadata, "title", nullptr, 0);
    if (!title)
        return std::nullopt;
    const AVDictionaryEntry* artist = av_dict_get(metadata, "artist", nullptr, 0);
    return artist ? std::string(artist->value) + " - " + title->value : std::string(title->value);
}

// Frames of another rate or layout than the stream's, as interleaved float
// samples at the stream's own.
class FrameConverter {
  public:
    FrameConverter(uint32_t rate, uint32_t channels) : rate_(static_cast<int>(rate))
    {
        av_channel_layout_default(&layout_, static_cast<int>(channels));
    }
    ~FrameConverter()
    {
        swr_free(&swr_);
        av_channel_layout_uninit(&layout_);
        av_channel_layout_uninit(&inLayout_);
    }
    FrameConverter(const FrameConverter&) = delete;
    FrameConverter& operator=(const FrameConverter&) = delete;

    void convert(const AVFrame& frame, std::vector<float>& out)
    {
        if (!fits(frame) && !restart(frame))
            return;
        convert(const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples, out);
    }
    // What the converter still holds, once frames no longer need it.
    void drain(std::vector<float>& out)
    {
        if (swr_) {
            convert(nullptr, 0, out);
            swr_free(&swr_);
        }
    }

  private:
    bool fits(const AVFrame& frame) const
    {
        return swr_ && frame.sample_rate == inRate_ && frame.format == inFormat_
            && av_channel_layout_compare(&frame.ch_layout, &inLayout_) == 0;
    }

    bool restart(const AVFrame& frame)
    {
        swr_free(&swr_);
        av_channel_layout_uninit(&inLayout_);
        if (frame.sample_rate < static_cast<int>(kLowestSourceRate)
            || frame.sample_rate > static_cast<int>(kHighestSourceRate) || frame.ch_layout.nb_channels <= 0)
            return false;
        if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&inLayout_, frame.ch_layout.nb_channels);
        else if (av_channel_layout_copy(&inLayout_, &frame.ch_layout) < 0)
            return false;
        inRate_ = frame.sample_rate;
        inFormat_ = frame.format;
        if (swr_alloc_set_opts2(&swr_, &layout_, AV_SAMPLE_FMT_FLT, rate_, &inLayout_,
                                static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr)
                < 0
            || swr_init(swr_) < 0) {
            swr_free(&swr_);
            return false;
        }
        return true;
    }

    void convert(const uint8_t** in, int frames, std::vector<float>& out)
    {
        const int most = swr_get_out_samples(swr_, frames);
        if (most <= 0)
            return;
        const size_t at = out.size();
        const size_t channels = static_cast<size_t>(layout_.nb_channels);
        out.resize(at + static_cast<size_t>(most) * channels);
        auto* to = reinterpret_cast<uint8_t*>(out.data() + at);
        const int got = swr_convert(swr_, &to, most, in, frames);
        out.resize(at + static_cast<size_t>(got > 0 ? got : 0) * channels);
    }

    int rate_;
    AVChannelLayout layout_{};
    SwrContext* swr_ = nullptr;
    int inRate_ = 0;
    int inFormat_ = -1;
    AVChannelLayout inLayout_{};
};

class FfmpegStreamDecoder final : public StreamDecoder {
  public:
    FfmpegStreamDecoder(ByteSource& source, uint64_t offset, uint32_t type) : cursor_(source, offset), type_(type) {}
    FfmpegStreamDecoder(const FfmpegStreamDecoder&) = delete;
    FfmpegStreamDecoder& operator=(const FfmpegStreamDecoder&) = delete;

    // Opens the demuxer and decodes up to the first frame, which gives the
    // format.
    bool open(const Kind& kind)
    {
        if (!in_.open(kind.demuxer, kIoBufferBytes, this, &Read, nullptr, kind.accepts) || !in_.openDecoder())
            return false;
        metadataUpdated();
        readTitle();
        return refill();
    }

    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return channels_; }
    uint32_t typeCode() const override { return type_; }

    size_t read(float* out, size_t frames) override
    {
        if (frames == 0)
            return 0;
        if (pendingAt_ >= pending_.size() && !refill())
            return 0;
        const size_t n = std::min(frames, (pending_.size() - pendingAt_) / channels_);
        std::copy_n(pending_.begin() + static_cast<ptrdiff_t>(pendingAt_), n * channels_, out);
        pendingAt_ += n * channels_;
        return n;
    }

    std::optional<std::string> takeTitle() override { return std::exchange(pendingTitle_, std::nullopt); }

  private:
    static int Read(void* self, uint8_t* out, int size)
    {
        auto& d = *static_cast<FfmpegStreamDecoder*>(self);
        if (size <= 0 || d.withoutSound_ > kStreamBytesWithoutSound)
            return AVERROR_EOF;
        const size_t got = d.cursor_.read(out, static_cast<size_t>(size));
        d.withoutSound_ += got;
        return got > 0 ? static_cast<int>(got) : AVERROR_EOF;
    }

    // Whether the demuxer has read new metadata (the comments of a new Ogg
    // link) since last asked.
    bool metadataUpdated()
    {
        AVStream* stream = in_.format->streams[in_.stream];
        const bool updated = (stream->event_flags & AVSTREAM_EVENT_FLAG_METADATA_UPDATED) != 0
            || (in_.format->event_flags & AVFMT_EVENT_FLAG_METADATA_UPDATED) != 0;
        stream->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
        in_.format->event_flags &= ~AVFMT_EVENT_FLAG_METADATA_UPDATED;
        return updated;
    }

    // The demuxer adds a new link's comments to those it holds (joining two
    // values of a name with ';'), so they are dropped once read.
    void readTitle()
    {
        AVDictionary*& metadata = in_.format->streams[in_.stream]->metadata;
        auto title = MetadataTitle(metadata);
        if (!title)
            title = MetadataTitle(in_.format->metadata);
        av_dict_free(&metadata);
        av_dict_free(&in_.format->metadata);
        if (title && title != title_)
            pendingTitle_ = title;
        title_ = std::move(title);
    }

    // Decodes into pending_ until it holds samples; false once the stream
    // has ended.
    bool refill()
    {
        pending_.clear();
        pendingAt_ = 0;
        for (int packets = 0, errors = 0; !ended_ && packets < kMostPackets && errors < kMostErrors; ++packets) {
            if (receive())
                return true;
            if (draining_) {
                if (converter_)
                    converter_->drain(pending_);
                ended_ = true;
                break;
            }
            const int rc = av_read_frame(in_.format, in_.packet);
            if (rc == AVERROR_EOF || (rc < 0 && avio_feof(in_.io))) {
                avcodec_send_packet(in_.codec, nullptr);
                draining_ = true;
                continue;
            }
            if (rc < 0) {
                ++errors;
                continue;
            }
            errors = 0;
            if (in_.packet->stream_index == in_.stream) {
                if (metadataUpdated())
                    readTitle();
                avcodec_send_packet(in_.codec, in_.packet);
            }
            av_packet_unref(in_.packet);
        }
        ended_ = true;
        return !pending_.empty();
    }

    // Appends the frames the codec has ready; true when that gave samples.
    bool receive()
    {
        while (avcodec_receive_frame(in_.codec, in_.frame) == 0) {
            append(*in_.frame);
            av_frame_unref(in_.frame);
        }
        if (pending_.empty())
            return false;
        withoutSound_ = 0;
        return true;
    }

    void append(const AVFrame& frame)
    {
        if (channels_ == 0) {
            if (frame.sample_rate < static_cast<int>(kLowestSourceRate)
                || frame.sample_rate > static_cast<int>(kHighestSourceRate) || frame.ch_layout.nb_channels <= 0)
                return;
            rate_ = static_cast<uint32_t>(frame.sample_rate);
            channels_ = static_cast<uint32_t>(frame.ch_layout.nb_channels);
        }
        if (frame.sample_rate == static_cast<int>(rate_)
            && frame.ch_layout.nb_channels == static_cast<int>(channels_)) {
            if (converter_)
                converter_->drain(pending_);
            if (AppendFloatSamples(frame, channels_, pending_))
                return;
        }
        if (!converter_)
            converter_ = std::make_unique<FrameConverter>(rate_, channels_);
        converter_->convert(frame, pending_);
    }

    SourceCursor cursor_;
    uint32_t type_;
    FfmpegInput in_;
    uint32_t rate_ = 0;
    uint32_t channels_ = 0;
    std::unique_ptr<FrameConverter> converter_;
    std::vector<float> pending_;
    size_t pendingAt_ = 0;
    uint64_t withoutSound_ = 0;
    bool draining_ = false;
    bool ended_ = false;
    std::optional<std::string> title_;
    std::optional<std::string> pendingTitle_;
};

} // namespace
} // namespace audio

NILO_PLUGIN_ENTRY audio::StreamDecoder* nilo_open_stream_decoder_v1(audio::ByteSource* source, uint64_t offset,
                                                                    audio::StreamKind kind)
{
    using namespace audio;
    const Kind known = KindOf(kind);
    if (!source || !known.demuxer)
        return nullptr;
    auto decoder = std::make_unique<FfmpegStreamDecoder>(*source, offset, known.type);
    return decoder->open(known) ? decoder.release() : nullptr;
}
