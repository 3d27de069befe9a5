#include "audio/decoders/AvFrameSamples.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

namespace audio {
namespace {

float SampleAt(const uint8_t* data, AVSampleFormat format, size_t index)
{
    switch (format) {
    case AV_SAMPLE_FMT_U8:
        return (static_cast<float>(data[index]) - 128.0f) / 128.0f;
    case AV_SAMPLE_FMT_S16:
        return static_cast<float>(reinterpret_cast<const int16_t*>(data)[index]) / 32768.0f;
    case AV_SAMPLE_FMT_S32:
        return static_cast<float>(static_cast<double>(reinterpret_cast<const int32_t*>(data)[index]) / 2147483648.0);
    case AV_SAMPLE_FMT_FLT:
        return reinterpret_cast<const float*>(data)[index];
    case AV_SAMPLE_FMT_DBL:
        return static_cast<float>(reinterpret_cast<const double*>(data)[index]);
    default:
        return 0.0f;
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
    const size_t frames = static_cast<size_t>(frame.nb_samples);
    out.reserve(out.size() + frames * channels);
    for (size_t i = 0; i < frames; ++i)
        for (uint32_t c = 0; c < channels; ++c)
            out.push_back(planar ? SampleAt(frame.extended_data[c], packed, i)
                                 : SampleAt(frame.extended_data[0], packed, i * channels + c));
    return true;
}

} // namespace audio
