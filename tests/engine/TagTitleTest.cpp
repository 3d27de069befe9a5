// The playlist's title reader: the tag layer's fields with the duration
// that only the engine can measure.
#include "engine/TagTitle.h"

#include <gtest/gtest.h>

#include "tags/TagFile.h"
#include "tests/fixtures/Fixtures.h"

namespace {

struct Folder {
    std::string dir = fixtures::MakeTempDir("nilo-title");
    ~Folder() { fixtures::RemoveTree(dir); }
    std::string Wav(const std::string& name, double seconds) {
        const std::string path = dir + "/" + name;
        const auto frames = static_cast<uint64_t>(seconds * 44100);
        EXPECT_TRUE(fixtures::WriteWav16(path, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, frames))));
        return path;
    }
};

TEST(TagTitle, DurationFromTheFileOrFromTheChannel) {
    Folder folder;
    const std::string wav = folder.Wav("Two and a half.wav", 2.5);
    TTagNames names = ReadTitleTags(wav, false, 0);
    EXPECT_EQ(names.Title, "Two and a half");
    EXPECT_EQ(names.Duration, "00:02");
    EXPECT_EQ(ReadTagsWithDuration(wav, false, 0), names);

    // From the channel: its length, or nothing without one.
    EXPECT_EQ(ReadTitleTags(wav, true, 0).Duration, "");
    const HSTREAM channel = CreateFileChannel(folder.Wav("long.wav", 3.5), 0, 0);
    ASSERT_NE(channel, 0u);
    EXPECT_EQ(ReadTitleTags(wav, true, channel).Duration, "00:03");
    FreeChannel(channel);

    const std::string junk = folder.dir + "/notes.mp3";
    fixtures::Run("echo not audio > " + fixtures::ShellQuote(junk));
    EXPECT_EQ(ReadTitleTags(junk, false, 0).Duration, "00:00");
}

TEST(TagTitle, AnUnreadableTagStillGivesNameAndDuration) {
    Folder folder;
    const std::string gone = folder.dir + "/gone.ogg";
    EXPECT_THROW(ReadTagsWithDuration(gone, false, 0), EFileError);
    TTagNames expected;
    expected.Title = "gone";
    expected.Duration = "00:00";
    EXPECT_EQ(ReadTitleTags(gone, false, 0), expected);
}

} // namespace
