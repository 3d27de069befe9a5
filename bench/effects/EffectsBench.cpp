// Speed of the three effects on 44.1 kHz stereo, as multiples of real time
// on one core: each alone, then all three in a row as the chain runs them.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "audio/EffectNormalize.h"
#include "audio/EffectPeakingEq.h"
#include "audio/EffectReverb.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kChannels = 2;
constexpr size_t kSeconds = 60;
constexpr size_t kBlock = 1024; // frames per call, as the channel feeds them

std::vector<float> Music() {
    std::vector<float> out(kRate * kSeconds * kChannels);
    for (size_t i = 0; i < out.size() / kChannels; ++i) {
        const double t = double(i) / kRate;
        const double envelope = 0.3 + 0.25 * std::sin(2 * M_PI * 0.2 * t);
        out[i * 2] = float(envelope * std::sin(2 * M_PI * 220 * t));
        out[i * 2 + 1] = float(envelope * std::sin(2 * M_PI * 331 * t + 1));
    }
    return out;
}

std::unique_ptr<audio::Effect> Equalizer() {
    auto eq = std::make_unique<audio::PeakingEqualizer>(kRate, kChannels);
    for (int b = 0; b < 8; ++b)
        eq->setBand({b, int32_t(kRate), 2.5f, 0.0f, 125.0f * float(b + 1), float(4 - b), 0});
    return eq;
}

std::unique_ptr<audio::Effect> MakeReverb() {
    auto reverb = std::make_unique<audio::Reverb>(kRate, kChannels);
    reverb->setParameters({0.65f, 8000});
    return reverb;
}

std::unique_ptr<audio::Effect> MakeNormalizer() {
    auto normalizer = std::make_unique<audio::Normalizer>(kRate, kChannels);
    normalizer->setParameters({0.85f, 0.1f, 0.02f, 10.0f, 1.0f, 2});
    return normalizer;
}

void Measure(const char* name, const std::vector<std::function<std::unique_ptr<audio::Effect>()>>& makers) {
    std::vector<float> samples = Music();
    std::vector<std::unique_ptr<audio::Effect>> chain;
    for (const auto& make : makers) chain.push_back(make());
    const auto start = std::chrono::steady_clock::now();
    const size_t frames = samples.size() / kChannels;
    for (size_t at = 0; at < frames; at += kBlock)
        for (auto& effect : chain)
            effect->process(samples.data() + at * kChannels, std::min(kBlock, frames - at));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-22s %8.1fx real time  (%zu s of audio in %.3f s)\n", name, kSeconds / seconds, kSeconds,
                seconds);
}

} // namespace

int main() {
    Measure("equalizer (8 bands)", {Equalizer});
    Measure("reverb", {MakeReverb});
    Measure("normalize", {MakeNormalizer});
    Measure("all three", {Equalizer, MakeReverb, MakeNormalizer});
    return 0;
}
