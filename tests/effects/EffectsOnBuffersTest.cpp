// Each effect on its own, run on buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

#include "SignalLevels.h"
#include "audio/EffectNormalize.h"
#include "audio/EffectPeakingEq.h"
#include "audio/EffectReverb.h"

using namespace effects_test;

namespace {

constexpr uint32_t kRate = 44100;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

audio::EqBandRecord Band(int band, float centre, float gain) {
    return {band, int32_t(kRate), 2.5f, 0.0f, centre, gain, 0};
}

bool AllFinite(const std::vector<float>& samples) {
    return std::all_of(samples.begin(), samples.end(), [](float v) { return std::isfinite(v); });
}

void ProcessInChunks(audio::Effect& effect, std::vector<float>& samples, uint32_t channels,
                     size_t chunk) {
    const size_t frames = samples.size() / channels;
    for (size_t at = 0; at < frames; at += chunk)
        effect.process(samples.data() + at * channels, std::min(chunk, frames - at));
}

} // namespace

TEST(PeakingEqualizer, KeepsEachChannelApartAndIgnoresChunking) {
    // Left a 1 kHz tone, right a 250 Hz tone, third channel silent.
    const size_t frames = kRate;
    std::vector<float> left = Sine(1000, 0.3, kRate, 1, frames);
    std::vector<float> right = Sine(250, 0.3, kRate, 1, frames);
    std::vector<float> three(frames * 3, 0.0f);
    for (size_t i = 0; i < frames; ++i) {
        three[i * 3] = left[i];
        three[i * 3 + 1] = right[i];
    }
    audio::PeakingEqualizer mono(kRate, 1), multi(kRate, 3);
    for (audio::PeakingEqualizer* eq : {&mono, &multi}) {
        ASSERT_TRUE(eq->setBand(Band(7, 1000, 4)));
        ASSERT_TRUE(eq->setBand(Band(1, 250, -6)));
    }
    ProcessInChunks(multi, three, 3, 333);
    std::vector<float> monoLeft = left, monoRight = right;
    mono.process(monoLeft.data(), frames);
    audio::PeakingEqualizer mono2(kRate, 1);
    mono2.setBand(Band(7, 1000, 4));
    mono2.setBand(Band(1, 250, -6));
    mono2.process(monoRight.data(), frames);
    for (size_t i = 0; i < frames; ++i) {
        ASSERT_NEAR(three[i * 3], monoLeft[i], 1e-6) << i;
        ASSERT_NEAR(three[i * 3 + 1], monoRight[i], 1e-6) << i;
        ASSERT_EQ(three[i * 3 + 2], 0.0f) << i;
    }
    EXPECT_FALSE(multi.setBand(Band(8, 1000, 4)));
    EXPECT_FALSE(multi.setBand(Band(-1, 1000, 4)));
    audio::EqBandRecord read{};
    EXPECT_FALSE(multi.band(8, read));
}

TEST(PeakingEqualizer, StaysStableForAnyRecord) {
    const std::vector<audio::EqBandRecord> records = {
        {0, 0, 2.5f, 0, 30000, 24, 0},      // centre above the Nyquist frequency
        {1, -5, 100, 0, 1000, 1000, 0},     // absurd width and gain
        {2, 44100, -3, 0, 20, -1000, 0},    // negative width, deep cut at 20 Hz
        {3, 44100, 0, 0, 5000, 12, 0},      // neither width nor Q
        {4, 44100, kNaN, kNaN, kNaN, kNaN, 0},
        {5, 44100, 2.5f, 0, 0, 12, 0},      // no centre
        {6, 44100, 0, 1e9f, 15000, 12, 0},  // huge Q
        {7, 44100, 1e-9f, 0, 19000, 24, 0}, // tiny width near the top
    };
    audio::PeakingEqualizer eq(kRate, 2);
    for (const audio::EqBandRecord& r : records) ASSERT_TRUE(eq.setBand(r));
    // Five seconds of full-scale noise, then a second of silence that must
    // stay silent once the filters have rung out.
    std::vector<float> noise = Noise(1.0, 2, kRate * 5);
    noise.resize(size_t(kRate) * 6 * 2, 0.0f);
    ProcessInChunks(eq, noise, 2, 1000);
    ASSERT_TRUE(AllFinite(noise));
    EXPECT_LT(Peak(noise), 1000.0);
    EXPECT_LT(Rms(noise, 2, 0, kRate * 5 + kRate / 2, kRate * 6), 1e-6);
    // What was set reads back unchanged, even where it could not be used.
    audio::EqBandRecord read{};
    ASSERT_TRUE(eq.band(1, read));
    EXPECT_EQ(read.rate, -5);
    EXPECT_EQ(read.bandwidth, 100.0f);
    EXPECT_EQ(read.gain, 1000.0f);
}

TEST(Reverb, StaysStableAndDecaysForAnyRecord) {
    const std::vector<audio::ReverbRecord> records = {
        {1.0f, 10000}, {2.0f, 100000}, {-1.0f, -5}, {kNaN, 0}, {1.0f, 1}, {1.0f, INT_MIN}, {1.0f, INT_MAX}};
    for (const audio::ReverbRecord& r : records) {
        audio::Reverb reverb(kRate, 2);
        reverb.setParameters(r);
        EXPECT_EQ(reverb.parameters().delayMs, r.delayMs);
        // Five seconds of full-scale noise, then silence for fifteen.
        std::vector<float> samples = Noise(1.0, 2, kRate * 5);
        samples.resize(size_t(kRate) * 20 * 2, 0.0f);
        ProcessInChunks(reverb, samples, 2, 4096);
        ASSERT_TRUE(AllFinite(samples)) << r.level << " " << r.delayMs;
        EXPECT_LT(Peak(samples), 8.0) << r.level << " " << r.delayMs;
        EXPECT_LT(Rms(samples, 2, 0, kRate * 19, kRate * 20), 1e-3) << r.level << " " << r.delayMs;
    }
}

TEST(Normalizer, NeverClipsNorPumpsUpSilence) {
    audio::Normalizer normalizer(kRate, 2);
    normalizer.setParameters({0.85f, 0.1f, 0.02f, 10.0f, 1.0f, 2});
    // Quiet noise with a spike above full scale now and then.
    std::vector<float> samples = Noise(0.2, 2, kRate * 10);
    for (size_t i = kRate; i < samples.size(); i += kRate / 3) samples[i] = (i % 2 ? 2.0f : -1.5f);
    ProcessInChunks(normalizer, samples, 2, 512);
    EXPECT_LE(Peak(samples), 1.0);
    EXPECT_GT(Peak(samples), 0.9);

    // Below the quiet level nothing is amplified, however long it lasts.
    std::vector<float> hush = Sine(440, 0.05, kRate, 2, kRate * 10);
    const double before = Peak(hush);
    normalizer.process(hush.data(), kRate * 10);
    EXPECT_LE(Peak(std::vector<float>(hush.end() - kRate * 2, hush.end())), before * 1.0001);

    // Records that make no sense still give a bounded, finite result.
    for (const audio::NormalizeRecord& r :
         std::vector<audio::NormalizeRecord>{{kNaN, kNaN, kNaN, kNaN, kNaN, 0},
                                             {5, -1, 7, 1000, 0, 0},
                                             {0, 0, 0, 0, -1, 0}}) {
        audio::Normalizer odd(kRate, 2);
        odd.setParameters(r);
        std::vector<float> noise = Noise(1.5, 2, kRate * 3);
        odd.process(noise.data(), kRate * 3);
        ASSERT_TRUE(AllFinite(noise));
        EXPECT_LE(Peak(noise), 1.0);
    }
}
