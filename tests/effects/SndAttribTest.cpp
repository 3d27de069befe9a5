#include <gtest/gtest.h>

#include <filesystem>

#include "ChannelSession.h"
#include "SignalLevels.h"
#include "effects/SndAttrib.h"

using namespace effects_test;

TEST(SndAttrib, TextsOfRateModeTypeAndBitRate) {
    ChannelSession session;
    const std::string stereo = session.WriteWav16(44100, 2, Sine(440, 0.3, 44100, 2, 44100 * 2));
    TSndAttrib a = GetSndAttrib(session.Open(stereo), stereo);
    EXPECT_EQ(a.SampleRate, "44 kHz");
    EXPECT_EQ(a.ChannelMode, "Stereo");
    EXPECT_EQ(a.ChannelType, std::to_string(audio::kTypeWav));
    // 176400 bytes a second plus the header, over two whole seconds.
    EXPECT_EQ(std::filesystem::file_size(stereo), 352844u);
    EXPECT_EQ(a.BitRate, "1411 kbps");

    // 2.9 seconds count as two: the size is divided by whole seconds.
    const std::string mono = session.WriteWav16(22050, 1, Sine(440, 0.3, 22050, 1, 63945));
    a = GetSndAttrib(session.Open(mono), mono);
    EXPECT_EQ(a.SampleRate, "22 kHz");
    EXPECT_EQ(a.ChannelMode, "Mono");
    EXPECT_EQ(a.BitRate, std::to_string(uint64_t((63945 * 2 + 44) * 0.008 / 2)) + " kbps");

    const std::string brief = session.WriteWav16(48000, 2, Sine(440, 0.3, 48000, 2, 47999));
    a = GetSndAttrib(session.Open(brief), brief);
    EXPECT_EQ(a.SampleRate, "48 kHz");
    EXPECT_EQ(a.BitRate, "0 kbps");

    const std::vector<std::pair<uint32_t, std::string>> modes = {
        {3, "Unknown"}, {4, "Unknown"}, {5, "4.1"}, {6, "5.1"}, {7, "Unknown"}, {8, "7.1"}};
    for (const auto& [channels, name] : modes) {
        const std::string wav = session.WriteWav16(8000, channels, Sine(440, 0.3, 8000, channels, 8000));
        const audio::Handle h = session.Open(wav);
        ASSERT_NE(h, 0u) << channels;
        a = GetSndAttrib(h, wav);
        EXPECT_EQ(a.ChannelMode, name) << channels;
        EXPECT_EQ(a.SampleRate, "8 kHz");
    }

    a = GetSndAttrib(0, "");
    EXPECT_EQ(a.SampleRate, "0 kHz");
    EXPECT_EQ(a.ChannelType, "0");
    EXPECT_EQ(a.BitRate, "0 kbps");
    EXPECT_EQ(a.ChannelMode, "Unknown");
    // A file that cannot be read has no size to count.
    a = GetSndAttrib(session.Open(stereo), "/nonexistent/file.wav");
    EXPECT_EQ(a.BitRate, "0 kbps");
}
