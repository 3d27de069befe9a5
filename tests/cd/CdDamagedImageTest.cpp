// Damaged and hostile images: every call answers, in bounded time, and what
// cannot be read is silence or no channel.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

#include "CdTestImages.h"

using namespace audio;
using audiotest::RenderAll;
using audiotest::TempFolder;
using cdtest::TrackPath;

namespace {

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Opens every track the sheet may name and plays each out through render.
void OpenAndRenderAll(const std::string& cue)
{
    const int count = cdTrackCount(cue);
    EXPECT_LE(count, 99);
    for (int n = 1; n <= 4; ++n) {
        const Handle h = openCdChannel(TrackPath(cue, n), kFloatSamples);
        if (h == 0)
            continue;
        EXPECT_LE(RenderAll(h).size(), lengthBytes(h) / 4);
        releaseStream(h);
    }
    CdTrackText text;
    cdTrackText(TrackPath(cue, 1), text);
}

} // namespace

TEST(CdDamagedImage, ATruncatedBinPlaysSilenceWhereItEnds)
{
    TempFolder folder;
    const fixtures::CdImage image = cdtest::SignalDisc({20, 20, 20});
    const std::string cue = cdtest::WriteDisc(folder, image);
    std::filesystem::resize_file(folder / "disc.bin", 2352 * 30 + 1000);
    OpenAndRenderAll(cue);
    const Handle h = openCdChannel(TrackPath(cue, 2), kFloatSamples);
    ASSERT_NE(h, 0u);
    const std::vector<float> heard = RenderAll(h);
    ASSERT_EQ(heard.size(), 2u * 20 * 588);
    const std::vector<float> written = cdtest::AsFloat(image.tracks[1].samples);
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + 2 * 9 * 588, heard.begin()));
    EXPECT_EQ(std::count(heard.begin() + 2 * 11 * 588, heard.end(), 0.0f), 2 * 9 * 588);
    releaseStream(h);
}

TEST(CdDamagedImage, SheetsThatLieOrAreNoSheetsGiveNothingOrSilence)
{
    TempFolder folder;
    cdtest::WriteDisc(folder, cdtest::SignalDisc({10}));
    const std::string dir = folder.path;
    const std::vector<std::string> sheets = {
        "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 70:00:00\n",
        "FILE \"missing.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n",
        "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:05:00\n  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n",
        "FILE \"disc.bin\" BINARY\n  TRACK 00 AUDIO\n  TRACK 99 AUDIO\n    INDEX 01 99:99:99\n",
        "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    TITLE \"" + std::string(5000, 'x') + "\n",
        "FILE \"" + dir + "\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n",
        "TRACK 01 AUDIO\nINDEX 01 00:00:00\n",
        "",
    };
    for (size_t i = 0; i < sheets.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string cue = folder / ("sheet" + std::to_string(i) + ".cue");
        WriteText(cue, sheets[i]);
        OpenAndRenderAll(cue);
    }
    // A BIN that is a FIFO nobody writes to: the open waits for a writer.
    ASSERT_EQ(mkfifo((folder / "fifo.bin").c_str(), 0600), 0);
    WriteText(folder / "fifo.cue", "FILE \"fifo.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    EXPECT_EQ(cdTrackCount(folder / "fifo.cue"), -1);
    std::mt19937 random(7);
    std::string garbage(4000, '\0');
    for (int round = 0; round < 20; ++round) {
        for (char& c : garbage)
            c = static_cast<char>(random());
        const std::string cue = folder / "garbage.cue";
        WriteText(cue, garbage);
        EXPECT_EQ(cdTrackCount(cue), -1);
        OpenAndRenderAll(cue);
    }
}
