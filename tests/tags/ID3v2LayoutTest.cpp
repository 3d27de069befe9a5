// Blocks built byte by byte with the structures of the standard that the
// common writers rarely use: extended headers, unsynchronisation, frame
// flags, and damage. Reads find the texts, and a save keeps what mutagen
// reads of every other frame.
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "tags/ID3v2.h"
#include "tags/ID3v2Unsync.h"
#include "tags/TagAccess.h"
#include "tests/tags/ID3v2Interop.h"
#include "tests/tags/TagBytes.h"

using namespace id3v2test;
using namespace tagbytes;
using namespace tagtest;

namespace {

std::string Frame24(const std::string& id, uint8_t format, const std::string& data) {
    return id + SevenBit(static_cast<uint32_t>(data.size())) + '\0' + static_cast<char>(format) + data;
}

std::string Header(uint8_t version, uint8_t flags, const std::string& body) {
    return Id3v2Header(version, flags, static_cast<uint32_t>(body.size())) + body;
}

// Bytes this process has read so far, system calls of any kind included.
int64_t BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    int64_t value = -1;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

const std::string kPriv = Frame23("PRIV", std::string("owner\0\xFF\xE0\xFF\x00\x01\xFF", 12));

class ID3v2LayoutTest : public ::testing::Test {
  protected:
    void Make(const std::string& block) {
        audio_ = Mp3Audio().empty() ? AudioBytes(5000) : Mp3Audio();
        WriteBytes(name_, block + audio_);
    }
    TID3v2 Read() {
        TID3v2 tag;
        EXPECT_TRUE(tag.ReadFromFile(name_));
        return tag;
    }
    // A save of a new title as the tag editor does it: mutagen reads every
    // other frame as before (or as in the reference block, where it misreads
    // the file), and the audio is untouched.
    void ExpectSaveKeepsTheRest(const std::string& reference = {}) {
        const std::string referenceFile = dir_.File("reference.mp3");
        if (!reference.empty()) WriteBytes(referenceFile, reference + audio_);
        const std::string before = MutagenFrames(dir_, reference.empty() ? name_ : referenceFile);
        TTagNames names = ReadID3v2(name_);
        names.Title = "Saved";
        ASSERT_TRUE(SaveID3v2(name_, names));
        const std::string bytes = ReadBytes(name_);
        EXPECT_EQ(bytes[5], 0) << "no unsynchronisation, extended header or footer";
        EXPECT_EQ(AfterBlock(bytes), audio_);
        EXPECT_EQ(Read().Title, "Saved");
        auto withoutTitle = [](const std::string& frames) {
            std::istringstream in(frames);
            std::string out;
            for (std::string line; std::getline(in, line);)
                if (!line.starts_with("TIT2")) out += line + "\n";
            return out;
        };
        EXPECT_EQ(withoutTitle(MutagenFrames(dir_, name_)), withoutTitle(before));
    }

    CodePageScope codePage_{"windows-1252"};
    TempFolder dir_;
    std::string name_ = dir_.File("song.mp3");
    std::string audio_;
};

} // namespace

TEST_F(ID3v2LayoutTest, ExtendedHeadersAreSkipped) {
    const std::string frames3 = Frame23("TIT2", Enc0("Title")) + kPriv;
    const std::string frames4 = Frame24("TIT2", 0, Enc0("Title")) + kPriv;
    const std::string blocks[] = {
        Header(3, 0x40, Be32(6) + std::string(6, '\0') + frames3 + std::string(20, '\0')),
        Header(3, 0x40, Be32(10) + "\x80" + std::string(5, '\0') + "CRC!" + frames3),
        Header(4, 0x40, SevenBit(6) + "\x01" + std::string(1, '\0') + frames4),
        Header(4, 0x40, frames4) + "", // the flag without the header
    };
    for (const std::string& block : blocks) {
        Make(block);
        EXPECT_EQ(Read().Title, "Title");
        ExpectSaveKeepsTheRest();
    }
}

TEST_F(ID3v2LayoutTest, UnsynchronisationIsUndone) {
    // "ÿ" is 0xFF in the code page, so the title itself needs the zero bytes.
    const std::string title = Enc0("\xFF\xFF Title\xFF");
    Make(Header(3, 0x80, id3v2::ApplyUnsync(Frame23("TIT2", title) + kPriv)));
    EXPECT_EQ(Read().Title, "ÿÿ Titleÿ");
    ExpectSaveKeepsTheRest();

    // The whole of a 2.3 block is unsynchronised, extended header included
    // (mutagen reads the audio as part of such a block).
    Make(Header(3, 0xC0, id3v2::ApplyUnsync(Be32(6) + std::string(6, '\0') + Frame23("TIT2", title) + kPriv)));
    EXPECT_EQ(Read().Title, "ÿÿ Titleÿ");
    ExpectSaveKeepsTheRest(Header(3, 0x80, id3v2::ApplyUnsync(Frame23("TIT2", title) + kPriv)));

    // Version 2.4 unsynchronises frame by frame, with or without a data length.
    const std::string synced = id3v2::ApplyUnsync(title);
    Make(Header(4, 0, Frame24("TPE1", 0x02, synced) + Frame24("TIT2", 0x03, SevenBit(title.size()) + synced) + kPriv));
    EXPECT_EQ(Read().Artist, "ÿÿ Titleÿ");
    EXPECT_EQ(Read().Title, "ÿÿ Titleÿ");
    ExpectSaveKeepsTheRest();
    // The block's flag stands for every frame's.
    Make(Header(4, 0x80, Frame24("TIT2", 0, synced) + Frame24("PRIV", 0, id3v2::ApplyUnsync(kPriv.substr(10)))));
    EXPECT_EQ(Read().Title, "ÿÿ Titleÿ");
    ExpectSaveKeepsTheRest();
    // Data that cannot have been unsynchronised is taken as it is.
    Make(Header(4, 0, Frame24("TIT2", 0x02, Enc0("A\xFF\xE0z"))));
    EXPECT_EQ(Read().Title, "Aÿàz");
}

TEST_F(ID3v2LayoutTest, FrameFlags) {
    // "\0Title" through zlib, after its length.
    const std::string compressed =
        Frame24("TIT2", 0x09, SevenBit(6) + "\x78\x9c\x63\x08\xc9\x2c\xc9\x49\x05\x00\x05\xe7\x02\x03");
    const std::string encrypted = Frame24("TCOM", 0x04, "\x80secret");
    Make(Header(4, 0,
                compressed + encrypted + Frame24("TIT1", 0, Enc0("Group")) +
                    Frame24("TPE1", 0x41, "G" + SevenBit(7) + Enc0("Artist")) +
                    Frame24("TALB", 0x01, SevenBit(6) + Enc0("Album") + "junk")));
    TID3v2 tag = Read();
    EXPECT_EQ(tag.Title, "Group") << "a compressed title is skipped";
    EXPECT_EQ(tag.Composer, "") << "so is an encrypted one";
    EXPECT_EQ(tag.Artist, "Artist") << "after the group byte and the data length";
    EXPECT_EQ(tag.Album, "Album") << "cut to the data length";
    TID3v2 saver = tag;
    saver.FSetArtist("Other");
    ASSERT_TRUE(saver.SaveToFile(name_));
    const std::string saved = ReadBytes(name_);
    EXPECT_NE(saved.find(compressed), std::string::npos) << "frames that cannot be read are kept whole";
    EXPECT_NE(saved.find(encrypted), std::string::npos);

    Make(Header(3, 0, Frame23("TPE1", "G" + Enc0("Artist"), 0x20) + Frame23("TALB", "\x80" + Enc0("Album"), 0x40)));
    tag = Read();
    EXPECT_EQ(tag.Artist, "Artist") << "a 2.3 group byte";
    EXPECT_EQ(tag.Album, "") << "a 2.3 encrypted frame";
}

TEST_F(ID3v2LayoutTest, DamagedFramesKeepTheFramesAfterThem) {
    // iTunes stored 2.4 frame sizes as plain integers: 300 is 00 00 01 2C.
    const std::string picture = std::string("\0image/png\0\x03\0", 13) + std::string(287, '\x7F');
    Make(Header(4, 0, "APIC" + Be32(300) + std::string(2, '\0') + picture + Frame24("TIT2", 0, Enc0("Title")) +
                          std::string(50, '\0')));
    EXPECT_EQ(Read().Title, "Title");
    ExpectSaveKeepsTheRest();

    // A comment in an encoding that does not exist and a frame with an
    // identifier the standard does not allow, mid-block.
    const std::string badComment = Frame23("COMM", "\x09" "engxx");
    Make(Header(3, 0, Frame23("TIT2", Enc0("Title")) + badComment + Frame23("t!t2", "zz") + kPriv +
                          Frame23("TXXX", Enc0(std::string("key\0value", 9)))));
    ExpectSaveKeepsTheRest();
    EXPECT_NE(ReadBytes(name_).find(badComment), std::string::npos);
}

TEST_F(ID3v2LayoutTest, ReadsSkipFramesNobodyUses) {
    const std::string picture = std::string("\0image/jpeg\0\x03\0", 14) + AudioBytes(3 << 20, 7);
    for (int version : {3, 4}) {
        const std::string apic = version == 3 ? Frame23("APIC", picture) : Frame24("APIC", 0, picture);
        const std::string title = version == 3 ? Frame23("TIT2", Enc0("Title")) : Frame24("TIT2", 0, Enc0("Title"));
        Make(Header(static_cast<uint8_t>(version), 0, title + apic + title + std::string(1000, '\0')));
        const int64_t before = BytesRead();
        TID3v2 tag;
        ASSERT_TRUE(tag.ReadFromFile(name_));
        const int64_t read = BytesRead() - before;
        EXPECT_EQ(tag.Title, "Title");
        EXPECT_GT(read, 0);
        EXPECT_LE(read, 64 * 1024) << "version 2." << version;
        std::printf("version 2.%d, a 3 MB picture: %lld bytes read\n", version, static_cast<long long>(read));
    }
}
