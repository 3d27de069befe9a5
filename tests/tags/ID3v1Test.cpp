#include "tags/ID3v1.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "tags/TagFile.h"
#include "tests/tags/TagBytes.h"
#include "tests/tags/TagTestFiles.h"

using namespace tagbytes;
using namespace tagtest;

namespace {

class ID3v1Test : public ::testing::Test {
  protected:
    std::string MakeFile(const std::string& tail, size_t audioSize = 5000) {
        audio_ = AudioBytes(audioSize);
        WriteBytes(name_, audio_ + tail);
        return name_;
    }
    // The file is the untouched audio followed by exactly tail.
    void ExpectAudioThen(const std::string& tail) {
        const std::string bytes = ReadBytes(name_);
        ASSERT_GE(bytes.size(), audio_.size());
        EXPECT_EQ(Hash(bytes.substr(0, audio_.size())), Hash(audio_));
        EXPECT_EQ(bytes.substr(audio_.size()), tail);
    }

    CodePageScope codePage_{"windows-1252"};
    TempFolder dir_;
    std::string name_ = dir_.File("song.mp3");
    std::string audio_;
};

} // namespace

TEST_F(ID3v1Test, VersionsAndTrimming) {
    TID3v1 tag;
    MakeFile(Id3v1Record("Title  \x01", "  Artist", std::string("Al\0bum", 6), "99 ", CommentWithTrack("Note", 5), 17));
    ASSERT_TRUE(tag.ReadFromFile(name_));
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.VersionID, 2);
    EXPECT_EQ(tag.Track, 5);
    EXPECT_EQ(tag.FGetTrackString(), "5");
    EXPECT_EQ(tag.FGetTitle(), "Title") << "trailing blanks (codes 0 to 32) go";
    EXPECT_EQ(tag.FGetArtist(), "  Artist") << "leading ones stay";
    EXPECT_EQ(tag.FGetAlbum(), std::string("Al\0bum", 6)) << "an inner zero byte stays";
    EXPECT_EQ(tag.Year, "99");
    EXPECT_EQ(tag.FGetComment(), "Note");
    EXPECT_EQ(tag.FGetGenre(), "Rock");
    EXPECT_FALSE(tag.HasLyrics3);
    EXPECT_EQ(tag.FGetTagSize(), 128);

    const std::string comment30 = std::string(28, 'c') + "  ";
    MakeFile(Id3v1Record("", "", "", "", comment30, 148));
    ASSERT_TRUE(tag.ReadFromFile(name_));
    EXPECT_EQ(tag.VersionID, 1) << "0x20 0x20 at bytes 28 and 29 is version 1.0";
    EXPECT_EQ(tag.Track, 0);
    EXPECT_EQ(tag.FGetTrackString(), "");
    EXPECT_EQ(tag.FGetGenre(), "") << "genre byte 148 and above has no name";

    MakeFile(Id3v1Record("", "", "", "", std::string(28, 'c') + " 9", 255));
    ASSERT_TRUE(tag.ReadFromFile(name_));
    EXPECT_EQ(tag.VersionID, 2) << "a blank then a non-blank is version 1.1";
    EXPECT_EQ(tag.Track, '9');
    EXPECT_EQ(tag.FGetComment(), std::string(28, 'c'));

    MakeFile(Id3v1Record("", "", "", "", std::string(29, 'c') + "d", 0));
    ASSERT_TRUE(tag.ReadFromFile(name_));
    EXPECT_EQ(tag.VersionID, 1);
    EXPECT_EQ(tag.FGetComment(), std::string(29, 'c') + "d");
    EXPECT_EQ(tag.FGetGenre(), "Blues");

    MakeFile("");
    ASSERT_TRUE(tag.ReadFromFile(name_)) << "a readable file without a tag";
    EXPECT_FALSE(tag.Exists);
    EXPECT_FALSE(tag.ReadFromFile(dir_.File("missing.mp3")));
}

TEST_F(ID3v1Test, GenreTableAndLookup) {
    TID3v1 tag;
    for (const char* name : {"rock", "ROCK", "Rock"}) {
        tag.FSetGenre(name);
        EXPECT_EQ(tag.GenreID, 17) << name;
    }
    tag.FSetGenre("synthPOP");
    EXPECT_EQ(tag.GenreID, 147);
    tag.FSetGenre("Alt. Rock");
    EXPECT_EQ(tag.GenreID, 255);
}

TEST_F(ID3v1Test, SettersKeepLongTextsAndCutYears) {
    TID3v1 tag;
    const std::string title40(40, 't');
    tag.FSetTitle(title40 + "  ");
    EXPECT_EQ(tag.Title, title40);
    EXPECT_EQ(tag.ExtTitle, title40);
    tag.FSetTitle(std::string(30, 'a'));
    EXPECT_EQ(tag.ExtTitle, "") << "30 characters fit the record";
    tag.FSetTitle(std::string(31, 'a'));
    EXPECT_EQ(tag.ExtTitle, std::string(31, 'a'));
    tag.FSetYear("19999");
    EXPECT_EQ(tag.Year, "1999");
    tag.Lyrics = " \r\n ";
    EXPECT_FALSE(tag.FGetHasLyrics());
}

TEST_F(ID3v1Test, Lyrics3FieldsTakePrecedence) {
    const std::string longTitle = "A title that is longer than thirty bytes";
    const std::string lyrics = Lyrics3Block({{"IND", "10"},
                                             {"ETT", longTitle},
                                             {"EAR", " Extended Artist "},
                                             {"EAL", "Extended Album"},
                                             {"INF", "Extended comment"},
                                             {"AUT", " Author "},
                                             {"LYR", " a\rb\r\nc "},
                                             {"IMG", " img "}});
    MakeFile(lyrics + Id3v1Record(longTitle.substr(0, 30), "Artist", "Album", "2001", "Comment", 1));
    TID3v1 tag;
    ASSERT_TRUE(tag.ReadFromFile(name_));
    EXPECT_TRUE(tag.Exists);
    EXPECT_TRUE(tag.HasLyrics3);
    EXPECT_EQ(tag.Lyrics3Size, static_cast<int32_t>(lyrics.size()) - 15);
    EXPECT_EQ(tag.FGetLyrics2Size(), static_cast<int32_t>(lyrics.size()));
    EXPECT_EQ(tag.FGetTagSize(), static_cast<int32_t>(lyrics.size()) + 128);
    EXPECT_EQ(tag.FGetTitle(), longTitle);
    EXPECT_EQ(tag.ExtTitle, longTitle);
    EXPECT_EQ(tag.FGetArtist(), "Extended Artist");
    EXPECT_EQ(tag.ExtArtist, "") << "the Lyrics3 text is short, so it is the plain field";
    EXPECT_EQ(tag.FGetAlbum(), "Extended Album");
    EXPECT_EQ(tag.FGetComment(), "Extended comment");
    EXPECT_EQ(tag.Author, "Author");
    EXPECT_EQ(tag.Lyrics, "a\r\nb\r\nc") << "CR alone and CR LF both end as CR LF";
    EXPECT_EQ(tag.Image, " img ") << "the image field is kept untrimmed";
    EXPECT_EQ(tag.Year, "2001");

    // An unknown field name or a size that is no number ends the field loop.
    MakeFile(Lyrics3Block({{"ETT", "First"}, {"XYZ", "?"}, {"EAR", "Never"}}) +
             Id3v1Record("T", "Artist", "", "", "", 1));
    ASSERT_TRUE(tag.ReadFromFile(name_));
    EXPECT_EQ(tag.FGetTitle(), "First");
    EXPECT_EQ(tag.FGetArtist(), "Artist");
    MakeFile(Lyrics3Wrap(Lyrics3Field("ETT", "First") + "EAR00x0Never") + Id3v1Record("T", "A", "", "", "", 1));
    ASSERT_TRUE(tag.ReadFromFile(name_));
    EXPECT_TRUE(tag.HasLyrics3);
    EXPECT_EQ(tag.FGetTitle(), "First");
    EXPECT_EQ(tag.FGetArtist(), "A");
    // A field whose size runs past the block ends the loop too: its data
    // would be the end mark and the record, which a save then rewrites.
    MakeFile(Lyrics3Wrap(Lyrics3Field("EAR", "Kept") + "ETT00500Cut") + Id3v1Record("T", "A", "", "", "", 1));
    ASSERT_TRUE(tag.ReadFromFile(name_));
    EXPECT_EQ(tag.FGetTitle(), "T");
    EXPECT_EQ(tag.FGetArtist(), "Kept");
    ASSERT_TRUE(tag.SaveToFile(name_));
    TID3v1 back;
    ASSERT_TRUE(back.ReadFromFile(name_));
    EXPECT_EQ(back.FGetTitle(), "T");
    EXPECT_EQ(back.FGetArtist(), "Kept");

    // A Lyrics3 block at the very end, without an ID3v1 record.
    MakeFile(Lyrics3Block({{"LYR", "words"}}));
    ASSERT_TRUE(tag.ReadFromFile(name_));
    EXPECT_FALSE(tag.Exists);
    EXPECT_TRUE(tag.HasLyrics3);
    EXPECT_EQ(tag.Lyrics, "words");
}

TEST_F(ID3v1Test, DamagedAndShortBlocksAreNoBlocks) {
    TID3v1 tag;
    // An end mark whose start mark is missing.
    std::string block = Lyrics3Block({{"LYR", "words"}});
    block[0] = 'X';
    MakeFile(block + Id3v1Record("T", "", "", "", "", 1));
    ASSERT_TRUE(tag.ReadFromFile(name_));
    EXPECT_FALSE(tag.HasLyrics3);
    EXPECT_EQ(tag.Lyrics3Size, 0);
    EXPECT_EQ(tag.Lyrics, "");
    ASSERT_TRUE(tag.RemoveFromFile(name_, false));
    ExpectAudioThen(block); // only the record is cut

    // A size field that is no number, and one claiming more than the file.
    for (const std::string& size : {std::string("00x012"), std::string("999999")}) {
        block = "LYRICSBEGIN" + Lyrics3Field("LYR", "w") + size + "LYRICS200";
        MakeFile(block, 100);
        ASSERT_TRUE(tag.ReadFromFile(name_));
        EXPECT_FALSE(tag.HasLyrics3) << size;
        EXPECT_TRUE(tag.RemoveFromFile(name_, false));
        ExpectAudioThen(block);
    }

    // Files shorter than a record that start with "TAG" hold no record.
    audio_.clear();
    for (size_t size : {0, 3, 100, 127}) {
        const std::string bytes = ("TAG" + std::string(size, 'x')).substr(0, size);
        WriteBytes(name_, bytes);
        ASSERT_TRUE(tag.ReadFromFile(name_)) << size;
        EXPECT_FALSE(tag.Exists) << size;
        EXPECT_TRUE(tag.RemoveFromFile(name_, false));
        EXPECT_EQ(ReadBytes(name_), bytes) << "never cut";
    }

    // A field whose size runs past the end of the file.
    MakeFile("LYRICSBEGIN" + Lyrics3Field("ETT", "Title").substr(0, 8) + "99999" + "LYRICS200");
    EXPECT_TRUE(tag.ReadFromFile(name_));
}

TEST_F(ID3v1Test, SaveKeepsTrackAndLyrics3UntilRemoved) {
    MakeFile(Lyrics3Block({{"LYR", "old words"}, {"ETT", std::string(40, 'o')}}) +
             Id3v1Record("Old", "", "", "", CommentWithTrack("", 3), 3));
    TID3v1 tag;
    tag.FSetTitle("New title");
    tag.FSetArtist("Artist");
    tag.FSetAlbum("Album");
    tag.FSetYear("2024");
    tag.FSetComment("Comment");
    tag.FSetGenre("Pop");
    // The lyrics stay; the extended title the new title replaces goes.
    ASSERT_TRUE(tag.SaveToFile(name_));
    EXPECT_TRUE(tag.Exists);
    EXPECT_TRUE(tag.HasLyrics3);
    EXPECT_EQ(tag.Track, 3);
    const std::string lyrics = Lyrics3Block({{"LYR", "old words"}});
    ExpectAudioThen(lyrics + Id3v1Record("New title", "Artist", "Album", "2024", CommentWithTrack("Comment", 3), 13));

    tag.FSetTrack(7);
    ASSERT_TRUE(tag.SaveToFile(name_)) << "saving again replaces the block";
    ExpectAudioThen(lyrics + Id3v1Record("New title", "Artist", "Album", "2024", CommentWithTrack("Comment", 7), 13));

    TID3v1 back;
    ASSERT_TRUE(back.ReadFromFile(name_));
    EXPECT_EQ(back.FGetTitle(), "New title");
    EXPECT_EQ(back.Track, 7);
    EXPECT_EQ(back.FGetGenre(), "Pop");
    EXPECT_EQ(back.Lyrics, "old words");

    // Only removal takes them away; then a track of 0 leaves comment bytes
    // 28 and 29 to the comment text.
    ASSERT_TRUE(TID3v1().RemoveFromFile(name_, false));
    TID3v1 untracked;
    untracked.FSetComment(std::string(30, 'c'));
    ASSERT_TRUE(untracked.SaveToFile(name_));
    ExpectAudioThen(Id3v1Record("", "", "", "", std::string(30, 'c'), 255));

    // Long texts are cut to 30 bytes in the record.
    TID3v1 longer;
    longer.FSetTitle(std::string(40, 't'));
    ASSERT_TRUE(longer.SaveToFile(name_));
    ExpectAudioThen(Id3v1Record(std::string(30, 't'), "", "", "", "", 255));
}

TEST_F(ID3v1Test, Lyrics3IsWrittenOnlyWithLyricsOrAuthor) {
    MakeFile("");
    const std::string title40(40, 't');
    TID3v1 tag;
    tag.FSetTitle(title40);
    tag.Lyrics = "la la";
    tag.Author = "Me";
    ASSERT_TRUE(tag.SaveToFile(name_));
    const std::string lyrics = Lyrics3Block({{"IND", "10"}, {"ETT", title40}, {"AUT", "Me"}, {"LYR", "la la"}});
    const std::string record = Id3v1Record(std::string(30, 't'), "", "", "", "", 255);
    ExpectAudioThen(lyrics + record);
    EXPECT_TRUE(tag.HasLyrics3);
    EXPECT_EQ(tag.FGetTagSize(), static_cast<int32_t>(lyrics.size()) + 128);

    TID3v1 back;
    ASSERT_TRUE(back.ReadFromFile(name_));
    EXPECT_EQ(back.FGetTitle(), title40);
    EXPECT_EQ(back.Lyrics, "la la");
    EXPECT_EQ(back.Author, "Me");

    // A tag editor's fresh object keeps the block as it was while the title
    // it shows is the same, and drops only the extended title once it is not.
    TID3v1 editor;
    editor.FSetTitle(title40);
    ASSERT_TRUE(editor.SaveToFile(name_));
    ExpectAudioThen(lyrics + record);
    editor.FSetTitle("Edited");
    editor.FSetArtist(std::string(35, 'a'));
    ASSERT_TRUE(editor.SaveToFile(name_));
    ExpectAudioThen(Lyrics3Block({{"IND", "10"}, {"EAR", std::string(35, 'a')}, {"AUT", "Me"}, {"LYR", "la la"}}) +
                    Id3v1Record("Edited", std::string(30, 'a'), "", "", "", 255));

    // Fields this class does not know, and bytes that are no field, stay.
    MakeFile(Lyrics3Wrap(Lyrics3Field("IND", "00") + Lyrics3Field("XYZ", "?") + "odd") + record);
    ASSERT_TRUE(editor.SaveToFile(name_));
    ExpectAudioThen(Lyrics3Wrap(Lyrics3Field("IND", "00") + Lyrics3Field("EAR", std::string(35, 'a')) +
                                Lyrics3Field("XYZ", "?") + "odd") +
                    Id3v1Record("Edited", std::string(30, 'a'), "", "", "", 255));

    // A block left with nothing goes, unless an older block stacked before
    // it would then be read as the file's.
    const std::string emptied = Lyrics3Wrap(Lyrics3Field("IND", "00"));
    const std::string older = Lyrics3Block({{"LYR", "older"}});
    for (const std::string& before : {std::string(), older}) {
        MakeFile(before + emptied + record);
        TID3v1 plain;
        plain.FSetTitle(std::string(30, 't'));
        ASSERT_TRUE(plain.SaveToFile(name_));
        ExpectAudioThen(before + (before.empty() ? "" : emptied) + record);
        ASSERT_TRUE(back.ReadFromFile(name_));
        EXPECT_EQ(back.Lyrics, "");
    }

    // An image alone, or lyrics without anything to carry, write no block.
    MakeFile("");
    TID3v1 imageOnly;
    imageOnly.Image = "img";
    ASSERT_TRUE(imageOnly.SaveToFile(name_));
    ExpectAudioThen(Id3v1Record("", "", "", "", "", 255));

    TID3v1 tooLong;
    tooLong.Lyrics = std::string(100000, 'l');
    EXPECT_FALSE(tooLong.SaveToFile(name_)) << "a field beyond five digits is refused, not cut";
    ExpectAudioThen(Id3v1Record("", "", "", "", "", 255));
}

TEST_F(ID3v1Test, RemovalCutsBothBlocks) {
    const std::string lyrics = Lyrics3Block({{"LYR", "words"}});
    MakeFile(lyrics + Id3v1Record("T", "", "", "", "", 1));
    TID3v1 tag;
    ASSERT_TRUE(tag.RemoveFromFile(name_, false));
    EXPECT_FALSE(tag.Exists);
    EXPECT_FALSE(tag.HasLyrics3);
    ExpectAudioThen("");

    MakeFile(lyrics);
    ASSERT_TRUE(tag.RemoveFromFile(name_, false));
    ExpectAudioThen(""); // Lyrics3Size + 15 bytes are cut

    MakeFile(lyrics + Id3v1Record("T", "", "", "", "", 1));
    TID3v1 rewrite;
    rewrite.FSetTitle("Again");
    ASSERT_TRUE(rewrite.RemoveFromFile(name_, true));
    EXPECT_TRUE(rewrite.Exists);
    ExpectAudioThen(Id3v1Record("Again", "", "", "", "", 255));

    // Flags left over from an earlier file never cut another one.
    TID3v1 stale;
    ASSERT_TRUE(stale.ReadFromFile(name_));
    MakeFile("");
    ASSERT_TRUE(stale.RemoveFromFile(name_, false));
    ExpectAudioThen("");
    EXPECT_FALSE(stale.RemoveFromFile(dir_.File("missing.mp3"), false));
}

TEST_F(ID3v1Test, LegacyCodePageText) {
    CodePageScope cyrillic("windows-1251");
    // "Привет" in windows-1251.
    const std::string privet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
    MakeFile(Id3v1Record(privet1251, "", "", "", "", 255));
    TID3v1 tag;
    ASSERT_TRUE(tag.ReadFromFile(name_));
    EXPECT_EQ(tag.FGetTitle(), "Привет");
    TID3v1 writer;
    writer.FSetTitle("Мир");
    writer.FSetArtist(std::string(30, 'a') + "Я"); // 31 characters, 32 bytes of UTF-8
    ASSERT_TRUE(writer.SaveToFile(name_));
    EXPECT_EQ(writer.ExtArtist, std::string(30, 'a') + "Я") << "lengths count code page characters";
    ExpectAudioThen(Id3v1Record("\xCC\xE8\xF0", std::string(30, 'a'), "", "", "", 255));
}

TEST_F(ID3v1Test, FailedWritesLeaveTheFile) {
    const std::string oldTail = Id3v1Record("Old", "", "", "", "", 1);
    MakeFile(oldTail);
    TID3v1 tag;
    tag.FSetTitle(std::string(40, 'n'));
    tag.Lyrics = std::string(3000, 'l');

    // Each step refused once: after the new end is written, the cut or the
    // sync fails and the old end must come back.
    for (FileStep step : {FileStep::Write, FileStep::Truncate, FileStep::Sync, FileStep::Open, FileStep::SetAttr}) {
        bool refused = false;
        SetFileFaultHook([&](FileStep s, const std::string&) {
            if (s != step || refused) return 0;
            refused = true;
            return EIO;
        });
        EXPECT_FALSE(tag.SaveToFile(name_)) << static_cast<int>(step);
        SetFileFaultHook({});
        ExpectAudioThen(oldTail);
    }
    // The disk fills while the longer new end is written.
    const int64_t size = static_cast<int64_t>(ReadBytes(name_).size());
    int status = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{static_cast<rlim_t>(size + 1000), static_cast<rlim_t>(size + 1000)};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return kCannotTest;
        return tag.SaveToFile(name_) ? 1 : 0;
    });
    EXPECT_EQ(status, 0);
    ExpectAudioThen(oldTail);

    // A read-only file is written and stays read-only, also when the write fails.
    ::chmod(name_.c_str(), 0444);
    auto mode = [&] {
        struct stat st {};
        ::stat(name_.c_str(), &st);
        return st.st_mode & 07777;
    };
    SetFileFaultHook([](FileStep s, const std::string&) { return s == FileStep::Write ? EIO : 0; });
    EXPECT_FALSE(tag.SaveToFile(name_));
    SetFileFaultHook({});
    EXPECT_EQ(mode(), 0444u);
    TID3v1 plain;
    plain.FSetTitle("Plain");
    ASSERT_TRUE(plain.SaveToFile(name_));
    EXPECT_EQ(mode(), 0444u);
    ExpectAudioThen(Id3v1Record("Plain", "", "", "", "", 255));
}

TEST_F(ID3v1Test, MutagenReadsWhatWeWrite) {
    MakeFile("", 20000);
    TID3v1 tag;
    tag.FSetTitle("Café au lait");
    tag.FSetArtist("Artist");
    tag.FSetAlbum("Album");
    tag.FSetYear("1987");
    tag.FSetComment("Note");
    tag.FSetTrack(12);
    tag.FSetGenre("Jazz");
    ASSERT_TRUE(tag.SaveToFile(name_));
    const std::string script =
        "import sys, mutagen.id3 as m\n"
        "t = m.ID3(sys.argv[1])\n"
        "print(t.version)\n"
        "for k in ('TIT2', 'TPE1', 'TALB', 'TDRC', 'TRCK', 'TCON'):\n"
        "    print(k, t[k].text[0])\n"
        "print('COMM', t.getall('COMM')[0].text[0])\n";
    int status = 0;
    const std::string out = RunPython(dir_, script, name_, status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out, "(1, 1)\nTIT2 Café au lait\nTPE1 Artist\nTALB Album\nTDRC 1987\nTRCK 12\nTCON Jazz\nCOMM Note\n");
}
