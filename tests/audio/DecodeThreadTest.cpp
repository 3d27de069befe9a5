// The decode thread between the decoders and the device: what the device
// plays is the render, seeks act at once, hand-overs stay gapless for short
// channels, and the device never starves while the caller sleeps or a slow
// seek runs.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "AudioTestFiles.h"
#include "audio/AudioLibrary.h"
#include "audio/EffectsLibrary.h"

using namespace audio;
using namespace std::chrono_literals;
using audiotest::Buffered;
using audiotest::FirstSoundingFrame;
using audiotest::RenderAll;
using audiotest::SignalWav;
using audiotest::TempFolder;
using audiotest::UseDiskDriver;
using audiotest::WaitFor;

namespace {

std::vector<float> Tail(const std::vector<float>& stereo, size_t fromFrame) {
    return {stereo.begin() + static_cast<std::ptrdiff_t>(2 * fromFrame), stereo.end()};
}

// heard, from its first sounding frame on, starts with expected from its
// first sounding frame on; returns the frames of heard that matched.
size_t MatchingFrames(const std::vector<float>& heard, const std::vector<float>& expected) {
    const size_t lead = FirstSoundingFrame(expected);
    const size_t start = FirstSoundingFrame(heard);
    size_t frames = 0;
    while (2 * (start + frames) + 1 < heard.size() && 2 * (lead + frames) + 1 < expected.size() &&
           heard[2 * (start + frames)] == expected[2 * (lead + frames)] &&
           heard[2 * (start + frames) + 1] == expected[2 * (lead + frames) + 1])
        ++frames;
    return start + frames;
}

} // namespace

TEST(DecodeThread, TheDeviceHearsTheRenderAndASeekGoesOnFromItsTarget) {
    TempFolder folder;
    const std::string wav = SignalWav(folder, "a.wav", 44100, 2, 2.0);
    const std::string raw = folder / "out.raw";
    std::vector<float> expected;
    {
        const Handle r = openFileChannel(wav, 0, 0, kFloatSamples);
        expected = RenderAll(r);
        releaseStream(r);
    }
    constexpr uint64_t kTarget = 52920; // 1.2 s
    constexpr uint64_t kFrameBytes = 8;

    UseDiskDriver(raw, true);
    const Handle h = openFileChannel(wav, 0, 0, kFloatSamples);
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    ASSERT_TRUE(play(h, false));
    ASSERT_TRUE(WaitFor([&] { return positionBytes(h) > 13230 * kFrameBytes; }));
    ASSERT_TRUE(seekBytes(h, kTarget * kFrameBytes));
    // The device's position: the target, or a few blocks past it already.
    const uint64_t afterSeek = positionBytes(h);
    EXPECT_GE(afterSeek, kTarget * kFrameBytes);
    EXPECT_LT(afterSeek, (kTarget + 8820) * kFrameBytes);
    ASSERT_TRUE(WaitFor([&] { return activity(h) == kStopped; }));
    EXPECT_EQ(positionBytes(h), lengthBytes(h));
    closeOutput();

    // The start as rendered, up to where the seek took hold; then, after at
    // most some silence while the worker refilled, the render from the target
    // to the end.
    const std::vector<float> heard = audiotest::DeviceFile(raw);
    const size_t before = MatchingFrames(heard, expected);
    EXPECT_GT(before, FirstSoundingFrame(heard) + 13230);
    const std::vector<float> fromTarget = Tail(expected, kTarget);
    const size_t after = MatchingFrames(Tail(heard, before), fromTarget);
    EXPECT_EQ(after - FirstSoundingFrame(Tail(heard, before)),
              fromTarget.size() / 2 - FirstSoundingFrame(fromTarget));
}

TEST(DecodeThread, ChannelsShorterThanABlockHandOverGaplesslyInAChain) {
    TempFolder folder;
    const std::string a = SignalWav(folder, "a.wav", 44100, 2, 0.007);
    const std::string b = SignalWav(folder, "b.wav", 22050, 1, 0.01);
    const std::string c = SignalWav(folder, "c.wav", 44100, 2, 0.2);
    const std::string raw = folder / "out.raw";
    std::vector<float> expected;
    for (const std::string& path : {a, b, c}) {
        const Handle r = openFileChannel(path, 0, 0, kFloatSamples);
        const std::vector<float> part = RenderAll(r);
        expected.insert(expected.end(), part.begin(), part.end());
        releaseStream(r);
    }
    ASSERT_LT(expected.size(), 2u * 44100 / 4);

    UseDiskDriver(raw, false);
    const Handle ha = openFileChannel(a, 0, 0, kFloatSamples);
    const Handle hb = openFileChannel(b, 0, 0, kFloatSamples);
    const Handle hc = openFileChannel(c, 0, 0, kFloatSamples);
    ASSERT_TRUE(queueNext(ha, hb));
    ASSERT_TRUE(queueNext(hb, hc));
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    stopOutput();
    ASSERT_TRUE(play(ha, false));
    ASSERT_TRUE(Buffered({ha, hb, hc}));
    startOutput();
    ASSERT_TRUE(WaitFor([&] {
        return activity(ha) == kStopped && activity(hb) == kStopped && activity(hc) == kStopped;
    }));
    EXPECT_EQ(positionBytes(hc), lengthBytes(hc));
    closeOutput();

    EXPECT_TRUE(audiotest::DeviceFileHolds(raw, expected));
}

TEST(DecodeThread, SeeksInQuickSuccessionAreHeardWithAnEffectOn) {
    // With an effect the thread keeps only a short stretch ahead, which the
    // start of one seek can fill while the next seek arrives.
    TempFolder folder;
    const std::string wav = SignalWav(folder, "a.wav", 44100, 2, 10.0);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const Handle h = openFileChannel(wav, 0, 0, kFloatSamples);
    ASSERT_TRUE(installEffect(h, kEffectReverb));
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    ASSERT_TRUE(play(h, false));
    constexpr uint64_t kFrameBytes = 8;
    for (uint64_t i = 0; i < 60; ++i) {
        const uint64_t second = (100000 + 4000 * i) * kFrameBytes;
        ASSERT_TRUE(seekBytes(h, (20000 + 1000 * i) * kFrameBytes));
        std::this_thread::sleep_for(std::chrono::microseconds(25 * i));
        ASSERT_TRUE(seekBytes(h, second));
        ASSERT_TRUE(WaitFor([&] { return positionBytes(h) != second; }, 2s)) << "seek " << i;
    }
    closeOutput();
}

TEST(DecodeThread, AnMp3PlaysOnWhileTheCallerSleeps) {
    TempFolder folder;
    const std::string wav = SignalWav(folder, "a.wav", 44100, 2, 4.0);
    const std::string mp3 = folder / "a.mp3";
    ASSERT_TRUE(fixtures::EncodeMp3(wav, mp3, "-b 192"));
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const Handle h = openFileChannel(mp3, 0, 0, kExactLength | kFloatSamples);
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    ASSERT_TRUE(play(h, false));
    ASSERT_TRUE(WaitFor([&] { return positionBytes(h) > 0; }));
    const uint64_t shortBlocks = underruns();
    const uint64_t before = positionBytes(h);
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(underruns(), shortBlocks);
    EXPECT_GT(positionBytes(h), before + 44100 * 8);
    EXPECT_EQ(activity(h), kPlaying);
    closeOutput();
}

TEST(DecodeThread, AMidiSeekReturnsAtOnceAndTheSoundGoesOnFromTheTarget) {
    TempFolder folder;
    const std::string midi = folder / "song.mid";
    ASSERT_TRUE(fixtures::WriteMidi(midi, 60));
    const std::string raw = folder / "out.raw";
    UseDiskDriver(raw, true);
    const Handle h = openMidiChannel(midi, 0, 0, 0, 44100);
    ASSERT_NE(h, 0u) << "no SoundFont under /usr/share/sounds/sf2?";
    constexpr uint64_t kFrameBytes = 4; // stereo 16-bit
    const uint64_t target = lengthBytes(h) - 2 * 44100 * kFrameBytes;
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    ASSERT_TRUE(play(h, false));
    ASSERT_TRUE(WaitFor([&] { return positionBytes(h) > 0; }));

    const auto called = std::chrono::steady_clock::now();
    ASSERT_TRUE(seekBytes(h, target));
    const auto returned = std::chrono::steady_clock::now();
    EXPECT_EQ(positionBytes(h), target);
    const uintmax_t heardBeforeSeek = std::filesystem::file_size(raw);
    ASSERT_TRUE(WaitFor([&] { return positionBytes(h) > target; }));
    // The synthesizer renders 58 s of song to get there: the call must not
    // have waited for it.
    EXPECT_LT((returned - called) * 10, std::chrono::steady_clock::now() - called);
    ASSERT_TRUE(WaitFor([&] { return activity(h) == kStopped; }));
    EXPECT_EQ(positionBytes(h), lengthBytes(h));
    closeOutput();

    // Two device blocks may still hold the old position; the rest is the song's end.
    const std::vector<float> heard = audiotest::DeviceFile(raw);
    size_t sounding = 0;
    for (size_t i = heardBeforeSeek / sizeof(float) + 2 * 2048; i < heard.size(); ++i)
        if (heard[i] != 0.0f) ++sounding;
    EXPECT_GT(sounding, 44100u);

    // Released while the decode thread still seeks it, it goes at once; the
    // thread lets go of it when the seek is done.
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    const Handle busy = openMidiChannel(midi, 0, 0, 0, 44100);
    ASSERT_TRUE(play(busy, false));
    ASSERT_TRUE(seekBytes(busy, target));
    EXPECT_TRUE(releaseStream(busy));
    EXPECT_EQ(activity(busy), kStopped);
    closeOutput();
}
