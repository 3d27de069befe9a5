// The handle table and the calls' answers for handle 0, unknown handles and
// channels of the wrong kind.
#include <SDL.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

#include "GeneratedDecoder.h"
#include "audio/AudioLibrary.h"
#include "audio/Library.h"

using namespace audio;
using audiotest::GeneratedDecoder;

namespace {

Handle Make(ChannelKind kind, uint32_t flags = 0, uint32_t type = kTypeWav) {
    return Library::Instance().addChannel(
        std::make_unique<GeneratedDecoder>(44100, 2, 1000, audiotest::RampSample, type), kind,
        flags);
}

// Every call on h must behave as for "no channel".
void ExpectNoChannel(Handle h) {
    EXPECT_EQ(lengthBytes(h), 0u);
    EXPECT_EQ(positionBytes(h), 0u);
    EXPECT_EQ(bytesToSeconds(h, 1000), 0.0);
    EXPECT_FALSE(seekBytes(h, 0));
    EXPECT_EQ(activity(h), kStopped);
    EXPECT_FALSE(play(h, false));
    EXPECT_FALSE(play(h, true));
    EXPECT_FALSE(pause(h));
    EXPECT_FALSE(stop(h));
    EXPECT_FALSE(setAttributes(h, -1, 50, -101));
    uint32_t rate = 7;
    int volume = 7, pan = 7;
    EXPECT_FALSE(readAttributes(h, &rate, &volume, &pan));
    EXPECT_EQ(rate, 7u);
    EXPECT_EQ(volume, 7);
    EXPECT_EQ(pan, 7);
    float frame[2] = {1, 1};
    EXPECT_EQ(renderOutput(h, frame, 1), 0u);
    ChannelInfo info;
    info.type = 7;
    EXPECT_FALSE(channelInfo(h, info));
    EXPECT_EQ(info.type, 7u);
    EXPECT_EQ(channelKind(h), ChannelKind::None);
    EXPECT_FALSE(editChannelEffects(h, [](std::vector<EffectSlot>&, uint32_t, uint32_t) {
        ADD_FAILURE() << "ran for a missing channel";
    }));
    EXPECT_FALSE(releaseStream(h));
    EXPECT_FALSE(releaseModule(h));
}

} // namespace

TEST(ChannelHandles, HandleZeroAndUnknownHandlesAreNoChannel) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    ExpectNoChannel(0);
    ExpectNoChannel(12345);
    closeOutput();
}

TEST(ChannelHandles, HandlesAreNeverReused) {
    const Handle first = Make(ChannelKind::File);
    ASSERT_NE(first, 0u);
    ASSERT_TRUE(releaseStream(first));
    const Handle second = Make(ChannelKind::File);
    EXPECT_GT(second, first);
    ExpectNoChannel(first);
    EXPECT_EQ(channelKind(second), ChannelKind::File);
    releaseStream(second);
}

TEST(ChannelHandles, EachReleaseFreesOnlyItsOwnKind) {
    const Handle module = Make(ChannelKind::Module, 0, kTypeModXm);
    const Handle stream = Make(ChannelKind::Midi, 0, kTypeMidi);
    EXPECT_FALSE(releaseStream(module));
    EXPECT_FALSE(releaseModule(stream));
    EXPECT_EQ(channelKind(module), ChannelKind::Module);
    EXPECT_EQ(channelKind(stream), ChannelKind::Midi);
    EXPECT_TRUE(releaseModule(module));
    EXPECT_TRUE(releaseStream(stream));
    ExpectNoChannel(module);
    ExpectNoChannel(stream);
}

TEST(ChannelHandles, MeasureOnlyModulesCanBeMeasuredButNotPlayed) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    const Handle measured = Make(ChannelKind::Module, kMeasureOnly, kTypeModMod);
    EXPECT_EQ(lengthBytes(measured), 1000u * 4);
    EXPECT_FALSE(play(measured, false));
    float frames[8];
    EXPECT_EQ(renderOutput(measured, frames, 4), 0u);
    EXPECT_EQ(activity(measured), kStopped);
    // A file stream opened to be measured still plays.
    const Handle stream = Make(ChannelKind::File, kMeasureOnly);
    EXPECT_TRUE(play(stream, false));
    closeOutput();
}

TEST(ChannelHandles, ChannelsNeverTouchTheDeviceUntilPlayed) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const Handle h = Make(ChannelKind::File, kFloatSamples);
    float frames[20];
    EXPECT_EQ(renderOutput(h, frames, 10), 10u);
    EXPECT_TRUE(seekBytes(h, 0));
    EXPECT_GT(lengthBytes(h), 0u);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    // Nothing can be played before the output is open.
    EXPECT_FALSE(play(h, false));
    EXPECT_EQ(activity(h), kStopped);
    releaseStream(h);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST(ChannelHandles, CloseOutputReleasesEveryChannel) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    const Handle a = Make(ChannelKind::File);
    const Handle b = Make(ChannelKind::Module, 0, kTypeModIt);
    ASSERT_TRUE(play(a, false));
    closeOutput();
    ExpectNoChannel(a);
    ExpectNoChannel(b);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST(ChannelHandles, ConfigurationValuesAreKept) {
    EXPECT_EQ(configuration(1), 0u);
    configure(1, 10);
    configure(2, 7);
    configure(1, 12);
    EXPECT_EQ(configuration(1), 12u);
    EXPECT_EQ(configuration(2), 7u);
    EXPECT_NE(probeFloatOutput(), 0u);
}
