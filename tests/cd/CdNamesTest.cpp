// What a track path names, and disc texts as UTF-8.
#include <gtest/gtest.h>

#include "audio/cd/CdText.h"
#include "audio/cd/CdTrackPath.h"

using namespace audio;

TEST(CdTrackPath, TheDriveIsAllBeforeTheLastSlash)
{
    CdTrackPath p;
    ASSERT_TRUE(ParseCdTrackPath("/dev/sr0/Track01.cda", p));
    EXPECT_EQ(p.drive, "/dev/sr0");
    EXPECT_EQ(p.track, 1);
    ASSERT_TRUE(ParseCdTrackPath("/tmp/x/disc.cue/Track12.cda", p));
    EXPECT_EQ(p.drive, "/tmp/x/disc.cue");
    EXPECT_EQ(p.track, 12);
    ASSERT_TRUE(ParseCdTrackPath("/dev/sr0/Track007.cda", p));
    EXPECT_EQ(p.track, 7);
}

TEST(CdTrackPath, OtherNamesAreNoTracks)
{
    CdTrackPath p;
    for (const char* path : {"Track01.cda", "/Track01.cda", "/dev/sr0/Track1.cda", "/dev/sr0/Track00.cda",
                             "/dev/sr0/Track100.cda", "/dev/sr0/track01.cda", "/dev/sr0/Track01.wav",
                             "/dev/sr0/Track0a.cda", "/dev/sr0/", "/a/Track01.cda/"})
        EXPECT_FALSE(ParseCdTrackPath(path, p)) << path;
}

TEST(CdText, UndoesLibcdioTakingUtf8ForLatin1AndKeepsTheRest)
{
    EXPECT_EQ(CdTextToUtf8("plain"), "plain");
    EXPECT_EQ(CdTextToUtf8("Caf\xC3\x83\xC2\xA9"), "Caf\xC3\xA9");
    // Latin-1 given as such: libcdio's UTF-8 is right.
    EXPECT_EQ(CdTextToUtf8("Caf\xC3\xA9"), "Caf\xC3\xA9");
    EXPECT_EQ(CdTextToUtf8("\xC5\x81\xC3\xB3"), "\xC5\x81\xC3\xB3");
    // Bytes that are no UTF-8 are Latin-1.
    EXPECT_EQ(CdTextToUtf8("Caf\xE9"), "Caf\xC3\xA9");
}
