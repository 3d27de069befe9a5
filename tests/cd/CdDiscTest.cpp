// Discs as the program sees them: track counts, channels of exact length
// whose samples are those on the disc, the disc's texts, data tracks.
#include <gtest/gtest.h>

#include "CdTestImages.h"

using namespace audio;
using audiotest::RenderAll;
using audiotest::TempFolder;
using cdtest::AsFloat;
using cdtest::TrackPath;

namespace {

constexpr uint64_t kFloatFrameBytes = 8;

std::vector<uint32_t> TwelveTrackSectors()
{
    std::vector<uint32_t> sectors;
    for (uint32_t n = 0; n < 12; ++n)
        sectors.push_back(20 + 3 * n);
    return sectors;
}

} // namespace

TEST(CdDisc, TwelveTracksOpenWithExactLengthsAndTheirOwnSamples)
{
    TempFolder folder;
    const fixtures::CdImage image = cdtest::SignalDisc(TwelveTrackSectors());
    const std::string cue = cdtest::WriteDisc(folder, image);
    ASSERT_EQ(cdTrackCount(cue), 12);
    for (int n = 1; n <= 12; ++n) {
        const Handle h = openCdChannel(TrackPath(cue, n), kFloatSamples);
        ASSERT_NE(h, 0u) << n;
        EXPECT_EQ(channelKind(h), ChannelKind::Cd);
        const std::vector<int16_t>& samples = image.tracks[n - 1].samples;
        EXPECT_EQ(lengthBytes(h), samples.size() / 2 * kFloatFrameBytes);
        EXPECT_EQ(RenderAll(h), AsFloat(samples)) << n;
        releaseStream(h);
    }
    EXPECT_EQ(openCdChannel(TrackPath(cue, 13), 0), 0u);
    const Handle h16 = openCdChannel(TrackPath(cue, 1), 0);
    EXPECT_EQ(lengthBytes(h16), 20 * 588 * 4u);
    ChannelInfo info;
    ASSERT_TRUE(channelInfo(h16, info));
    EXPECT_EQ(info.rate, 44100u);
    EXPECT_EQ(info.channels, 2u);
    EXPECT_EQ(info.type, kTypeCd);
    releaseStream(h16);
}

TEST(CdDisc, ASeekLandsOnTheSample)
{
    TempFolder folder;
    const fixtures::CdImage image = cdtest::SignalDisc({30, 40});
    const std::string cue = cdtest::WriteDisc(folder, image);
    const Handle h = openCdChannel(TrackPath(cue, 2), kFloatSamples);
    for (uint64_t frame : {uint64_t{588 * 7 + 101}, uint64_t{13}, uint64_t{588 * 39}}) {
        ASSERT_TRUE(seekBytes(h, frame * kFloatFrameBytes));
        EXPECT_EQ(positionBytes(h), frame * kFloatFrameBytes);
        EXPECT_EQ(RenderAll(h), AsFloat(image.tracks[1].samples, frame)) << frame;
    }
    EXPECT_FALSE(seekBytes(h, lengthBytes(h) + kFloatFrameBytes));
    releaseStream(h);
}

TEST(CdDisc, TextsComeFromTheSheetAsUtf8)
{
    TempFolder folder;
    fixtures::CdImage image = cdtest::SignalDisc({10, 10, 10});
    image.title = "Disc";
    image.performer = "Band";
    image.tracks[0].title = "Caf\xC3\xA9 \xC5\x81\xC3\xB3" "d\xC5\xBA";
    image.tracks[0].performer = "\xC3\x91" "and\xC3\xBA";
    image.tracks[1].title = "Plain";
    const std::string cue = cdtest::WriteDisc(folder, image);
    CdTrackText text;
    ASSERT_TRUE(cdTrackText(TrackPath(cue, 1), text));
    EXPECT_EQ(text.title, image.tracks[0].title);
    EXPECT_EQ(text.performer, image.tracks[0].performer);
    ASSERT_TRUE(cdTrackText(TrackPath(cue, 2), text));
    EXPECT_EQ(text.title, "Plain");
    EXPECT_EQ(text.performer, "");
    EXPECT_FALSE(cdTrackText(TrackPath(cue, 3), text));
    EXPECT_FALSE(cdTrackText(TrackPath(cue, 4), text));

    TempFolder bare;
    const std::string plain = cdtest::WriteDisc(bare, cdtest::SignalDisc({10, 10}));
    EXPECT_FALSE(cdTrackText(TrackPath(plain, 1), text));
}

TEST(CdDisc, AOneTrackDiscPlaysToItsEnd)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    TempFolder folder;
    const std::string cue = cdtest::WriteDisc(folder, cdtest::SignalDisc({25}));
    EXPECT_EQ(cdTrackCount(cue), 1);
    const Handle h = openCdChannel(TrackPath(cue, 1), 0);
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    ASSERT_TRUE(play(h, false));
    ASSERT_TRUE(audiotest::WaitFor([&] { return positionBytes(h) > 0; }));
    ASSERT_TRUE(pause(h));
    EXPECT_EQ(activity(h), kPaused);
    ASSERT_TRUE(play(h, false));
    ASSERT_TRUE(audiotest::WaitFor([&] { return activity(h) == kStopped; }));
    EXPECT_EQ(positionBytes(h), lengthBytes(h));
    closeOutput();
}

TEST(CdDisc, AMixedDiscPlaysItsAudioTracksOnly)
{
    TempFolder folder;
    fixtures::CdImage image = cdtest::SignalDisc({12, 15});
    fixtures::CdImageTrack data;
    data.dataSectors = 40;
    image.tracks.insert(image.tracks.begin() + 1, data);
    const std::string cue = cdtest::WriteDisc(folder, image);
    EXPECT_EQ(cdTrackCount(cue), 3);
    EXPECT_EQ(openCdChannel(TrackPath(cue, 2), 0), 0u);
    for (int n : {1, 3}) {
        const Handle h = openCdChannel(TrackPath(cue, n), kFloatSamples);
        ASSERT_NE(h, 0u) << n;
        EXPECT_EQ(RenderAll(h), AsFloat(image.tracks[n - 1].samples)) << n;
        releaseStream(h);
    }
}

TEST(CdDisc, NoDriveNoDisc)
{
    TempFolder folder;
    EXPECT_EQ(cdTrackCount(folder / "none.cue"), -1);
    EXPECT_EQ(cdTrackCount(folder.path), -1);
    EXPECT_EQ(openCdChannel(folder / "none.cue/Track01.cda", 0), 0u);
    // This machine has no drive; the call only has to answer.
    for (const std::string& drive : cdDrives())
        EXPECT_FALSE(drive.empty());
}
