#include "audio/decoders/WmaSource.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "audio/decoders/AvFrameSamples.h"
#include "audio/decoders/Decoder.h"

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

std::unique_ptr<WmaSource> WmaSource::open(ByteSource& bytes)
{
    std::unique_ptr<WmaSource> source(new WmaSource(bytes));
    FfmpegInput& in = source->in_;
    if (!in.open("asf", kIoBufferBytes, &source->cursor_, &FfmpegInput::ReadCursor,
                 &FfmpegInput::SeekCursor, IsWmaCodec)
        || !source->openDecoder())
        return nullptr;
    const AVCodecParameters& par = *in.format->streams[in.stream]->codecpar;
    source->oneFramePerPacket_ = (par.codec_id == AV_CODEC_ID_WMAV1 || par.codec_id == AV_CODEC_ID_WMAV2)
        && !UsesBitReservoir(par);
    return source;
}

// A fresh decoder whose format is within the player's bounds.
bool WmaSource::openDecoder()
{
    if (!in_.openDecoder())
        return false;
    const AVCodecContext& codec = *in_.codec;
    if (codec.sample_rate < static_cast<int>(kLowestSourceRate)
        || codec.sample_rate > static_cast<int>(kHighestSourceRate) || codec.ch_layout.nb_channels <= 0)
        return false;
    rate_ = static_cast<uint32_t>(codec.sample_rate);
    channels_ = static_cast<uint32_t>(codec.ch_layout.nb_channels);
    return true;
}

bool WmaSource::nextPacket()
{
    av_packet_unref(in_.packet);
    while (av_read_frame(in_.format, in_.packet) >= 0) {
        if (in_.packet->stream_index == in_.stream)
            return true;
        av_packet_unref(in_.packet);
    }
    return false;
}

int64_t WmaSource::packetTime() const
{
    return in_.packet->pts;
}

size_t WmaSource::receive(std::vector<float>& out)
{
    size_t frames = 0;
    while (avcodec_receive_frame(in_.codec, in_.frame) == 0) {
        // A frame whose layout changed mid-stream is dropped, not mixed in.
        if (AppendFloatSamples(*in_.frame, channels_, out))
            frames += static_cast<size_t>(in_.frame->nb_samples);
        av_frame_unref(in_.frame);
    }
    return frames;
}

size_t WmaSource::decodePacket(std::vector<float>& out)
{
    if (avcodec_send_packet(in_.codec, in_.packet) < 0)
        return 0;
    return receive(out);
}

size_t WmaSource::drain(std::vector<float>& out)
{
    if (avcodec_send_packet(in_.codec, nullptr) < 0)
        return 0;
    return receive(out);
}

bool WmaSource::seekBefore(int64_t time)
{
    av_packet_unref(in_.packet);
    return av_seek_frame(in_.format, in_.stream, time, AVSEEK_FLAG_BACKWARD) >= 0 && openDecoder();
}

} // namespace audio
