// The effect chain on real channels, heard through the library's output.
#include <gtest/gtest.h>

#include "ChannelSession.h"
#include "SignalLevels.h"
#include "audio/EffectsLibrary.h"
#include "effects/EffectChain.h"

using namespace effects_test;

namespace {

constexpr uint32_t kRate = 44100;

EqPositions Flat() { return {4, 4, 4, 4, 4, 4, 4, 4}; }

// Level change in dB that the equalizer makes to a sine, measured on the
// second half of a second of it.
double EqLevelChange(ChannelSession& session, const std::string& wav, const EqPositions& positions) {
    const audio::Handle plain = session.Open(wav), shaped = session.Open(wav);
    SetEqualizer(shaped, 0.0f, positions);
    const std::vector<float> a = session.Render(plain, kRate), b = session.Render(shaped, kRate);
    return Decibels(Rms(b, 2, 0, kRate / 2, kRate) / Rms(a, 2, 0, kRate / 2, kRate));
}

} // namespace

TEST(EffectChain, EachBandBoostsAndCutsAroundItsOwnCentre) {
    ChannelSession session;
    const std::array<float, 8> centres = EqCentres();
    EXPECT_EQ(centres[0], 125.0f);
    EXPECT_EQ(centres[7], 1000.0f);
    for (int band = 0; band < 8; ++band) {
        const std::string atCentre =
            session.WriteWav(kRate, 2, Sine(centres[band], 0.25, kRate, 2, kRate));
        const std::string octaveUp =
            session.WriteWav(kRate, 2, Sine(2 * centres[band], 0.25, kRate, 2, kRate));
        std::vector<int> positions = {0, 10};
        if (band == 7) positions = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        for (int position : positions) {
            SCOPED_TRACE("band " + std::to_string(band) + " position " + std::to_string(position));
            EqPositions sliders = Flat();
            sliders[band] = position;
            const double gain = 4 - position;
            EXPECT_NEAR(EqLevelChange(session, atCentre, sliders), gain, 0.1);
            const double away = EqLevelChange(session, octaveUp, sliders);
            if (gain == 0) {
                EXPECT_NEAR(away, 0.0, 0.05);
            } else {
                EXPECT_GT(away / gain, 0.4);
                EXPECT_LT(away / gain, 0.8);
            }
        }
    }
}

TEST(EffectChain, ReverbAddsATailThatFollowsTheDelay) {
    ChannelSession session;
    std::vector<float> click(size_t(kRate) * 4 * 2, 0.0f);
    click[kRate / 10 * 2] = click[kRate / 10 * 2 + 1] = 0.9f;
    const std::string wav = session.WriteWav(kRate, 2, click);
    const audio::Handle plain = session.Open(wav), shortTail = session.Open(wav),
                        longTail = session.Open(wav);
    SetReverb(shortTail, 0.5f, 1200);
    SetReverb(longTail, 0.5f, 8000);
    const std::vector<float> dry = session.Render(plain, kRate * 4);
    const std::vector<float> s = session.Render(shortTail, kRate * 4);
    const std::vector<float> l = session.Render(longTail, kRate * 4);
    auto level = [](const std::vector<float>& out, double from, double to) {
        return Rms(out, 2, 0, size_t(from * kRate), size_t(to * kRate));
    };
    EXPECT_EQ(level(dry, 0.15, 4.0), 0.0);
    for (const std::vector<float>* out : {&s, &l}) {
        EXPECT_GT(level(*out, 0.15, 0.6), 1e-3);
        EXPECT_LT(Peak(*out), 1.0);
    }
    // Falling, and far slower with the longer time.
    EXPECT_GT(level(l, 0.2, 0.7), level(l, 1.0, 1.5));
    EXPECT_GT(level(l, 1.0, 1.5), level(l, 2.5, 3.0));
    EXPECT_GT(level(l, 2.5, 3.0), 1e-5);
    EXPECT_LT(level(s, 1.5, 2.0), level(l, 1.5, 2.0) / 100);
}

TEST(EffectChain, NormalizeRaisesAQuietPassageAndNeverClips) {
    ChannelSession session;
    // Seven seconds at 0.2, then three at full scale.
    std::vector<float> music = Sine(440, 0.2, kRate, 2, kRate * 7);
    const std::vector<float> loud = Sine(440, 1.0, kRate, 2, kRate * 3);
    music.insert(music.end(), loud.begin(), loud.end());
    const std::string wav = session.WriteWav(kRate, 2, music);
    const audio::Handle full = session.Open(wav), limited = session.Open(wav);
    SetNormalize(full, 10.0f);
    SetNormalize(limited, 10.0f);
    UpdateNormalize(limited, 2.0f);
    const std::vector<float> a = session.Render(full, kRate * 10);
    const std::vector<float> b = session.Render(limited, kRate * 10);
    ASSERT_EQ(a.size(), size_t(kRate) * 20);
    auto peak = [](const std::vector<float>& out, double from, double to) {
        return Peak(std::vector<float>(out.begin() + ptrdiff_t(from * kRate) * 2,
                                       out.begin() + ptrdiff_t(to * kRate) * 2));
    };
    EXPECT_LT(peak(a, 0.0, 0.3), 0.5);          // slow, not at once
    EXPECT_NEAR(peak(a, 5.0, 7.0), 0.85, 0.03); // reached the target
    EXPECT_NEAR(peak(b, 5.0, 7.0), 0.40, 0.01); // held at the amplification limit
    EXPECT_NEAR(peak(a, 9.0, 10.0), 0.85, 0.03);
    EXPECT_LE(Peak(a), 1.0);
    EXPECT_LE(Peak(b), 1.0);
}

TEST(EffectChain, InstallingTwiceChangesNothingAndStrayCallsAreIgnored) {
    ChannelSession session;
    const std::string wav = session.WriteWav(kRate, 2, Noise(0.3, 2, kRate));
    const audio::Handle once = session.Open(wav), twice = session.Open(wav),
                        bare = session.Open(wav), plain = session.Open(wav);
    const audio::ReverbRecord reverb{0.4f, 3000};
    ASSERT_TRUE(audio::installEffect(once, audio::kEffectReverb));
    ASSERT_TRUE(audio::setEffectParameters(once, reverb));
    ASSERT_TRUE(audio::installEffect(twice, audio::kEffectReverb));
    ASSERT_TRUE(audio::setEffectParameters(twice, reverb));
    ASSERT_TRUE(audio::installEffect(twice, audio::kEffectReverb));
    audio::ReverbRecord read{};
    ASSERT_TRUE(audio::readEffectParameters(twice, read));
    EXPECT_EQ(read.level, 0.4f);
    EXPECT_EQ(read.delayMs, 3000);
    // The equalizer sent twice in full is still one equalizer.
    const EqPositions sliders = {0, 10, 2, 8, 4, 6, 1, 9};
    SetEqualizer(once, 0.0f, sliders);
    SetEqualizer(twice, 0.0f, sliders);
    SetEqualizer(twice, 0.0f, sliders);
    EXPECT_EQ(session.Render(once, kRate), session.Render(twice, kRate));

    // Parameters for effects that are not there change nothing.
    EXPECT_FALSE(audio::setEffectParameters(bare, reverb));
    EXPECT_FALSE(audio::setEffectParameters(bare, audio::EqBandRecord{3, 44100, 2.5f, 0, 500, 4, 0}));
    EXPECT_FALSE(audio::setEffectParameters(bare, audio::NormalizeRecord{0.85f, 0.1f, 0.02f, 9, 1, 2}));
    SetEqBand(bare, 3, 0);
    UpdateReverb(bare, 1.0f, 5000);
    UpdateNormalize(bare, 10.0f);
    read = {0.7f, 77};
    EXPECT_FALSE(audio::readEffectParameters(bare, read));
    EXPECT_EQ(read.delayMs, 77);
    EXPECT_FALSE(audio::removeEffect(bare, audio::kEffectReverb));
    EXPECT_FALSE(audio::installEffect(bare, 7));
    EXPECT_EQ(session.Render(bare, kRate), session.Render(plain, kRate));

    // Handle 0 accepts every call and does nothing.
    EXPECT_FALSE(audio::installEffect(0, audio::kEffectReverb));
    EXPECT_FALSE(audio::setEffectParameters(0, reverb));
    EXPECT_FALSE(audio::readEffectParameters(0, read));
    EXPECT_FALSE(audio::removeEffect(0, audio::kEffectReverb));
    SetEqualizer(0, 0.0f, sliders);
    SetEqBand(0, 2, 3);
    SetReverb(0, 0.5f, 2000);
    SetNormalize(0, 4.0f);
    UpdateNormalize(0, 5.0f);
    RemoveEqualizer(0);
    RemoveReverb(0);
    RemoveNormalize(0);

    // Removed effects are gone.
    RemoveEqualizer(once);
    RemoveReverb(once);
    EXPECT_FALSE(audio::readEffectParameters(once, read));
    audio::EqBandRecord band{2};
    EXPECT_FALSE(audio::readEffectParameters(once, band));
}

TEST(EffectChain, ReadingGivesTheValuesLastSet) {
    ChannelSession session;
    const audio::Handle h = session.OpenSamples(22050, 1, Noise(0.3, 1, 22050));
    ASSERT_NE(h, 0u);
    SetEqualizer(h, 0.0f, {0, 1, 2, 3, 4, 5, 6, 7});
    SetEqBand(h, 7, 10);
    audio::EqBandRecord band{};
    for (int b = 0; b < 8; ++b) {
        band.band = b;
        ASSERT_TRUE(audio::readEffectParameters(h, band));
        EXPECT_EQ(band.band, b);
        EXPECT_EQ(band.rate, 22050);
        EXPECT_EQ(band.bandwidth, 2.5f);
        EXPECT_EQ(band.q, 0.0f);
        EXPECT_EQ(band.centre, 125.0f * float(b + 1));
        EXPECT_EQ(band.gain, b == 7 ? -6.0f : float(4 - b));
        EXPECT_EQ(band.reserved, 0);
    }
    band.band = 8;
    EXPECT_FALSE(audio::readEffectParameters(h, band));

    const audio::EqBandRecord odd{5, 1, -2.0f, 7.0f, 123456.0f, 99.0f, 42};
    ASSERT_TRUE(audio::setEffectParameters(h, odd));
    band = {5};
    ASSERT_TRUE(audio::readEffectParameters(h, band));
    EXPECT_EQ(band.rate, 1);
    EXPECT_EQ(band.centre, 123456.0f);
    EXPECT_EQ(band.gain, 99.0f);
    EXPECT_EQ(band.reserved, 42);
}
