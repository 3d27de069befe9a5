// The audio wrappers of the engine: creation by trial, release by type,
// lengths and times.
#include <SDL.h>
#include <fstream>
#include <gtest/gtest.h>

#include "engine/Tonik_utilfunc.h"
#include "AudioTestFiles.h"

using audiotest::SignalWav;
using audiotest::TempFolder;

namespace {

bool Exists(HSTREAM h) {
    audio::ChannelInfo info;
    return audio::channelInfo(h, info);
}

} // namespace

TEST(AudioWrappers, FormatTimeHasUnlimitedMinutes) {
    EXPECT_EQ(FormatTime(0), "00:00");
    EXPECT_EQ(FormatTime(59), "00:59");
    EXPECT_EQ(FormatTime(600), "10:00");
    EXPECT_EQ(FormatTime(3599), "59:59");
    EXPECT_EQ(FormatTime(3600), "60:00");
    EXPECT_EQ(FormatTime(6000), "100:00");
    EXPECT_EQ(FormatTime(4294967295u), "71582788:15");
}

TEST(AudioWrappers, HandleZeroIsNoChannel) {
    EXPECT_EQ(ChannelSeconds(0), 0.0f);
    EXPECT_EQ(PositionSeconds(0), 0.0f);
    FreeChannel(0);
    EXPECT_EQ(audio::activity(0), audio::kStopped);
}

TEST(AudioWrappers, CreationFindsTheKindByContentAndSetsTheFlags) {
    TempFolder folder;
    // A WAV under an MPEG name still opens, as a WAV.
    const std::string disguised = SignalWav(folder, "song.mp3", 44100, 2, 0.5);
    const HSTREAM h = CreateFileChannel(disguised, 0x20000, 0x20000);
    ASSERT_NE(h, 0u);
    audio::ChannelInfo info;
    ASSERT_TRUE(audio::channelInfo(h, info));
    EXPECT_EQ(info.type, audio::kTypeWav);
    EXPECT_EQ(info.flags, 0x20000u | FloatProbe());
    EXPECT_EQ(FloatProbe(), 256u);
    EXPECT_EQ(info.bits, 32u);
    EXPECT_FLOAT_EQ(ChannelSeconds(h), 0.5f);
    EXPECT_EQ(PositionSeconds(h), 0.0f);
    ASSERT_TRUE(audio::seekBytes(h, 11025u * 8));
    EXPECT_FLOAT_EQ(PositionSeconds(h), 0.25f);
    FreeChannel(h);
    EXPECT_FALSE(Exists(h));

    const std::string text = folder / "notes.wav";
    std::ofstream(text) << "These are not the samples you are looking for.\n";
    EXPECT_EQ(CreateFileChannel(text, 0x20000, 0x20000), 0u);
    EXPECT_EQ(FileSeconds(text), 0.0f);
    EXPECT_EQ(FileDurationText(text), "00:00");
}

TEST(AudioWrappers, FileSecondsMeasuresWithoutTheDeviceAndKeepsNoChannel) {
    TempFolder folder;
    const std::string wav = SignalWav(folder, "a.wav", 44100, 2, 2.5);
    const HSTREAM before = CreateFileChannel(wav, 0x20000, 0x20000);
    FreeChannel(before);
    EXPECT_FLOAT_EQ(FileSeconds(wav), 2.5f);
    EXPECT_EQ(FileDurationText(wav), "00:02");
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    // The two measuring channels in between are gone.
    const HSTREAM after = CreateFileChannel(wav, 0x20000, 0x20000);
    EXPECT_EQ(after, before + 3);
    EXPECT_FALSE(Exists(before + 1));
    EXPECT_FALSE(Exists(before + 2));
    FreeChannel(after);
}

TEST(AudioWrappers, FreeChannelUsesTheModuleReleaseForModules) {
    TempFolder folder;
    const std::string mod = folder / "tune.mod";
    ASSERT_TRUE(fixtures::WriteMod(mod, 2.0));
    const HSTREAM module = CreateFileChannel(mod, 0x20000, 0x20000);
    ASSERT_NE(module, 0u);
    audio::ChannelInfo info;
    ASSERT_TRUE(audio::channelInfo(module, info));
    EXPECT_GE(info.type, audio::kTypeModMod);
    EXPECT_LE(info.type, audio::kTypeModIt);
    EXPECT_EQ(info.flags, 0x20000u | 256u | 0x200u);
    // The stream release refuses it, so only the right choice frees it.
    EXPECT_FALSE(audio::releaseStream(module));
    FreeChannel(module);
    EXPECT_FALSE(Exists(module));

    const HSTREAM measured = CreateFileChannel(mod, 0x20000, 0x120000);
    EXPECT_GT(ChannelSeconds(measured), 1.0f);
    FreeChannel(measured);
    EXPECT_FALSE(Exists(measured));

    const HSTREAM stream = CreateFileChannel(SignalWav(folder, "a.wav", 44100, 2, 0.01), 0x20000, 0x20000);
    EXPECT_FALSE(audio::releaseModule(stream));
    FreeChannel(stream);
    EXPECT_FALSE(Exists(stream));
}
