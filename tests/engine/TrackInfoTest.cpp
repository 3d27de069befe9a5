// The information line, the status label's marquee, the time label and the
// application title in every playback state.
#include <filesystem>

#include "audio/AudioLibrary.h"
#include "tests/engine/EngineTest.h"
#include "testdata/TaggedEncodings.h"
#include "tests/fixtures/Fixtures.h"

using TrackInfoTest = EngineTest;

TEST_F(TrackInfoTest, DisplaysInEveryState) {
    EXPECT_EQ(engine->ElapsedText(), "00:00");
    Messages.Slot(8) = "sTOPPED now";
    engine->Tick();
    EXPECT_EQ(view.tipText, "STOPPED NOW");
    EXPECT_EQ(view.applicationTitle, "stopped now - Nilo Music Player");
    EXPECT_EQ(view.timeLabel, " 00:00");

    AddAll({MakeWav("Untagged Song.wav", 70, 22050, 1)});
    engine->PlaySelectedEntry();
    EXPECT_EQ(engine->TrackInfo, "Untagged Song (01:10) * Mono * 22 kHz * 352 kbps");
    engine->Tick();
    EXPECT_EQ(view.tipText, "U");
    EXPECT_EQ(view.applicationTitle, "Untagged Song (01:10)  - Nilo Music Player");
    SeekToEnd(70 - 61.9);
    engine->Tick();
    EXPECT_EQ(view.timeLabel, " 01:01");
    EXPECT_EQ(engine->Elapsed, 61u);

    engine->Mute = true;
    engine->Tick();
    EXPECT_EQ(view.tipText, "MUTED");
    EXPECT_EQ(view.applicationTitle, "Muted - Nilo Music Player");

    engine->PauseCommand();
    view.timeLabel = "unchanged";
    engine->Tick();
    EXPECT_EQ(view.tipText, "PAUSED | MUTED");
    EXPECT_EQ(view.applicationTitle, "Paused | Muted - Nilo Music Player");
    EXPECT_EQ(view.timeLabel, "unchanged");
    engine->Mute = false;
    engine->Tick();
    EXPECT_EQ(view.tipText, "PAUSED");
    EXPECT_EQ(view.applicationTitle, "Paused - Nilo Music Player");

    engine->StopCommand();
    engine->Tick();
    EXPECT_EQ(view.tipText, "STOPPED NOW");
    EXPECT_EQ(view.timeLabel, " 00:00");
}

TEST_F(TrackInfoTest, TaggedFilesAndStreams) {
    // A stream shows its station's name or its address, without length or bit rate.
    engine->CurrentFile = "http://127.0.0.1:9/live";
    engine->StationName = "";
    engine->BuildTrackInfo();
    EXPECT_EQ(engine->TrackInfo.rfind("http://127.0.0.1:9/live * ", 0), 0u) << engine->TrackInfo;
    EXPECT_EQ(engine->TrackInfo.find("kbps"), std::string::npos);
    engine->StationName = "Radio One";
    engine->BuildTrackInfo();
    EXPECT_EQ(engine->TrackInfo.rfind("Radio One * ", 0), 0u);

    if (!fixtures::HaveTool("lame")) GTEST_SKIP() << "lame is needed for a tagged MP3";
    const std::string mp3 = dir + "/song.mp3";
    ASSERT_TRUE(fixtures::EncodeMp3(MakeWav("song.wav", 5), mp3, "-b 128 --ta Artist --tt Title --add-id3v2"));
    engine->StationName = "";
    engine->AddEntry(mp3);
    engine->PlaySelectedEntry();
    EXPECT_EQ(engine->TrackInfo.rfind("Artist - Title (00:05) * Stereo * 44 kHz * 1", 0), 0u) << engine->TrackInfo;
    engine->Tick();
    EXPECT_EQ(view.applicationTitle, "Artist - Title (00:05)  - Nilo Music Player");
}

TEST_F(TrackInfoTest, MarqueeOverAHundredSteps) {
    AddAll({MakeWav("long.wav", 20)});
    engine->PlaySelectedEntry();
    const std::string shortLine = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcd"; // 30 characters
    engine->TrackInfo = shortLine;
    MarqueeWidth = MarqueeStart = MarqueeHoldFull = MarqueeHoldEnd = 0;
    std::vector<std::string> shown;
    for (int step = 0; step < 100; ++step) {
        engine->UpdateStatus();
        shown.push_back(view.tipText);
    }
    const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZABCD";
    for (int step = 1; step <= 30; ++step) EXPECT_EQ(shown[step - 1], upper.substr(0, step)) << step;
    for (int step = 31; step <= 50; ++step) EXPECT_EQ(shown[step - 1], upper) << step;
    EXPECT_EQ(shown[50], "");
    EXPECT_EQ(shown[51], "A");
    EXPECT_EQ(shown[51 + 29], upper);
    EXPECT_EQ(shown[99], upper);

    // A line longer than 55 characters grows to 56, scrolls to its end,
    // holds and starts again; characters are counted, not bytes.
    std::string longLine;
    for (int i = 0; i < 60; ++i) longLine += i % 2 ? "x" : "\xD1\x8F"; // "я"
    engine->TrackInfo = longLine;
    MarqueeWidth = MarqueeStart = MarqueeHoldFull = MarqueeHoldEnd = 0;
    shown.clear();
    for (int step = 0; step < 100; ++step) {
        engine->UpdateStatus();
        shown.push_back(view.tipText);
    }
    const auto chars = [](const std::string& s) {
        size_t n = 0;
        for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        return n;
    };
    EXPECT_EQ(chars(shown[54]), 55u);
    EXPECT_EQ(chars(shown[55]), 56u);
    EXPECT_EQ(shown[55].substr(0, 2), "\xD0\xAF") << "upper case";
    EXPECT_EQ(shown[56].substr(0, 1), "X") << "scrolled by one";
    EXPECT_EQ(shown[59].substr(shown[59].size() - 1), "X") << "the end is shown";
    EXPECT_EQ(shown[60], shown[59]);
    EXPECT_EQ(shown[79], shown[59]);
    EXPECT_EQ(shown[80], "");
    EXPECT_EQ(chars(shown[81]), 1u);
}

TEST_F(TrackInfoTest, TodaysKindsShowTheirOwnFigures) {
    // The lossless kinds add the bits they store; Opus always plays at 48 kHz.
    const std::string wav = MakeWav("today.wav", 5);
    const std::string hiRes = dir + "/hires.wav";
    ASSERT_TRUE(fixtures::Run("sox " + fixtures::ShellQuote(wav) + " -b 24 -r 96000 " + fixtures::ShellQuote(hiRes)));
    struct Kind {
        fixtures::TaggedKind kind;
        std::string source, name, figures;
    };
    for (const Kind& k : std::vector<Kind>{{fixtures::TaggedKind::Flac, hiRes, "hires.flac", "Stereo * 96 kHz * 24 bit * "},
                                          {fixtures::TaggedKind::M4aAlac, wav, "alac.m4a", "Stereo * 44 kHz * 16 bit * "},
                                          {fixtures::TaggedKind::M4aAac, wav, "aac.m4a", "Stereo * 44 kHz * "},
                                          {fixtures::TaggedKind::Opus, wav, "voice.opus", "Stereo * 48 kHz * "}}) {
        const std::string file = dir + "/" + k.name;
        ASSERT_TRUE(fixtures::EncodeTagged(k.kind, k.source, file, {.Title = "Title", .Artist = "Artist"})) << k.name;
        engine->AddEntry(file);
        engine->CurrentIndex = int32_t(engine->Paths.size()) - 1;
        engine->PlayCurrent();
        const auto kbps = uint64_t(double(std::filesystem::file_size(file)) * 0.008 / 5);
        EXPECT_EQ(engine->TrackInfo, "Artist - Title (00:05) * " + k.figures + std::to_string(kbps) + " kbps") << k.name;
    }
}
