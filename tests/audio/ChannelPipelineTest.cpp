// The channel pipeline on generated decoders: positions, seeking, stereo,
// rate conversion, volume, pan and effects, as renderOutput delivers them.
#include <cmath>
#include <limits>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "GeneratedDecoder.h"
#include "audio/AudioLibrary.h"
#include "audio/Effect.h"
#include "audio/Library.h"

using namespace audio;
using audiotest::GeneratedDecoder;
using audiotest::RampSample;

namespace {

Handle Make(uint32_t rate, uint32_t channels, uint64_t frames, uint32_t flags = kFloatSamples,
            audiotest::SampleFormula formula = RampSample) {
    return Library::Instance().addChannel(
        std::make_unique<GeneratedDecoder>(rate, channels, frames, std::move(formula)),
        ChannelKind::File, flags);
}

std::vector<float> Render(Handle h, size_t frames) {
    std::vector<float> out(2 * frames);
    out.resize(2 * renderOutput(h, out.data(), frames));
    return out;
}

std::vector<float> RenderAll(Handle h) {
    std::vector<float> all;
    for (;;) {
        const std::vector<float> block = Render(h, 3000);
        all.insert(all.end(), block.begin(), block.end());
        if (block.size() < 2 * 3000) return all;
    }
}

size_t ZeroCrossings(const std::vector<float>& stereo) {
    size_t crossings = 0;
    for (size_t i = 2; i < stereo.size(); i += 2)
        if ((stereo[i - 2] < 0) != (stereo[i] < 0)) ++crossings;
    return crossings;
}

float Peak(const std::vector<float>& stereo, size_t from) {
    float peak = 0;
    for (size_t i = from; i < stereo.size(); ++i) peak = std::max(peak, std::fabs(stereo[i]));
    return peak;
}

class AddThenRecord : public Effect {
  public:
    AddThenRecord(float add, std::vector<size_t>* calls) : add_(add), calls_(calls) {}
    void process(float* interleaved, size_t frames) override {
        calls_->push_back(frames);
        for (size_t i = 0; i < frames; ++i) interleaved[i] = (interleaved[i] + add_) * 2.0f;
    }

  private:
    float add_;
    std::vector<size_t>* calls_;
};

} // namespace

TEST(ChannelPipeline, PassThroughAt44100IsBitExactAndCountsDecoderFrames) {
    const Handle h = Make(44100, 2, 10000);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(lengthBytes(h), 10000u * 2 * 4);
    EXPECT_DOUBLE_EQ(bytesToSeconds(h, lengthBytes(h)), 10000.0 / 44100);

    const std::vector<float> first = Render(h, 3000);
    ASSERT_EQ(first.size(), 2u * 3000);
    for (size_t i = 0; i < 3000; ++i) {
        ASSERT_EQ(first[2 * i], RampSample(i, 0)) << i;
        ASSERT_EQ(first[2 * i + 1], RampSample(i, 1)) << i;
    }
    EXPECT_EQ(positionBytes(h), 3000u * 8);

    EXPECT_EQ(Render(h, 8000).size(), 2u * 7000);
    EXPECT_EQ(positionBytes(h), lengthBytes(h));
    EXPECT_EQ(Render(h, 10).size(), 0u);
    EXPECT_EQ(activity(h), kStopped);
    releaseStream(h);

    // Without kFloatSamples the byte counts are those of 16-bit samples.
    const Handle mono16 = Make(22050, 1, 22050, 0);
    EXPECT_EQ(lengthBytes(mono16), 22050u * 2);
    EXPECT_DOUBLE_EQ(bytesToSeconds(mono16, lengthBytes(mono16)), 1.0);
    ChannelInfo info;
    ASSERT_TRUE(channelInfo(mono16, info));
    EXPECT_EQ(info.rate, 22050u);
    EXPECT_EQ(info.channels, 1u);
    EXPECT_EQ(info.bits, 16u);
    EXPECT_EQ(info.type, kTypeWav);
    releaseStream(mono16);
}

TEST(ChannelPipeline, MonoIsDuplicatedAndWideLayoutsStayWithinFullScale) {
    const Handle mono = Make(44100, 1, 500);
    const std::vector<float> out = Render(mono, 500);
    ASSERT_EQ(out.size(), 1000u);
    for (size_t i = 0; i < 500; ++i) {
        ASSERT_EQ(out[2 * i], RampSample(i, 0));
        ASSERT_EQ(out[2 * i + 1], RampSample(i, 0));
    }
    releaseStream(mono);

    // Six channels at full scale, the right side inverted: each side must stay
    // within full scale and follow its own front channel.
    const Handle wide = Make(44100, 6, 100, kFloatSamples,
                             [](uint64_t, uint32_t c) { return c == 1 ? -1.0f : 1.0f; });
    const std::vector<float> mixed = Render(wide, 100);
    ASSERT_EQ(mixed.size(), 200u);
    EXPECT_LE(mixed[0], 1.0f);
    EXPECT_GT(mixed[0], mixed[1]);
    EXPECT_GE(mixed[1], -1.0f);
    EXPECT_NEAR(mixed[0], 1.0f, 1e-6);
    releaseStream(wide);
}

TEST(ChannelPipeline, SeekRoundsDownToAFrameAndIsExact) {
    const Handle h = Make(44100, 2, 50000);
    ASSERT_TRUE(seekBytes(h, 12345u * 8 + 5));
    EXPECT_EQ(positionBytes(h), 12345u * 8);
    const std::vector<float> out = Render(h, 4);
    EXPECT_EQ(out[0], RampSample(12345, 0));
    EXPECT_EQ(out[7], RampSample(12348, 1));

    EXPECT_FALSE(seekBytes(h, 50001u * 8));
    EXPECT_EQ(positionBytes(h), 12349u * 8);

    // Seeking back after the end makes the channel deliver again.
    EXPECT_EQ(RenderAll(h).size(), 2u * (50000 - 12349));
    ASSERT_TRUE(seekBytes(h, 0));
    EXPECT_EQ(Render(h, 10).size(), 20u);
    releaseStream(h);
}

TEST(ChannelPipeline, OtherRatesAreConvertedTo44100) {
    const auto sine = [](uint64_t n, uint32_t) {
        return static_cast<float>(0.5 * std::sin(2 * M_PI * 441.0 * static_cast<double>(n) / 22050));
    };
    const Handle h = Make(22050, 1, 22050, kFloatSamples, sine);
    const std::vector<float> first = RenderAll(h);
    EXPECT_NEAR(first.size() / 2.0, 44100.0, 64);
    EXPECT_NEAR(static_cast<double>(ZeroCrossings(first)), 882.0, 3);
    EXPECT_NEAR(Peak(first, 2000), 0.5f, 0.02f);
    EXPECT_EQ(positionBytes(h), lengthBytes(h));
    EXPECT_EQ(activity(h), kStopped);

    // A seek resets the converter: the same position gives the same output.
    ASSERT_TRUE(seekBytes(h, 0));
    const std::vector<float> again = RenderAll(h);
    EXPECT_EQ(again, first);
    releaseStream(h);
}

TEST(ChannelPipeline, PlaybackRateAttributeChangesTheConversion) {
    const Handle h = Make(44100, 2, 44100);
    uint32_t rate = 0;
    ASSERT_TRUE(readAttributes(h, &rate, nullptr, nullptr));
    EXPECT_EQ(rate, 44100u);

    ASSERT_TRUE(setAttributes(h, 88200, -1, -101));
    ASSERT_TRUE(readAttributes(h, &rate, nullptr, nullptr));
    EXPECT_EQ(rate, 88200u);
    EXPECT_NEAR(RenderAll(h).size() / 2.0, 22050.0, 64);
    // Lengths and positions stay those of the decoded samples.
    EXPECT_EQ(positionBytes(h), lengthBytes(h));
    EXPECT_DOUBLE_EQ(bytesToSeconds(h, lengthBytes(h)), 1.0);

    // Back at the output rate the pass-through is exact again.
    ASSERT_TRUE(seekBytes(h, 0));
    ASSERT_TRUE(setAttributes(h, 44100, -1, -101));
    const std::vector<float> out = Render(h, 100);
    EXPECT_EQ(out[198], RampSample(99, 0));
    releaseStream(h);
}

TEST(ChannelPipeline, AttributesOutOfRangeChangeNothing) {
    const Handle h = Make(44100, 2, 1000);
    EXPECT_TRUE(setAttributes(h, -1, 40, 30));
    EXPECT_FALSE(setAttributes(h, 0, 10, 10));
    EXPECT_FALSE(setAttributes(h, -1, 101, 10));
    EXPECT_FALSE(setAttributes(h, -1, 10, -102));
    EXPECT_FALSE(setAttributes(h, 2000000, 10, 10));
    uint32_t rate = 0;
    int volume = 0, pan = 0;
    ASSERT_TRUE(readAttributes(h, &rate, &volume, &pan));
    EXPECT_EQ(rate, 44100u);
    EXPECT_EQ(volume, 40);
    EXPECT_EQ(pan, 30);
    releaseStream(h);
}

TEST(ChannelPipeline, VolumeIsLinearAndPanIsABalance) {
    const auto renderWith = [](int volume, int pan) {
        const Handle h = Make(44100, 2, 2000);
        EXPECT_TRUE(setAttributes(h, -1, volume, pan));
        std::vector<float> out = Render(h, 2000);
        releaseStream(h);
        return out;
    };
    const std::vector<float> full = renderWith(100, 0);
    const std::vector<float> half = renderWith(50, 0);
    const std::vector<float> left = renderWith(100, -100);
    const std::vector<float> right = renderWith(100, 100);
    const std::vector<float> leaning = renderWith(100, -50);
    for (size_t i = 0; i < full.size(); i += 2) {
        ASSERT_EQ(half[i], full[i] * 0.5f);
        ASSERT_EQ(half[i + 1], full[i + 1] * 0.5f);
        ASSERT_EQ(left[i], full[i]);
        ASSERT_EQ(left[i + 1], 0.0f);
        ASSERT_EQ(right[i], 0.0f);
        ASSERT_EQ(right[i + 1], full[i + 1]);
        ASSERT_EQ(leaning[i], full[i]);
        ASSERT_EQ(leaning[i + 1], full[i + 1] * 0.5f);
    }
}

TEST(ChannelPipeline, EffectsRunInOrderOnTheDecodedSamples) {
    const Handle h = Make(22050, 1, 300);
    std::vector<size_t> firstCalls, secondCalls;
    uint32_t seenRate = 0, seenChannels = 0;
    ASSERT_TRUE(editChannelEffects(h, [&](std::vector<EffectSlot>& effects, uint32_t rate,
                                          uint32_t channels) {
        seenRate = rate;
        seenChannels = channels;
        effects.push_back({5, std::make_unique<AddThenRecord>(1.0f, &firstCalls)});
        effects.push_back({6, nullptr});
        effects.push_back({9, std::make_unique<AddThenRecord>(0.5f, &secondCalls)});
    }));
    EXPECT_EQ(seenRate, 22050u);
    EXPECT_EQ(seenChannels, 1u);
    ASSERT_TRUE(setAttributes(h, 44100, -1, -101));

    const std::vector<float> out = Render(h, 300);
    ASSERT_EQ(out.size(), 600u);
    for (size_t i = 0; i < 300; ++i) {
        const float expected = ((RampSample(i, 0) + 1.0f) * 2.0f + 0.5f) * 2.0f;
        ASSERT_EQ(out[2 * i], expected) << i;
        ASSERT_EQ(out[2 * i + 1], expected) << i;
    }
    // Mono frames reach the effects before the stereo step.
    size_t frames = 0;
    for (size_t n : firstCalls) frames += n;
    EXPECT_EQ(frames, 300u);
    EXPECT_EQ(firstCalls, secondCalls);
    releaseStream(h);
}

TEST(ChannelPipeline, NonFiniteSamplesReachTheEffectsAsZero) {
    const auto damaged = [](uint64_t n, uint32_t) {
        if (n % 3 == 0) return std::numeric_limits<float>::quiet_NaN();
        if (n % 3 == 1) return n % 2 ? std::numeric_limits<float>::infinity()
                                     : -std::numeric_limits<float>::infinity();
        return 0.25f;
    };
    const Handle h = Make(44100, 1, 30, kFloatSamples, damaged);
    std::vector<size_t> calls;
    ASSERT_TRUE(editChannelEffects(h, [&](std::vector<EffectSlot>& effects, uint32_t, uint32_t) {
        effects.push_back({5, std::make_unique<AddThenRecord>(0.0f, &calls)});
    }));
    const std::vector<float> out = Render(h, 30);
    ASSERT_EQ(out.size(), 60u);
    for (size_t i = 0; i < 60; ++i) ASSERT_EQ(out[i], (i / 2) % 3 == 2 ? 0.5f : 0.0f) << i;
    releaseStream(h);
}

TEST(ChannelPipeline, UnplayableDecodersMakeNoChannel) {
    EXPECT_EQ(Make(44100, 0, 100), 0u);
    EXPECT_EQ(Make(0, 2, 100), 0u);
    EXPECT_EQ(Library::Instance().addChannel(nullptr, ChannelKind::File, 0), 0u);
    // Opening builds no rate converter, whatever rate a header claims.
    const Handle claimed = Make(1000000000, 2, 100);
    EXPECT_EQ(lengthBytes(claimed), 800u);
    releaseStream(claimed);
}
