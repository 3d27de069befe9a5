// Real files through the real SDL device: activity over play, pause, stop
// and the natural end on the dummy driver, and the mixed samples themselves
// on the disk driver.
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "audio/AudioLibrary.h"
#include "AudioTestFiles.h"

using namespace audio;
using namespace std::chrono_literals;
using audiotest::Buffered;
using audiotest::SignalWav;
using audiotest::TempFolder;
using audiotest::WaitFor;

TEST(Playback, ActivityFollowsPlayPauseStopAndTheNaturalEnd) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    TempFolder folder;
    const Handle h = openFileChannel(SignalWav(folder, "a.wav", 44100, 2, 0.6), 0, 0, kFloatSamples);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(activity(h), kStopped);
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));

    ASSERT_TRUE(play(h, false));
    EXPECT_EQ(activity(h), kPlaying);
    ASSERT_TRUE(WaitFor([&] { return positionBytes(h) > 0; }));

    ASSERT_TRUE(pause(h));
    EXPECT_EQ(activity(h), kPaused);
    const uint64_t paused = positionBytes(h);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(positionBytes(h), paused);

    ASSERT_TRUE(play(h, false));
    EXPECT_EQ(activity(h), kPlaying);
    ASSERT_TRUE(WaitFor([&] { return positionBytes(h) > paused; }));

    ASSERT_TRUE(stop(h));
    EXPECT_EQ(activity(h), kStopped);
    const uint64_t stopped = positionBytes(h);
    EXPECT_GT(stopped, paused);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(positionBytes(h), stopped);

    // Resumes where it stopped and runs to its natural end.
    ASSERT_TRUE(play(h, false));
    EXPECT_GE(positionBytes(h), stopped);
    ASSERT_TRUE(WaitFor([&] { return activity(h) == kStopped; }));
    EXPECT_EQ(positionBytes(h), lengthBytes(h));

    // Played again after its end, it starts over.
    ASSERT_TRUE(play(h, false));
    EXPECT_EQ(activity(h), kPlaying);
    EXPECT_LT(positionBytes(h), lengthBytes(h));
    closeOutput();
}

TEST(Playback, StoppedOutputHoldsPlayingChannels) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    TempFolder folder;
    const Handle h = openFileChannel(SignalWav(folder, "a.wav", 22050, 1, 2.0), 0, 0, 0);
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    ASSERT_TRUE(play(h, false));
    ASSERT_TRUE(WaitFor([&] { return positionBytes(h) > 0; }));
    stopOutput();
    std::this_thread::sleep_for(50ms);
    const uint64_t held = positionBytes(h);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(positionBytes(h), held);
    EXPECT_EQ(activity(h), kPlaying);
    startOutput();
    EXPECT_TRUE(WaitFor([&] { return positionBytes(h) > held; }));
    closeOutput();
}

TEST(Playback, OpenOutputFailsCleanlyWhenTheDeviceCannotOpen) {
    TempFolder folder;
    // The disk driver initialises but cannot open a file in a missing folder.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (folder / "missing/out.raw").c_str(), 1);
    EXPECT_FALSE(openOutput(-1, 44100, kFloatSamples));
    const Handle h = openFileChannel(SignalWav(folder, "a.wav", 44100, 2, 0.1), 0, 0, kFloatSamples);
    EXPECT_FALSE(play(h, false));

    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_FALSE(openOutput(-1, 48000, kFloatSamples));
    EXPECT_FALSE(openOutput(99, 44100, kFloatSamples));
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    EXPECT_TRUE(openOutput(-1, 44100, kFloatSamples));
    EXPECT_TRUE(play(h, false));
    closeOutput();
}

TEST(Playback, TheDeviceReceivesTheSumOfThePlayingChannels) {
    TempFolder folder;
    const std::string a = SignalWav(folder, "a.wav", 44100, 2, 0.5);
    const std::string b = SignalWav(folder, "b.wav", 22050, 1, 0.3);
    const std::string raw = folder / "out.raw";
    audiotest::UseDiskDriver(raw, false);

    std::vector<float> expected = audiotest::RenderFile(a);
    const std::vector<float> second = audiotest::RenderFile(b, 60, 40);
    ASSERT_LT(second.size(), expected.size());
    for (size_t i = 0; i < second.size(); ++i) expected[i] += second[i];

    const Handle ha = openFileChannel(a, 0, 0, kFloatSamples);
    const Handle hb = openFileChannel(b, 0, 0, kFloatSamples);
    ASSERT_TRUE(setAttributes(hb, -1, 60, 40));
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    // Both start in the same device block.
    stopOutput();
    ASSERT_TRUE(play(ha, false));
    ASSERT_TRUE(play(hb, false));
    ASSERT_TRUE(Buffered({ha, hb}));
    startOutput();
    ASSERT_TRUE(WaitFor([&] { return activity(ha) == kStopped && activity(hb) == kStopped; }));
    closeOutput();

    EXPECT_TRUE(audiotest::DeviceFileHolds(raw, expected));
}

TEST(Playback, AQueuedChannelStartsOnTheSampleAfterTheEnd) {
    TempFolder folder;
    const std::string a = SignalWav(folder, "a.wav", 44100, 2, 0.37);
    const std::string b = SignalWav(folder, "b.wav", 22050, 1, 0.21);
    const std::string raw = folder / "out.raw";
    audiotest::UseDiskDriver(raw, false);

    std::vector<float> expected = audiotest::RenderFile(a);
    const std::vector<float> second = audiotest::RenderFile(b);
    expected.insert(expected.end(), second.begin(), second.end());

    const Handle ha = openFileChannel(a, 0, 0, kFloatSamples);
    const Handle hb = openFileChannel(b, 0, 0, kFloatSamples);
    const Handle dropped = openFileChannel(b, 0, 0, kFloatSamples);
    EXPECT_FALSE(queueNext(ha, ha));
    EXPECT_FALSE(queueNext(0, hb));
    ASSERT_TRUE(queueNext(ha, dropped));
    ASSERT_TRUE(queueNext(ha, 0));
    ASSERT_TRUE(queueNext(ha, hb));
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    stopOutput();
    ASSERT_TRUE(play(ha, false));
    ASSERT_TRUE(Buffered({ha, hb}));
    startOutput();
    ASSERT_TRUE(WaitFor([&] { return activity(ha) == kStopped && activity(hb) == kStopped; }));
    EXPECT_EQ(positionBytes(hb), lengthBytes(hb));
    EXPECT_EQ(activity(dropped), kStopped);
    EXPECT_EQ(positionBytes(dropped), 0u);
    closeOutput();

    EXPECT_TRUE(audiotest::DeviceFileHolds(raw, expected));
}

TEST(Playback, CreationCallsRefuseOffsetsAndForeignContent) {
    TempFolder folder;
    const std::string wav = SignalWav(folder, "a.wav", 44100, 2, 0.1);
    EXPECT_EQ(openFileChannel(wav, 44, 0, 0), 0u);
    EXPECT_EQ(openFileChannel(wav, 0, 100, 0), 0u);
    EXPECT_EQ(openModuleChannel(wav, 4, 0, 0, 0), 0u);
    EXPECT_EQ(openMidiChannel(wav, 0, 4, 0, 44100), 0u);
    EXPECT_EQ(openCdChannel(folder / "Track01.cda", 0), 0u);
    EXPECT_EQ(openFileChannel(folder / "missing.wav", 0, 0, 0), 0u);
    const Handle h = openFileChannel(wav, 0, 0, 0);
    EXPECT_EQ(channelKind(h), ChannelKind::File);
    releaseStream(h);
}
