#include "tags/ID3v2.h"

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

class ID3v2Test : public ::testing::Test {
  protected:
    void MakeFile(const std::string& head, size_t audioSize = 20000) {
        audio_ = AudioBytes(audioSize);
        WriteBytes(name_, head + audio_);
    }
    // The file is exactly head followed by the untouched audio.
    void ExpectHeadThenAudio(const std::string& head) {
        const std::string bytes = ReadBytes(name_);
        ASSERT_GE(bytes.size(), audio_.size());
        EXPECT_EQ(bytes.substr(0, bytes.size() - audio_.size()), head);
        EXPECT_EQ(Hash(bytes.substr(bytes.size() - audio_.size())), Hash(audio_));
    }
    // The new block at the start of the file, found by its own size field.
    std::string WrittenBlock() {
        const std::string bytes = ReadBytes(name_);
        const uint32_t body = (uint8_t(bytes[6]) << 21) | (uint8_t(bytes[7]) << 14) | (uint8_t(bytes[8]) << 7) |
                              uint8_t(bytes[9]);
        return bytes.substr(0, 10 + body);
    }
    TID3v2 Read() {
        TID3v2 tag;
        EXPECT_TRUE(tag.ReadFromFile(name_));
        return tag;
    }

    CodePageScope codePage_{"windows-1252"};
    TempFolder dir_;
    std::string name_ = dir_.File("song.mp3");
    std::string audio_;
};

} // namespace

TEST_F(ID3v2Test, HeadersAndVersions) {
    MakeFile("");
    TID3v2 tag = Read();
    EXPECT_FALSE(tag.Exists);

    WriteBytes(name_, "ID3\x03");
    EXPECT_FALSE(tag.ReadFromFile(name_)) << "fewer than 10 bytes";
    EXPECT_FALSE(tag.ReadFromFile(dir_.File("missing.mp3")));

    const std::string frames = Frame23("TIT2", Enc0("Title"));
    MakeFile(Id3v2Block(3, frames, 50));
    tag = Read();
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.VersionID, 3);
    EXPECT_EQ(tag.Size, static_cast<int32_t>(10 + frames.size() + 50));
    EXPECT_EQ(tag.Title, "Title");

    MakeFile(Id3v2Header(4, 0x10, static_cast<uint32_t>(frames.size())) + frames + "3DI" + std::string(7, '\0'));
    tag = Read();
    EXPECT_EQ(tag.Size, static_cast<int32_t>(frames.size() + 20)) << "a footer adds 10 bytes";

    MakeFile(Id3v2Block(5, frames));
    tag = Read();
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.VersionID, 5);
    EXPECT_EQ(tag.Title, "") << "unknown versions are not parsed";

    MakeFile(Id3v2Header(3, 0, 1000000) + frames, 100);
    tag = Read();
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.Size, 0) << "a block claiming more than the file";
    EXPECT_EQ(tag.Title, "");

    // Size bytes are taken whole, top bits included.
    MakeFile(std::string("ID3\x03\x00\x00\x00\x00\x00\x80", 10) + frames + std::string(200, '\0'));
    EXPECT_EQ(Read().Size, 138);
}

TEST_F(ID3v2Test, FramesOfEachVersion) {
    const std::string frames23 =
        Frame23("TIT2", Enc0("Title")) + Frame23("TPE1", Enc0("Artist")) + Frame23("TALB", Enc0("Album")) +
        Frame23("TRCK", Enc0("07/12")) + Frame23("TYER", Enc0("1999")) + Frame23("TCON", Enc0("(13)Pop")) +
        Frame23("COMM", Enc0(std::string("engdesc\0Hello", 13))) + Frame23("TCOM", Enc0("Composer")) +
        Frame23("TENC", Enc0("Encoder")) + Frame23("TCOP", Enc0("Copyright")) + Frame23("TLAN", Enc0("rus")) +
        Frame23("WXXX", Enc0(std::string("site\0http://example.org/", 24))) + Frame23("TSIZ", Enc0("12345"));
    MakeFile(Id3v2Block(3, frames23, 100));
    TID3v2 tag = Read();
    EXPECT_EQ(tag.Title, "Title");
    EXPECT_EQ(tag.Artist, "Artist");
    EXPECT_EQ(tag.Album, "Album");
    EXPECT_EQ(tag.Track, 7);
    EXPECT_EQ(tag.TrackString, "07/12");
    EXPECT_EQ(tag.Year, "1999");
    EXPECT_EQ(tag.Genre, "Pop");
    EXPECT_EQ(tag.Comment, "Hello");
    EXPECT_EQ(tag.Composer, "Composer");
    EXPECT_EQ(tag.Encoder, "Encoder");
    EXPECT_EQ(tag.Copyright, "Copyright");
    EXPECT_EQ(tag.Language, "rus");
    EXPECT_EQ(tag.Link, "http://example.org/");
    EXPECT_EQ(tag.AudioSizeText, "12345");

    // Second choices, a later frame replacing an earlier one, a compressed
    // frame skipped, a genre reference alone.
    const std::string second = Frame23("TIT1", Enc0("Group")) + Frame23("TOPE", Enc0("Original")) +
                               Frame23("TOAL", Enc0("Old album")) + Frame23("TDRC", Enc0("2004-05-06")) +
                               Frame23("TCON", Enc0("Rock")) + Frame23("TCON", Enc0("(13)")) +
                               Frame23("TRCK", Enc0("x1")) + Frame23("TCOM", Enc0("Packed"), 0x80);
    MakeFile(Id3v2Block(3, second));
    tag = Read();
    EXPECT_EQ(tag.Title, "Group");
    EXPECT_EQ(tag.Artist, "Original");
    EXPECT_EQ(tag.Album, "Old album");
    EXPECT_EQ(tag.Year, "2004");
    EXPECT_EQ(tag.Genre, "");
    EXPECT_EQ(tag.Track, 0);
    EXPECT_EQ(tag.TrackString, "x1");
    EXPECT_EQ(tag.Composer, "");

    // Version 2.4: seven-bit frame sizes; a 200-byte frame has size bytes 0, 0, 1, 72.
    const std::string long200 = Enc0(std::string(199, 'a'));
    ASSERT_EQ(Frame24("TALB", long200).substr(4, 4), std::string("\0\0\x01\x48", 4));
    MakeFile(Id3v2Block(4, Frame24("TALB", long200) + Frame24("TIT2", Enc0("After")) +
                               Frame24("TRCK", Enc0("70000"))));
    tag = Read();
    EXPECT_EQ(tag.Album, std::string(199, 'a'));
    EXPECT_EQ(tag.Title, "After");
    EXPECT_EQ(tag.Track, 4464) << "70000 cut to 16 bits";

    // Version 2.2: three-letter identifiers and 24-bit sizes.
    MakeFile(Id3v2Block(2, Frame22("TT2", Enc0("Old title")) + Frame22("TP1", Enc0("Old artist")) +
                               Frame22("COM", Enc0(std::string("eng\0Said", 8))) + Frame22("TOR", Enc0("1970"))));
    tag = Read();
    EXPECT_EQ(tag.Title, "Old title");
    EXPECT_EQ(tag.Artist, "Old artist");
    EXPECT_EQ(tag.Comment, "Said");
    EXPECT_EQ(tag.Year, "1970");
}

TEST_F(ID3v2Test, CutLengthsAndDamagedFrames) {
    // Values are cut to their first 500 bytes.
    MakeFile(Id3v2Block(3, Frame23("TIT2", Enc0(std::string(700, 'x'))) + Frame23("TPE1", Enc0("Next"))));
    TID3v2 tag = Read();
    EXPECT_EQ(tag.Title, std::string(499, 'x'));
    EXPECT_EQ(tag.Artist, "Next");

    // A frame whose identifier the standard does not allow is passed over by
    // its size; padding ends the scan.
    MakeFile(Id3v2Block(3, Frame23("TIT2", Enc0("T")) + "\x01XYZ" + std::string(6, '\0') + Frame23("TPE1", Enc0("A")) +
                               std::string(10, '\0') + Frame23("TALB", Enc0("B"))));
    tag = Read();
    EXPECT_EQ(tag.Title, "T");
    EXPECT_EQ(tag.Artist, "A");
    EXPECT_EQ(tag.Album, "");

    // Zero sizes move on by the header alone; a size past the file ends it.
    MakeFile(Id3v2Block(3, Frame23("TPE1", "") + Frame23("TIT2", Enc0("T")) +
                               "TALB" + Be32(0xFFFFFFF0u) + std::string(2, '\0') + std::string("\0Album", 6),
                           600));
    tag = Read();
    EXPECT_EQ(tag.Artist, "");
    EXPECT_EQ(tag.Title, "T");
    EXPECT_EQ(tag.Album, "Album");

    // A block whose size reaches past its frames into the audio, and a frame
    // header cut off by the end of the file.
    WriteBytes(name_, Id3v2Header(3, 0, 16) + Frame23("TIT2", Enc0("T")) + "TPE");
    tag = Read();
    EXPECT_EQ(tag.Title, "") << "a block larger than the file is not parsed";
    WriteBytes(name_, Id3v2Header(3, 0, 15) + Frame23("TIT2", Enc0("T")) + "TPE");
    tag = Read();
    EXPECT_EQ(tag.Title, "T");
}

TEST_F(ID3v2Test, TextEncodings) {
    auto title = [&](const std::string& frames, uint8_t version = 3) {
        MakeFile(Id3v2Block(version, frames));
        return Read().Title;
    };
    EXPECT_EQ(title(Frame23("TIT2", Enc0("Caf\xE9  "))), "Café");
    EXPECT_EQ(title(Frame23("TIT2", Enc1Bom(u"Grüße"))), "Grüße");
    EXPECT_EQ(title(Frame23("TIT2", "\x01" + Utf16Le(u"No mark"))), "No mark") << "little-endian without a mark";
    EXPECT_EQ(title(Frame23("TIT2", "\x01\xFE\xFF" + Utf16Be(u"Big end"))), "Big end");
    EXPECT_EQ(title(Frame23("TIT2", Enc1Bom(u"ÿÿ yes"))), "ÿÿ yes") << "ÿ is FF 00 and is no mark";
    EXPECT_EQ(title(Frame23("TIT2", Enc1Bom(u"Привет"))), "Привет");
    EXPECT_EQ(title(Frame23("TIT2", Enc1Bom(u"ab\U0001F3B5c"))), "ab\U0001F3B5c") << "a surrogate pair";
    EXPECT_EQ(title(Frame23("TIT2", Enc1Bom(u"ab") + std::string("\x00\xDC", 2) + Utf16Le(u"cd"))), "ab?cd") << "a lone surrogate";
    EXPECT_EQ(title(Frame23("TIT2", Enc1Bom(u"end") + std::string(2, '\0') + Utf16Le(u"more"))), "end");
    // UTF-8 and UTF-16 big-endian in every version; the first value of a list.
    EXPECT_EQ(title(Frame24("TIT2", "\x03Привет 日本" + std::string(1, '\0') + "2nd"), 4), "Привет 日本");
    EXPECT_EQ(title(Frame23("TIT2", "\x03" "Caf\xE9")), "Café") << "not UTF-8: the code page's";
    EXPECT_EQ(title(Frame24("TIT2", "\x02" + Utf16Be(u"Привет 日本")), 4), "Привет 日本");
    EXPECT_EQ(title(Frame22("TT2", "\x02" + Utf16Be(u"Be")), 2), "Be");
    {
        CodePageScope cyrillic("windows-1251");
        EXPECT_EQ(title(Frame23("TIT2", Enc0("\xCF\xF0\xE8\xE2\xE5\xF2"))), "Привет");
    }

    // The description separator of a UTF-16 comment lies on a unit boundary:
    // "ĀA" is 00 01 41 00, whose bytes 41 00 00 would fool a byte search.
    MakeFile(Id3v2Block(3, Frame23("COMM", "\x01" "eng" + Utf16Le(u"\uFEFFĀA") + std::string(2, '\0') +
                                               Utf16Le(u"\uFEFFHi ÿ"))));
    EXPECT_EQ(Read().Comment, "Hi ÿ");
    MakeFile(Id3v2Block(3, Frame23("COMM", std::string("\0engNo separator", 16))));
    EXPECT_EQ(Read().Comment, "") << "the zero padding of the value is the separator";
    // The address of a link is 8-bit text after a UTF-16 description.
    MakeFile(Id3v2Block(3, Frame23("WXXX", Enc1Bom(u"Home") + std::string(2, '\0') + "http://example.org/")));
    EXPECT_EQ(Read().Link, "http://example.org/");
}

TEST_F(ID3v2Test, SaveInPlaceOrByRebuilding) {
    // No block yet: a 4096-byte block (header, one 21-byte frame, padding) before the whole old file.
    MakeFile("");
    TID3v2 tag;
    tag.FSetTitle("  0123456789 ");
    ASSERT_TRUE(tag.SaveToFile(name_));
    const std::string expected = Id3v2Block(3, Frame23("TIT2", Enc0("0123456789")), 4096 - 10 - 21);
    ASSERT_EQ(expected.size(), 4096u);
    ExpectHeadThenAudio(expected);
    EXPECT_FALSE(TemporaryLeft(name_));

    // A 4096-byte block whose new content fits is rewritten in place.
    struct stat before {};
    ::stat(name_.c_str(), &before);
    tag.FSetArtist("Artist");
    ASSERT_TRUE(tag.SaveToFile(name_));
    struct stat after {};
    ::stat(name_.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino) << "the same file, not a rebuilt one";
    ExpectHeadThenAudio(Id3v2Block(3, Frame23("TIT2", Enc0("0123456789")) + Frame23("TPE1", Enc0("Artist")),
                                   4096 - 10 - 21 - 17));

    // A small old block that still holds the content keeps its size.
    // A 2.4 block stays 2.4.
    MakeFile(Id3v2Block(4, Frame24("TIT2", Enc0("Old")), 100));
    TID3v2 small;
    small.FSetTitle("New");
    ASSERT_TRUE(small.SaveToFile(name_));
    ExpectHeadThenAudio(Id3v2Block(4, Frame24("TIT2", Enc0("New")), 100));

    // A 6000-byte block is rebuilt to 4096 bytes.
    MakeFile(Id3v2Block(3, Frame23("TIT2", Enc0("Old")), 6000 - 10 - 14));
    ASSERT_TRUE(small.SaveToFile(name_));
    EXPECT_EQ(ReadBytes(name_).size(), 4096 + audio_.size());
    ExpectHeadThenAudio(Id3v2Block(3, Frame23("TIT2", Enc0("New")), 4096 - 10 - 14));

    // Content beyond 4096 bytes gets no padding.
    TID3v2 big;
    big.FSetComment(std::string(5000, 'c'));
    ASSERT_TRUE(big.SaveToFile(name_));
    ExpectHeadThenAudio(Id3v2Block(3, Frame23("COMM", Enc0(std::string("eng\0", 4) + std::string(5000, 'c')))));
    EXPECT_EQ(Read().Comment, std::string(495, 'c')) << "read back cut to 500 bytes";

    // A block claiming more than the file is not skipped: the new block goes before it.
    const std::string bogus = Id3v2Header(3, 0, 1000000);
    MakeFile(bogus, 300);
    ASSERT_TRUE(small.SaveToFile(name_));
    ExpectHeadThenAudio(Id3v2Block(3, Frame23("TIT2", Enc0("New")), 4096 - 10 - 14) + bogus);

    WriteBytes(name_, "tiny");
    EXPECT_FALSE(small.SaveToFile(name_)) << "the header of a file under 10 bytes cannot be read";
    EXPECT_EQ(ReadBytes(name_), "tiny");
    EXPECT_FALSE(small.SaveToFile(dir_.File("missing.mp3")));
    EXPECT_FALSE(Exists(dir_.File("missing.mp3")));
}

TEST_F(ID3v2Test, WrittenFramesAndEncodings) {
    MakeFile("");
    TID3v2 tag;
    tag.FSetTitle("Title");
    tag.FSetArtist("Исполнитель");
    tag.FSetComment("Коммент");
    tag.FSetLink("http://example.org/пример");
    tag.FSetTrack(5);
    tag.FSetGenre("Rock");
    ASSERT_TRUE(tag.SaveToFile(name_));
    const std::string frames =
        Frame23("TIT2", Enc0("Title")) + Frame23("TPE1", Enc1Bom(u"Исполнитель")) + Frame23("TRCK", Enc0("5")) +
        Frame23("TCON", Enc0("Rock")) +
        Frame23("COMM", "\x01" "eng\xFF\xFE" + std::string(2, '\0') + "\xFF\xFE" + Utf16Le(u"Коммент")) +
        Frame23("WXXX", std::string(2, '\0') + "http://example.org/%D0%BF%D1%80%D0%B8%D0%BC%D0%B5%D1%80");
    EXPECT_EQ(WrittenBlock(), Id3v2Block(3, frames, 4096 - 10 - frames.size()));
    TID3v2 back = Read();
    EXPECT_EQ(back.Artist, "Исполнитель");
    EXPECT_EQ(back.Comment, "Коммент");
    EXPECT_EQ(back.Track, 5);
    EXPECT_EQ(back.Link, "http://example.org/%D0%BF%D1%80%D0%B8%D0%BC%D0%B5%D1%80");

    CodePageScope cyrillic("windows-1251");
    MakeFile("");
    ASSERT_TRUE(tag.SaveToFile(name_));
    TID3v2 again = Read();
    EXPECT_EQ(again.Artist, "Исполнитель");
    EXPECT_EQ(again.Link, "http://example.org/пример");
    EXPECT_NE(WrittenBlock().find("TPE1" + Be32(12) + std::string(3, '\0') + "\xC8\xF1\xEF"), std::string::npos)
        << "text the code page holds stays 8-bit";
}

TEST_F(ID3v2Test, Removal) {
    MakeFile("");
    TID3v2 tag;
    ::chmod(name_.c_str(), 0444);
    EXPECT_FALSE(tag.RemoveFromFile(name_));
    ExpectHeadThenAudio("");
    struct stat st {};
    ::stat(name_.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0444u) << "a file without a block is not touched";

    MakeFile(Id3v2Block(3, Frame23("TIT2", Enc0("T")), 500));
    ::chmod(name_.c_str(), 0640);
    ASSERT_TRUE(tag.RemoveFromFile(name_));
    ExpectHeadThenAudio("");
    ::stat(name_.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_FALSE(TemporaryLeft(name_));

    const std::string bogus = Id3v2Header(3, 0, 1000000);
    MakeFile(bogus, 100);
    EXPECT_FALSE(tag.RemoveFromFile(name_)) << "nothing can be told apart from the audio";
    ExpectHeadThenAudio(bogus);
    EXPECT_FALSE(tag.RemoveFromFile(dir_.File("missing.mp3")));
}

TEST_F(ID3v2Test, FailedWritesLeaveTheFile) {
    const std::string oldBlock = Id3v2Block(3, Frame23("TIT2", Enc0("Old")), 4096 - 24);
    TID3v2 tag;
    tag.FSetTitle("New");
    // In place: the block is written, then the sync fails and the old block returns.
    MakeFile(oldBlock);
    SetFileFaultHook([](FileStep step, const std::string&) { return step == FileStep::Sync ? EIO : 0; });
    EXPECT_FALSE(tag.SaveToFile(name_));
    SetFileFaultHook({});
    ExpectHeadThenAudio(oldBlock);

    // Rebuilds: the rename refused, the copy cut short by a full disk.
    MakeFile("", 200000);
    SetFileFaultHook([](FileStep step, const std::string&) { return step == FileStep::Rename ? EACCES : 0; });
    EXPECT_FALSE(tag.SaveToFile(name_));
    SetFileFaultHook({});
    ExpectHeadThenAudio("");
    EXPECT_FALSE(TemporaryLeft(name_));
    const int status = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{150000, 150000};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return kCannotTest;
        return tag.SaveToFile(name_) ? 1 : 0;
    });
    EXPECT_EQ(status, 0);
    ExpectHeadThenAudio("");
    EXPECT_FALSE(TemporaryLeft(name_));

    // A read-only file system refuses both paths for real.
    const std::string mount = dir_.File("mnt");
    std::filesystem::create_directory(mount);
    const std::string inner = mount + "/song.mp3";
    const int readOnly = InChild([&] {
        if (!MountPrivateTmpfs(mount, 1 << 20)) return kCannotTest;
        const std::string original = oldBlock + AudioBytes(1000);
        WriteBytes(inner, original);
        if (!RemountReadOnly(mount)) return kCannotTest;
        TID3v2 fits, grows;
        fits.FSetTitle("New");
        grows.FSetComment(std::string(5000, 'c'));
        if (fits.SaveToFile(inner) || grows.SaveToFile(inner) || fits.RemoveFromFile(inner)) return 2;
        return ReadBytes(inner) == original ? 0 : 3;
    });
    if (readOnly != kCannotTest) {
        EXPECT_EQ(readOnly, 0);
    }
}

TEST_F(ID3v2Test, MutagenReadsWhatWeWrite) {
    MakeFile("");
    TID3v2 tag;
    tag.FSetTitle("Title ÿ");
    tag.FSetArtist("Исполнитель");
    tag.FSetAlbum("Album");
    tag.FSetYear("2001");
    tag.FSetGenre("Rock");
    tag.FSetComment("Комментарий");
    tag.FSetComposer("Composer");
    tag.FSetEncoder("Encoder");
    tag.FSetCopyright("(c) Someone");
    tag.FSetLanguage("eng");
    tag.FSetLink("http://example.org/");
    tag.FSetTrack(9);
    ASSERT_TRUE(tag.SaveToFile(name_));
    const std::string script =
        "import sys, mutagen.id3 as m\n"
        "t = m.ID3(sys.argv[1], translate=False)\n"
        "print(t.version)\n"
        "for k in ('TIT2', 'TPE1', 'TALB', 'TYER', 'TCON', 'TCOM', 'TENC', 'TCOP', 'TLAN', 'TRCK'):\n"
        "    print(k, t[k].text[0])\n"
        "c = t.getall('COMM')[0]\n"
        "print('COMM', c.lang, repr(c.desc), c.text[0])\n"
        "print('WXXX', t.getall('WXXX')[0].url)\n";
    int status = 0;
    const std::string out = RunPython(dir_, script, name_, status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out,
              "(2, 3, 0)\nTIT2 Title ÿ\nTPE1 Исполнитель\nTALB Album\nTYER 2001\nTCON Rock\nTCOM Composer\n"
              "TENC Encoder\nTCOP (c) Someone\nTLAN eng\nTRCK 9\nCOMM eng '' Комментарий\n"
              "WXXX http://example.org/\n");
}
