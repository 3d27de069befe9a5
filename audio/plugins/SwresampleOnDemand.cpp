// The libswresample calls of the rate converter, bound when first made: the
// library (and FFmpeg's libavutil under it) is opened only once a channel
// plays at a rate other than the output's, so a program that never converts
// does not load it at start-up. The program is therefore not linked with
// libswresample; these definitions stand in for it. When the library cannot
// be loaded, allocating a context fails, which the rate converter takes as
// an unsupported rate. FFmpeg's messages are silenced once the library is
// loaded: failures reach the rate converter as results.
extern "C" {
#include <libavutil/error.h>
#include <libavutil/macros.h>
#include <libavutil/version.h>
#include <libswresample/swresample.h>
#include <libswresample/version_major.h>
}

#include <cerrno>

#include "audio/plugins/PluginLibrary.h"
#include "audio/plugins/QuietAvLog.h"

namespace {

template <typename Function>
Function* Bound(Function*, const char* name)
{
    return reinterpret_cast<Function*>(
        audio::LibrarySymbol("libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR), name));
}

void SilenceFfmpeg()
{
    using SetCallback = void (*)(void (*)(void*, int, const char*, va_list));
    static const auto set = reinterpret_cast<SetCallback>(
        audio::LibrarySymbol("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), "av_log_set_callback"));
    if (set)
        set(audio::QuietAvLog);
}

} // namespace

extern "C" {

int swr_alloc_set_opts2(SwrContext** ps, AVChannelLayout* out_ch_layout, AVSampleFormat out_sample_fmt,
                        int out_sample_rate, AVChannelLayout* in_ch_layout, AVSampleFormat in_sample_fmt,
                        int in_sample_rate, int log_offset, void* log_ctx)
{
    static const auto real = [] {
        SilenceFfmpeg();
        return Bound(swr_alloc_set_opts2, "swr_alloc_set_opts2");
    }();
    if (!real)
        return AVERROR(ENOSYS);
    return real(ps, out_ch_layout, out_sample_fmt, out_sample_rate, in_ch_layout, in_sample_fmt, in_sample_rate,
                log_offset, log_ctx);
}

// Every call below has a context, which only a loaded library gave.
int swr_init(SwrContext* s)
{
    static const auto real = Bound(swr_init, "swr_init");
    return real(s);
}

void swr_free(SwrContext** s)
{
    if (s == nullptr || *s == nullptr)
        return;
    static const auto real = Bound(swr_free, "swr_free");
    real(s);
}

int swr_get_out_samples(SwrContext* s, int in_samples)
{
    static const auto real = Bound(swr_get_out_samples, "swr_get_out_samples");
    return real(s, in_samples);
}

int swr_convert(SwrContext* s, uint8_t** out, int out_count, const uint8_t** in, int in_count)
{
    static const auto real = Bound(swr_convert, "swr_convert");
    return real(s, out, out_count, in, in_count);
}

} // extern "C"
