#include "RateConverter.h"

// The swr_* functions are bound to libswresample the first time one is called
// (plugins/SwresampleOnDemand.cpp), so a program that plays only at 44100 Hz
// never loads FFmpeg's libraries.
extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace audio {

RateConverter::~RateConverter() { swr_free(&context_); }

bool RateConverter::setInputRate(uint32_t rate, std::vector<float>& out) {
    if (rate == inputRate_) return true;
    if (rate == 0 || rate > static_cast<uint32_t>(INT32_MAX)) return false;
    SwrContext* fresh = nullptr;
    if (rate != kOutputRate) {
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        if (swr_alloc_set_opts2(&fresh, &stereo, AV_SAMPLE_FMT_FLT, kOutputRate, &stereo,
                                AV_SAMPLE_FMT_FLT, static_cast<int>(rate), 0, nullptr) < 0 ||
            swr_init(fresh) < 0) {
            swr_free(&fresh);
            return false;
        }
    }
    drain(out);
    swr_free(&context_);
    context_ = fresh;
    inputRate_ = rate;
    return true;
}

void RateConverter::convert(const float* stereo, size_t frames, std::vector<float>& out) {
    if (!context_) {
        out.insert(out.end(), stereo, stereo + 2 * frames);
        return;
    }
    const int capacity = swr_get_out_samples(context_, static_cast<int>(frames));
    if (capacity <= 0) return;
    const size_t used = out.size();
    out.resize(used + 2 * static_cast<size_t>(capacity));
    auto* target = reinterpret_cast<uint8_t*>(out.data() + used);
    const auto* source = reinterpret_cast<const uint8_t*>(stereo);
    const int made = swr_convert(context_, &target, capacity, &source, static_cast<int>(frames));
    out.resize(used + 2 * static_cast<size_t>(made > 0 ? made : 0));
}

void RateConverter::drain(std::vector<float>& out) {
    if (!context_) return;
    for (;;) {
        const int capacity = swr_get_out_samples(context_, 0);
        if (capacity <= 0) return;
        const size_t used = out.size();
        out.resize(used + 2 * static_cast<size_t>(capacity));
        auto* target = reinterpret_cast<uint8_t*>(out.data() + used);
        const int made = swr_convert(context_, &target, capacity, nullptr, 0);
        out.resize(used + 2 * static_cast<size_t>(made > 0 ? made : 0));
        if (made <= 0) return;
    }
}

void RateConverter::reset() {
    if (context_) swr_init(context_);
}

size_t RateConverter::inputFramesFor(size_t outFrames) const {
    if (!context_) return outFrames;
    return static_cast<size_t>(static_cast<uint64_t>(outFrames) * inputRate_ / kOutputRate) + 1;
}

} // namespace audio
