#include "audio/decoders/FfmpegInput.h"

extern "C" {
#include <libavutil/log.h>
}

#include <mutex>

#include "audio/plugins/QuietAvLog.h"

namespace audio {

FfmpegInput::~FfmpegInput()
{
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    if (io)
        av_freep(&io->buffer);
    avio_context_free(&io);
    av_packet_free(&packet);
    av_frame_free(&frame);
}

bool FfmpegInput::open(const char* demuxer, int bufferBytes, void* opaque, ReadBytes read, SeekBytes seek,
                       AcceptsCodec accepts)
{
    static std::once_flag quieted;
    std::call_once(quieted, [] { av_log_set_callback(QuietAvLog); });

    const AVInputFormat* input = av_find_input_format(demuxer);
    auto* buffer = static_cast<unsigned char*>(av_malloc(static_cast<size_t>(bufferBytes)));
    if (buffer)
        io = avio_alloc_context(buffer, bufferBytes, 0, opaque, read, nullptr, seek);
    if (!io) {
        av_free(buffer);
        return false;
    }
    format = avformat_alloc_context();
    packet = av_packet_alloc();
    frame = av_frame_alloc();
    if (!input || !format || !packet || !frame)
        return false;
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    // The context is freed on failure.
    if (avformat_open_input(&format, nullptr, input, nullptr) < 0)
        return false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* par = format->streams[i]->codecpar;
        if (stream < 0 && par->codec_type == AVMEDIA_TYPE_AUDIO && accepts(par->codec_id))
            stream = static_cast<int>(i);
        else
            format->streams[i]->discard = AVDISCARD_ALL;
    }
    return stream >= 0;
}

int FfmpegInput::ReadCursor(void* cursor, uint8_t* out, int size)
{
    const size_t got = size > 0 ? static_cast<SourceCursor*>(cursor)->read(out, static_cast<size_t>(size)) : 0;
    return got > 0 ? static_cast<int>(got) : AVERROR_EOF;
}

int64_t FfmpegInput::SeekCursor(void* cursor, int64_t offset, int whence)
{
    SourceCursor& c = *static_cast<SourceCursor*>(cursor);
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

bool FfmpegInput::openDecoder()
{
    avcodec_free_context(&codec);
    const AVCodecParameters* par = format->streams[stream]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
    codec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    if (!codec || avcodec_parameters_to_context(codec, par) < 0)
        return false;
    codec->thread_count = 1;
    return avcodec_open2(codec, decoder, nullptr) == 0;
}

} // namespace audio
