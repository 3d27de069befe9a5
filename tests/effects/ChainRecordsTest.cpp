// The chain's parameter records start at zero and keep what a call does not
// write; this runs alone in its executable so that nothing has set them yet.
#include <gtest/gtest.h>

#include "ChannelSession.h"
#include "SignalLevels.h"
#include "audio/EffectsLibrary.h"
#include "effects/EffectChain.h"

using namespace effects_test;

namespace {

struct DialogControls : effects::FilterControls {
    bool reverbOn = false, normOn = false;
    int signal = 65, delay = 8000, amp = 1;
    bool reverbEnabled() const override { return reverbOn; }
    int signalPosition() const override { return signal; }
    int delayPosition() const override { return delay; }
    bool normalizeEnabled() const override { return normOn; }
    int ampLevelPosition() const override { return amp; }
};

audio::ReverbRecord ReadReverb(audio::Handle h) {
    audio::ReverbRecord r{-1.0f, -1};
    EXPECT_TRUE(audio::readEffectParameters(h, r));
    return r;
}

} // namespace

TEST(EffectChainRecords, DelayRangeRuleAndUnwrittenFields) {
    ChannelSession session;
    const audio::Handle h = session.OpenSamples(44100, 2, Noise(0.3, 2, 44100));
    ASSERT_NE(h, 0u);

    SetReverb(h, 0.5f, 1199);
    EXPECT_EQ(ReadReverb(h).delayMs, 0);
    EXPECT_EQ(ReadReverb(h).level, 0.5f);
    SetReverb(h, 0.5f, 1200);
    EXPECT_EQ(ReadReverb(h).delayMs, 1200);
    SetReverb(h, 0.4f, 10001);
    EXPECT_EQ(ReadReverb(h).delayMs, 1200);
    EXPECT_EQ(ReadReverb(h).level, 0.4f);
    SetReverb(h, 0.4f, 10000);
    EXPECT_EQ(ReadReverb(h).delayMs, 10000);
    UpdateReverb(h, 0.3f, 50);
    EXPECT_EQ(ReadReverb(h).delayMs, 50);
    EXPECT_EQ(ReadReverb(h).level, 0.3f);

    audio::NormalizeRecord n{};
    SetNormalize(h, 3.0f);
    ASSERT_TRUE(audio::readEffectParameters(h, n));
    EXPECT_EQ(n.target, 0.85f);
    EXPECT_EQ(n.quiet, 0.1f);
    EXPECT_EQ(n.rate, 0.02f);
    EXPECT_EQ(n.maxAmp, 3.0f);
    EXPECT_EQ(n.window, 1.0f);
    EXPECT_EQ(n.mode, 2);
    UpdateNormalize(h, 7.0f);
    n = {};
    ASSERT_TRUE(audio::readEffectParameters(h, n));
    EXPECT_EQ(n.maxAmp, 7.0f);
    EXPECT_EQ(n.target, 0.85f);
    EXPECT_EQ(n.mode, 2);

    // The filters dialog's controls decide what a channel gets.
    DialogControls dialog;
    const audio::Handle next = session.OpenSamples(44100, 2, Noise(0.3, 2, 44100));
    dialog.reverbOn = dialog.normOn = true;
    ApplyReverb(next, dialog);
    ApplyNormalize(next, dialog);
    EXPECT_EQ(ReadReverb(next).level, 0.65f);
    EXPECT_EQ(ReadReverb(next).delayMs, 8000);
    n = {};
    ASSERT_TRUE(audio::readEffectParameters(next, n));
    EXPECT_EQ(n.maxAmp, 1.0f);
    dialog.reverbOn = dialog.normOn = false;
    ApplyReverb(next, dialog);
    ApplyNormalize(next, dialog);
    audio::ReverbRecord gone{};
    EXPECT_FALSE(audio::readEffectParameters(next, gone));
    EXPECT_FALSE(audio::readEffectParameters(next, n));
}
