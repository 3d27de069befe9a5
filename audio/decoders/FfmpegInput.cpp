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
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_callback(QuietAvLog); });

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
