#include "audio/decoders/AvFrameSamples.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

namespace audio {
namespace {

float Scaled(uint8_t v) { return (static_cast<float>(v) - 128.0f) / 128.0f; }
float Scaled(int16_t v) { return static_cast<float>(v) / 32768.0f; }
float Scaled(int32_t v) { return static_cast<float>(static_cast<double>(v) / 2147483648.0); }
float Scaled(float v) { return v; }
float Scaled(double v) { return static_cast<float>(v); }

// The frame's samples of type T, interleaved into out; the format is chosen
// once per frame, not per sample, which lossless streams need for speed.
template <typename T>
void Interleave(const AVFrame& frame, bool planar, uint32_t channels, float* out)
{
    const size_t frames = static_cast<size_t>(frame.nb_samples);
    if (!planar) {
        const T* in = reinterpret_cast<const T*>(frame.extended_data[0]);
        for (size_t i = 0; i < frames * channels; ++i)
            out[i] = Scaled(in[i]);
        return;
    }
    for (uint32_t c = 0; c < channels; ++c) {
        const T* in = reinterpret_cast<const T*>(frame.extended_data[c]);
        for (size_t i = 0; i < frames; ++i)
            out[i * channels + c] = Scaled(in[i]);
    }
}

} // namespace

bool AppendFloatSamples(const AVFrame& frame, uint32_t channels, std::vector<float>& out)
{
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    if (frame.ch_layout.nb_channels != static_cast<int>(channels) || frame.nb_samples < 0
        || (packed != AV_SAMPLE_FMT_U8 && packed != AV_SAMPLE_FMT_S16 && packed != AV_SAMPLE_FMT_S32
            && packed != AV_SAMPLE_FMT_FLT && packed != AV_SAMPLE_FMT_DBL))
        return false;
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(frame.nb_samples) * channels);
    float* to = out.data() + at;
    if (packed == AV_SAMPLE_FMT_U8)
        Interleave<uint8_t>(frame, planar, channels, to);
    else if (packed == AV_SAMPLE_FMT_S16)
        Interleave<int16_t>(frame, planar, channels, to);
    else if (packed == AV_SAMPLE_FMT_S32)
        Interleave<int32_t>(frame, planar, channels, to);
    else if (packed == AV_SAMPLE_FMT_FLT)
        Interleave<float>(frame, planar, channels, to);
    else
        Interleave<double>(frame, planar, channels, to);
    return true;
}

} // namespace audio
