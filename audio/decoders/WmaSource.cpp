#include "audio/decoders/WmaSource.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <mutex>

#include "audio/decoders/AvFrameSamples.h"
#include "audio/decoders/Decoder.h"
#include "audio/plugins/QuietAvLog.h"

namespace audio {
namespace {

bool IsWmaCodec(AVCodecID id)
{
    return id == AV_CODEC_ID_WMAV1 || id == AV_CODEC_ID_WMAV2 || id == AV_CODEC_ID_WMAPRO
        || id == AV_CODEC_ID_WMAVOICE || id == AV_CODEC_ID_WMALOSSLESS;
}

// The codec's flags word in the stream's extra data; bit 2 selects the bit
// reservoir, which lets frames span packets.
bool UsesBitReservoir(const AVCodecParameters& par)
{
    const size_t at = par.codec_id == AV_CODEC_ID_WMAV1 ? 2 : 4;
    if (par.extradata == nullptr || par.extradata_size < static_cast<int>(at + 2))
        return true;
    return (par.extradata[at] & 2) != 0;
}

constexpr int kIoBufferBytes = 32768;

} // namespace

int WmaSource::Read(void* self, uint8_t* out, int size)
{
    const size_t got = size > 0 ? static_cast<WmaSource*>(self)->cursor_.read(out, static_cast<size_t>(size)) : 0;
    return got > 0 ? static_cast<int>(got) : AVERROR_EOF;
}

int64_t WmaSource::Seek(void* self, int64_t offset, int whence)
{
    SourceCursor& c = static_cast<WmaSource*>(self)->cursor_;
    const auto size = c.size();
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE)
        return size ? static_cast<int64_t>(*size) : -1;
    const int64_t base = whence == SEEK_CUR ? static_cast<int64_t>(c.tell())
        : whence == SEEK_END               ? (size ? static_cast<int64_t>(*size) : -1)
                                           : 0;
    if (base < 0 || base + offset < 0)
        return -1;
    c.seek(static_cast<uint64_t>(base + offset));
    return base + offset;
}

std::unique_ptr<WmaSource> WmaSource::open(ByteSource& bytes)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_callback(QuietAvLog); });

    const AVInputFormat* asf = av_find_input_format("asf");
    if (asf == nullptr)
        return nullptr;
    std::unique_ptr<WmaSource> source(new WmaSource(bytes));
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (buffer)
        source->io_ = avio_alloc_context(buffer, kIoBufferBytes, 0, source.get(), &WmaSource::Read, nullptr,
                                         &WmaSource::Seek);
    if (!source->io_) {
        av_free(buffer);
        return nullptr;
    }
    source->format_ = avformat_alloc_context();
    if (!source->format_)
        return nullptr;
    source->format_->pb = source->io_;
    source->format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    // The context is freed on failure.
    if (avformat_open_input(&source->format_, nullptr, asf, nullptr) < 0)
        return nullptr;
    for (unsigned i = 0; i < source->format_->nb_streams; ++i) {
        AVStream* stream = source->format_->streams[i];
        if (source->stream_ < 0 && stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO
            && IsWmaCodec(stream->codecpar->codec_id))
            source->stream_ = static_cast<int>(i);
        else
            stream->discard = AVDISCARD_ALL;
    }
    source->packet_ = av_packet_alloc();
    source->frame_ = av_frame_alloc();
    if (source->stream_ < 0 || !source->packet_ || !source->frame_ || !source->openDecoder())
        return nullptr;
    const AVCodecParameters& par = *source->format_->streams[source->stream_]->codecpar;
    source->oneFramePerPacket_ = (par.codec_id == AV_CODEC_ID_WMAV1 || par.codec_id == AV_CODEC_ID_WMAV2)
        && !UsesBitReservoir(par);
    return source;
}

WmaSource::~WmaSource()
{
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
    if (io_)
        av_freep(&io_->buffer);
    avio_context_free(&io_);
    av_packet_free(&packet_);
    av_frame_free(&frame_);
}

bool WmaSource::openDecoder()
{
    avcodec_free_context(&codec_);
    const AVCodecParameters* par = format_->streams[stream_]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
    codec_ = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    if (!codec_ || avcodec_parameters_to_context(codec_, par) < 0)
        return false;
    codec_->thread_count = 1;
    if (avcodec_open2(codec_, decoder, nullptr) < 0 || codec_->sample_rate < static_cast<int>(kLowestSourceRate)
        || codec_->sample_rate > static_cast<int>(kHighestSourceRate) || codec_->ch_layout.nb_channels <= 0)
        return false;
    rate_ = static_cast<uint32_t>(codec_->sample_rate);
    channels_ = static_cast<uint32_t>(codec_->ch_layout.nb_channels);
    return true;
}

bool WmaSource::nextPacket()
{
    av_packet_unref(packet_);
    while (av_read_frame(format_, packet_) >= 0) {
        if (packet_->stream_index == stream_)
            return true;
        av_packet_unref(packet_);
    }
    return false;
}

int64_t WmaSource::packetTime() const
{
    return packet_->pts;
}

size_t WmaSource::receive(std::vector<float>& out)
{
    size_t frames = 0;
    while (avcodec_receive_frame(codec_, frame_) == 0) {
        // A frame whose layout changed mid-stream is dropped, not mixed in.
        if (AppendFloatSamples(*frame_, channels_, out))
            frames += static_cast<size_t>(frame_->nb_samples);
        av_frame_unref(frame_);
    }
    return frames;
}

size_t WmaSource::decodePacket(std::vector<float>& out)
{
    if (avcodec_send_packet(codec_, packet_) < 0)
        return 0;
    return receive(out);
}

size_t WmaSource::drain(std::vector<float>& out)
{
    if (avcodec_send_packet(codec_, nullptr) < 0)
        return 0;
    return receive(out);
}

bool WmaSource::seekBefore(int64_t time)
{
    av_packet_unref(packet_);
    return av_seek_frame(format_, stream_, time, AVSEEK_FLAG_BACKWARD) >= 0 && openDecoder();
}

} // namespace audio
