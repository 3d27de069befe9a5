#include "tags/OggVorbis.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "platform/TextFile.h"
#include "tags/TagFile.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/tags/TagTestFiles.h"

namespace {

std::string Le32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += char(v >> (8 * i));
    return s;
}

std::string Le64(uint64_t v) { return Le32(uint32_t(v)) + Le32(uint32_t(v >> 32)); }

// Bit by bit, apart from the table-driven checksum under test.
uint32_t ReferenceOggCrc(const std::string& bytes) {
    uint32_t crc = 0;
    for (unsigned char b : bytes) {
        crc ^= uint32_t(b) << 24;
        for (int i = 0; i < 8; ++i) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

std::string RawPage(uint8_t flags, uint64_t granule, uint32_t sequence, const std::string& lacing,
                    const std::string& body) {
    std::string page = std::string("OggS") + '\0' + char(flags) + Le64(granule) + Le32(0x1234) + Le32(sequence) +
                       Le32(0) + char(lacing.size()) + lacing + body;
    std::string crc = Le32(ReferenceOggCrc(page));
    page.replace(22, 4, crc);
    return page;
}

std::string LacingFor(size_t size, bool continues = false) {
    std::string lacing(size / 255, char(255));
    if (!continues) lacing += char(size % 255);
    return lacing;
}

// A page holding whole packets; with lastContinues the last one (a multiple
// of 255 bytes) goes on in the next page.
std::string Page(uint8_t flags, uint64_t granule, uint32_t sequence, const std::vector<std::string>& packets,
                 bool lastContinues = false) {
    std::string lacing, body;
    for (size_t i = 0; i < packets.size(); ++i) {
        lacing += LacingFor(packets[i].size(), lastContinues && i + 1 == packets.size());
        body += packets[i];
    }
    return RawPage(flags, granule, sequence, lacing, body);
}

std::string Identification(uint8_t channels, uint32_t rate, uint32_t nominal) {
    return std::string("\x01vorbis", 7) + Le32(0) + char(channels) + Le32(rate) + Le32(0) + Le32(nominal) + Le32(0) +
           char(0xB8) + char(1);
}

std::string CommentPacket(const std::string& vendor, const std::vector<std::string>& items) {
    std::string p = std::string("\x03vorbis", 7) + Le32(uint32_t(vendor.size())) + vendor + Le32(uint32_t(items.size()));
    for (const std::string& item : items) p += Le32(uint32_t(item.size())) + item;
    return p + '\x01';
}

std::string Filler(char type, size_t size) {
    std::string s = std::string(1, type) + "vorbis";
    for (size_t i = s.size(); i < size; ++i) s += char(i * 7 + 3);
    return s;
}

std::string SetupPacket() { return Filler('\x05', 600); }

// The audio pages after the headers: what a rewrite must keep byte for byte.
std::string AudioPages(uint64_t lastGranule) {
    return Page(0, 4096, 2, {Filler('\x00', 700), Filler('\x00', 300)}) + Page(4, lastGranule, 3, {Filler('\x00', 900)});
}

std::string OggFile(const std::vector<std::string>& items, uint64_t lastGranule = 88200,
                    const std::string& vendor = "Test vendor 1.0") {
    return Page(2, 0, 0, {Identification(2, 44100, 128000)}) +
           Page(0, 0, 1, {CommentPacket(vendor, items), SetupPacket()}) + AudioPages(lastGranule);
}

struct PageView {
    size_t offset = 0;
    size_t headerSize = 0;
    size_t size = 0;
    std::vector<uint8_t> lacing;
};

PageView PageAt(const std::string& file, size_t offset) {
    PageView v;
    v.offset = offset;
    int segments = uint8_t(file.at(offset + 26));
    v.headerSize = 27 + segments;
    size_t body = 0;
    for (int i = 0; i < segments; ++i) {
        v.lacing.push_back(uint8_t(file.at(offset + 27 + i)));
        body += v.lacing.back();
    }
    v.size = v.headerSize + body;
    return v;
}

bool ChecksumVerifies(const std::string& file, const PageView& page) {
    std::string bytes = file.substr(page.offset, page.size);
    std::string stored = bytes.substr(22, 4);
    bytes.replace(22, 4, std::string(4, '\0'));
    return Le32(ReferenceOggCrc(bytes)) == stored;
}

class OggVorbisTest : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = fixtures::MakeTempDir("nilo-ogg"); }
    void TearDown() override {
        SetFileFaultHook({});
        fixtures::RemoveTree(dir_);
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string Contents(const std::string& path) {
        std::string s;
        EXPECT_TRUE(platform::ReadWholeFile(path, s));
        return s;
    }
    static bool NoTemporary(const std::string& path) { return !tagtest::TemporaryLeft(path); }

    // A save that must be refused leaves the file as it was.
    void ExpectRefused(const std::string& path, TOggVorbis& tag) {
        std::string before = Contents(path);
        EXPECT_FALSE(tag.SaveTag(path));
        EXPECT_EQ(Contents(path), before);
        EXPECT_TRUE(NoTemporary(path));
    }

    std::string dir_;
};

TEST_F(OggVorbisTest, ReadsStreamInformation) {
    std::string bytes = OggFile({"TITLE=x"}, 0x123456789ull);
    std::string path = Write("a.ogg", bytes);
    TOggVorbis tag;
    ASSERT_TRUE(tag.ReadFromFile(path));
    EXPECT_EQ(tag.FileSize, int64_t(bytes.size()));
    EXPECT_EQ(tag.ChannelModeID, 2);
    EXPECT_EQ(tag.SampleRate, 44100);
    EXPECT_EQ(tag.BitRateNominal, 128);
    EXPECT_EQ(uint32_t(tag.Samples), 0x23456789u);
    EXPECT_EQ(tag.ID3v2Size, 0);
    EXPECT_EQ(tag.Vendor, "Test vendor 1.0");

    // An ID3v2 block of 2048 bytes (10-byte header, size 2038 in 7-bit groups).
    std::string id3 = std::string("ID3\x03\x00\x00\x00\x00\x0F\x76", 10) + std::string(2038, '\0');
    path = Write("b.ogg", id3 + bytes);
    ASSERT_TRUE(tag.ReadFromFile(path));
    EXPECT_EQ(tag.ID3v2Size, 2048);
    EXPECT_EQ(tag.SampleRate, 44100);
    EXPECT_EQ(tag.Title, "x");

    // The footer flag adds 10 more bytes.
    std::string withFooter = std::string("ID3\x04\x00\x10\x00\x00\x0F\x6C", 10) + std::string(2038, '\0');
    ASSERT_TRUE(tag.ReadFromFile(Write("c.ogg", withFooter + bytes)));
    EXPECT_EQ(tag.ID3v2Size, 2048);

    // No "OggS" in the last 12060 bytes: no sample count.
    ASSERT_TRUE(tag.ReadFromFile(Write("d.ogg", bytes + std::string(12100, '\0'))));
    EXPECT_EQ(tag.Samples, 0);
    EXPECT_EQ(tag.ChannelModeID, 2);

    // The last of several pages is found also when it is the only page near the end.
    ASSERT_TRUE(tag.ReadFromFile(Write("e.ogg", bytes + std::string(11000, '\0'))));
    EXPECT_EQ(uint32_t(tag.Samples), 0x23456789u);
}

TEST_F(OggVorbisTest, RefusesWhatIsNotOggVorbis) {
    std::string good = OggFile({"TITLE=x"});
    TOggVorbis tag;
    EXPECT_FALSE(tag.ReadFromFile(Write("random.ogg", std::string(300, '\x5A'))));
    EXPECT_FALSE(tag.ReadFromFile(Write("empty.ogg", "")));
    EXPECT_FALSE(tag.ReadFromFile(Write("short.ogg", good.substr(0, 20))));
    EXPECT_FALSE(tag.ReadFromFile(Write("cutid.ogg", good.substr(0, 40))));
    // An ID3v2 block that claims more than the file holds counts as none, so
    // the Ogg data is not found behind it.
    std::string id3 = std::string("ID3\x03\x00\x00\x7F\x7F\x7F\x7F", 10);
    EXPECT_FALSE(tag.ReadFromFile(Write("bigid3.ogg", id3 + good)));
    // A first packet that is not an identification header.
    std::string speex = Page(2, 0, 0, {Filler('\x02', 30)}) + good.substr(58);
    EXPECT_FALSE(tag.ReadFromFile(Write("other.ogg", speex)));
    EXPECT_EQ(tag.SampleRate, 0);
    EXPECT_TRUE(tag.Title.empty());

    std::string path = Write("random2.ogg", std::string(300, '\x5A'));
    ExpectRefused(path, tag);

    EXPECT_THROW(tag.ReadFromFile(dir_ + "/missing.ogg"), EFileError);
    EXPECT_THROW(tag.SaveTag(dir_ + "/missing.ogg"), EFileError);
    EXPECT_THROW(tag.ClearTag(dir_ + "/missing.ogg"), EFileError);
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/missing.ogg"));
}

TEST_F(OggVorbisTest, ReadsEveryCommentField) {
    std::string path = Write("a.ogg", OggFile({"TITLE=  Song title  ", "artist=Band", "Album=Record",
                                               "TRACKNUMBER=3/12", "DATE=1999", "GENRE=Rock", "COMMENT=Nice one",
                                               "UNKNOWN=dropped", "PERFORMER=Other", "DESCRIPTION=Other text"}));
    TOggVorbis tag;
    ASSERT_TRUE(tag.ReadFromFile(path));
    EXPECT_EQ(tag.Title, "Song title");
    EXPECT_EQ(tag.Artist, "Band");
    EXPECT_EQ(tag.Album, "Record");
    EXPECT_EQ(tag.Track, 3);
    EXPECT_EQ(tag.Date, "1999");
    EXPECT_EQ(tag.Genre, "Rock");
    EXPECT_EQ(tag.Comment, "Nice one");

    // Performer and description stand in for an empty artist and comment; a
    // later entry of a name replaces an earlier one.
    ASSERT_TRUE(tag.ReadFromFile(Write("b.ogg", OggFile({"PERFORMER=Singer", "DESCRIPTION=About", "TITLE=First",
                                                         "TITLE=Second", "TRACKNUMBER=300"}))));
    EXPECT_EQ(tag.Artist, "Singer");
    EXPECT_EQ(tag.Comment, "About");
    EXPECT_EQ(tag.Title, "Second");
    EXPECT_EQ(tag.Track, 44);

    ASSERT_TRUE(tag.ReadFromFile(Write("c.ogg", OggFile({"TRACKNUMBER=seven", "TITLE=" + std::string(300, 'x')}))));
    EXPECT_EQ(tag.Track, 0);
    EXPECT_EQ(tag.Title, std::string(244, 'x')); // items are cut to 250 bytes

    // An item without "=" fills the vendor only while it is empty.
    ASSERT_TRUE(tag.ReadFromFile(Write("d.ogg", OggFile({"just text", "TITLE=t"}, 1, ""))));
    EXPECT_EQ(tag.Vendor, "just text");
    EXPECT_EQ(tag.Title, "t");

    // A file without a comment header reads with empty fields.
    std::string noComments = Page(2, 0, 0, {Identification(1, 8000, 64000)}) + Page(0, 0, 1, {SetupPacket()}) + AudioPages(5);
    ASSERT_TRUE(tag.ReadFromFile(Write("e.ogg", noComments)));
    EXPECT_EQ(tag.ChannelModeID, 1);
    EXPECT_EQ(tag.SampleRate, 8000);
    EXPECT_TRUE(tag.Title.empty());
    EXPECT_TRUE(tag.Vendor.empty());
}

TEST_F(OggVorbisTest, DecodesUtf8AndStopsAtBrokenSequences) {
    std::string path = Write("a.ogg", OggFile({"TITLE=Привет мир", "ARTIST=Smile \xF0\x9F\x98\x80 twice \xF0\x9F\x8E\xB5",
                                               "ALBUM=before\xC3(after", "COMMENT=cut\xE2\x82", "GENRE=x\xF0\x9F\x98y",
                                               "DATE=\xF4\x90\x80\x80z"}));
    TOggVorbis tag;
    ASSERT_TRUE(tag.ReadFromFile(path));
    EXPECT_EQ(tag.Title, "Привет мир");
    EXPECT_EQ(tag.Artist, "Smile \xF0\x9F\x98\x80 twice \xF0\x9F\x8E\xB5");
    EXPECT_EQ(tag.Album, "before");
    EXPECT_EQ(tag.Comment, "cut");
    EXPECT_EQ(tag.Genre, "x");
    EXPECT_EQ(tag.Date, ""); // beyond U+10FFFF
}

TEST_F(OggVorbisTest, RewritesSecondPageWithNewLacingAndChecksum) {
    std::string title = "Old title";
    std::string original = OggFile({"TITLE=" + title, "ARTIST=Band"});
    std::string path = Write("a.ogg", original);
    PageView oldSecond = PageAt(original, 58);

    TOggVorbis tag;
    ASSERT_TRUE(tag.ReadFromFile(path));
    tag.Title = title + std::string(300, 'n');
    ASSERT_TRUE(tag.SaveTag(path));
    EXPECT_TRUE(NoTemporary(path));

    std::string saved = Contents(path);
    // 300 more bytes of packet and one more lacing value: the packet now passes 255 bytes.
    ASSERT_EQ(saved.size(), original.size() + 300 + 1);
    EXPECT_EQ(saved.substr(0, 58), original.substr(0, 58));
    PageView second = PageAt(saved, 58);
    size_t packet = CommentPacket("Test vendor 1.0", {"TITLE=" + tag.Title, "ARTIST=Band"}).size();
    std::vector<uint8_t> expected(packet / 255, 255);
    expected.push_back(uint8_t(packet % 255));
    expected.insert(expected.end(), {255, 255, 90}); // the setup packet's values, unchanged
    EXPECT_EQ(second.lacing, expected);
    EXPECT_TRUE(ChecksumVerifies(saved, second));
    EXPECT_EQ(saved.substr(58, 22), original.substr(58, 22)); // flags, granule, serial, sequence
    EXPECT_EQ(saved.substr(second.offset + second.size), original.substr(oldSecond.offset + oldSecond.size));
    EXPECT_EQ(saved.substr(second.offset + second.size - 600, 600), SetupPacket());

    TOggVorbis again;
    ASSERT_TRUE(again.ReadFromFile(path));
    EXPECT_EQ(again.Title, tag.Title.substr(0, 250 - 6)); // reading cuts items to 250 bytes
    EXPECT_EQ(again.Artist, "Band");
    EXPECT_EQ(again.Samples, 88200);

    // Shrinking back restores the original bytes exactly.
    again.Title = title;
    ASSERT_TRUE(again.SaveTag(path));
    EXPECT_EQ(Contents(path), original);

    // The same save behind an ID3v2 block keeps the block as it was.
    std::string id3 = std::string("ID3\x03\x00\x00\x00\x00\x0F\x76", 10) + std::string(2038, '\x11');
    std::string behind = Write("id3.ogg", id3 + original);
    again.Title = "Other title";
    ASSERT_TRUE(again.SaveTag(behind));
    ASSERT_TRUE(again.SaveTag(path));
    EXPECT_NE(Contents(path), original);
    EXPECT_EQ(Contents(behind), id3 + Contents(path));
}

TEST_F(OggVorbisTest, SaveKeepsWhatItDoesNotWrite) {
    const std::vector<std::string> kept = {"PERFORMER=Singer", "DESCRIPTION=About", "CUSTOM=kept"};
    auto items = [&](std::vector<std::string> more) {
        more.insert(more.begin(), kept.begin(), kept.end());
        return more;
    };
    std::string path = Write("a.ogg", OggFile(items({"TRACKNUMBER=4/9", "DATE=2001", "TITLE=t", "ARTIST=One", "artist=Two"})));
    auto packetIs = [&](const std::vector<std::string>& expected) {
        std::string saved = Contents(path);
        std::string packet = CommentPacket("Test vendor 1.0", expected);
        EXPECT_EQ(saved.substr(PageAt(saved, 58).headerSize + 58, packet.size()), packet);
        EXPECT_TRUE(ChecksumVerifies(saved, PageAt(saved, 58)));
    };
    TOggVorbis tag;
    ASSERT_TRUE(tag.ReadFromFile(path));
    EXPECT_EQ(tag.Artist, "Two"); // the later entry
    EXPECT_EQ(tag.Comment, "About");
    EXPECT_EQ(tag.Track, 4);

    // Only the changed field's entry is replaced, in its place.
    tag.Title = "  Титул \xF0\x9F\x8E\xB5 ";
    ASSERT_TRUE(tag.SaveTag(path));
    packetIs(items({"TRACKNUMBER=4/9", "DATE=2001", "TITLE=Титул \xF0\x9F\x8E\xB5", "ARTIST=One", "artist=Two"}));

    // A changed field replaces all entries of its name; new ones go last.
    tag.Track = 12;
    tag.Artist = "Solo";
    tag.Genre = "Jazz";
    tag.Date.clear();
    ASSERT_TRUE(tag.SaveTag(path));
    packetIs(items({"TRACKNUMBER=12", "TITLE=Титул \xF0\x9F\x8E\xB5", "ARTIST=Solo", "GENRE=Jazz"}));

    tag.Album = "Bytes \xFF\xFE"; // not UTF-8: written as "?"
    ASSERT_TRUE(tag.SaveTag(path));
    TOggVorbis back;
    ASSERT_TRUE(back.ReadFromFile(path));
    EXPECT_EQ(back.Album.substr(0, 6), "Bytes ");
    EXPECT_EQ(back.Album.find('\xFF'), std::string::npos);
    EXPECT_EQ(back.Track, 12);

    // Clearing removes every comment.
    ASSERT_TRUE(back.ClearTag(path));
    packetIs({});
    ASSERT_TRUE(back.ReadFromFile(path));
    EXPECT_TRUE(back.Title.empty());
    EXPECT_TRUE(back.Comment.empty());
    EXPECT_EQ(back.Vendor, "Test vendor 1.0");
}

// Every page of a file without an ID3v2 block, with its checksum checked.
std::vector<PageView> AllPages(const std::string& file) {
    std::vector<PageView> pages;
    for (size_t at = 0; at < file.size(); at = pages.back().offset + pages.back().size) {
        pages.push_back(PageAt(file, at));
        EXPECT_EQ(file.compare(at, 4, "OggS"), 0);
        EXPECT_TRUE(ChecksumVerifies(file, pages.back())) << at;
    }
    return pages;
}

uint32_t SequenceOf(const std::string& file, const PageView& page) {
    return uint8_t(file[page.offset + 18]) | uint8_t(file[page.offset + 19]) << 8;
}

TEST_F(OggVorbisTest, HeaderPagesAreLaidOutAnewAndLaterPagesRenumbered) {
    TOggVorbis tag;
    tag.Title = "New";

    // A comment packet running on into the third page: the two header pages
    // are laid out again and the audio pages stay byte for byte.
    std::string comment = CommentPacket("v", {"TITLE=t", "CUSTOM=x"});
    comment += std::string(510 - comment.size(), '\0');
    std::string head = Page(2, 0, 0, {Identification(2, 44100, 128000)}) + Page(0, 0, 1, {comment}, true) +
                       Page(1, 0, 2, {std::string(1, '\x01'), SetupPacket()});
    std::string audio = Page(0, 4096, 3, {Filler('\x00', 700)}) + Page(4, 8192, 4, {Filler('\x00', 900)});
    std::string path = Write("continued.ogg", head + audio);
    ASSERT_TRUE(tag.SaveTag(path));
    std::string saved = Contents(path);
    std::vector<PageView> pages = AllPages(saved);
    ASSERT_EQ(pages.size(), 5u);
    EXPECT_EQ(saved.substr(pages[3].offset), audio);
    TOggVorbis back;
    ASSERT_TRUE(back.ReadFromFile(path));
    EXPECT_EQ(back.Title, "New");

    // A packet that needs more than one page of 255 lacing values: the audio
    // pages move one sequence number on, with their data unchanged.
    path = Write("big.ogg", OggFile({"TITLE=t"}));
    std::string original = Contents(path);
    tag.Title = std::string(255 * 255, 'x');
    ASSERT_TRUE(tag.SaveTag(path));
    saved = Contents(path);
    pages = AllPages(saved);
    std::vector<PageView> before = AllPages(original);
    ASSERT_EQ(pages.size(), before.size() + 1);
    for (size_t i = 2; i < before.size(); ++i) {
        EXPECT_EQ(SequenceOf(saved, pages[i + 1]), SequenceOf(original, before[i]) + 1);
        EXPECT_EQ(saved.substr(pages[i + 1].offset + pages[i + 1].headerSize, pages[i + 1].size - pages[i + 1].headerSize),
                  original.substr(before[i].offset + before[i].headerSize, before[i].size - before[i].headerSize));
    }
    ASSERT_TRUE(back.ReadFromFile(path));
    EXPECT_EQ(back.Title, std::string(244, 'x'));
    EXPECT_EQ(back.Samples, 88200);
    // Packets that fit the pages there are keep their number, so the audio
    // pages stay as they are.
    ASSERT_TRUE(back.ClearTag(path));
    std::string cleared = Contents(path);
    std::vector<PageView> after = AllPages(cleared);
    ASSERT_EQ(after.size(), pages.size());
    EXPECT_EQ(cleared.substr(after[3].offset), saved.substr(pages[3].offset));
}

TEST_F(OggVorbisTest, RefusesRewritesThatWouldDamageTheFile) {
    TOggVorbis tag;
    tag.Title = "New";
    std::string id = Page(2, 0, 0, {Identification(2, 44100, 128000)});
    std::string comment = CommentPacket("v", {"TITLE=t"});

    // No comment header in the second page.
    ExpectRefused(Write("nocomments.ogg", id + Page(0, 0, 1, {SetupPacket()}) + AudioPages(5)), tag);
    // The setup header shares its page with audio.
    ExpectRefused(Write("shared.ogg", id + Page(0, 0, 1, {comment, SetupPacket(), Filler('\x00', 99)}) + AudioPages(5)),
                  tag);
    // A page of another stream among the header pages.
    std::string other = Page(2, 0, 0, {"other"});
    other.replace(14, 4, Le32(99));
    ExpectRefused(Write("other.ogg", id + other + Page(0, 0, 1, {comment, SetupPacket()}) + AudioPages(5)), tag);
    // The second page is cut short by the end of the file.
    std::string whole = OggFile({"TITLE=t"});
    ExpectRefused(Write("cut.ogg", whole.substr(0, 58 + 27 + 5 + 40)), tag);
    // Pages to renumber, but the audio is damaged before the stream's end.
    std::string damaged = OggFile({"TITLE=t"});
    damaged.insert(damaged.rfind("OggS"), "garbage");
    tag.Title = std::string(255 * 255, 'x');
    ExpectRefused(Write("damaged.ogg", damaged), tag);
}

TEST_F(OggVorbisTest, DamagedCommentHeadersStayBounded) {
    TOggVorbis tag;
    // A field count far beyond what the file holds.
    std::string packet = CommentPacket("v", {"TITLE=kept", "ARTIST=too"});
    packet.replace(7 + 4 + 1, 4, Le32(0xFFFFFFFFu));
    std::string damaged = Page(2, 0, 0, {Identification(2, 44100, 128000)}) + Page(0, 0, 1, {packet, SetupPacket()}) +
                          AudioPages(7);
    std::string path = Write("count.ogg", damaged);
    ASSERT_TRUE(tag.ReadFromFile(path));
    EXPECT_EQ(tag.Title, "kept");
    EXPECT_EQ(tag.Artist, "too");
    ExpectRefused(path, tag);

    // A field length past the end of the file.
    packet = CommentPacket("v", {"TITLE=kept", "ARTIST=lost"});
    packet.replace(7 + 4 + 1 + 4 + 4 + 10, 4, Le32(0x7FFFFFF0u));
    path = Write("length.ogg", Page(2, 0, 0, {Identification(2, 44100, 128000)}) +
                                   Page(0, 0, 1, {packet, SetupPacket()}) + AudioPages(7));
    ASSERT_TRUE(tag.ReadFromFile(path));
    EXPECT_EQ(tag.Title, "kept");
    EXPECT_TRUE(tag.Artist.empty());
    ExpectRefused(path, tag);

    // A field length that runs past the packet into the next one.
    packet = CommentPacket("v", {"TITLE=kept"});
    packet.replace(7 + 4 + 1 + 4, 4, Le32(200));
    path = Write("packet.ogg", Page(2, 0, 0, {Identification(2, 44100, 128000)}) +
                                   Page(0, 0, 1, {packet, SetupPacket()}) + AudioPages(7));
    ASSERT_TRUE(tag.ReadFromFile(path));
    ExpectRefused(path, tag);

    // Cut in the middle of the comment header.
    std::string whole = OggFile({"TITLE=abcdefghij"});
    ASSERT_TRUE(tag.ReadFromFile(Write("cut.ogg", whole.substr(0, 58 + 30 + 7 + 4 + 15 + 6))));
    EXPECT_TRUE(tag.Title.empty());
}

TEST_F(OggVorbisTest, FailedRebuildLeavesTheOriginal) {
    std::string original = OggFile({"TITLE=t"});
    std::string path = Write("a.ogg", original);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    auto mode = [&] {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 07777;
    };
    TOggVorbis tag;
    tag.Title = "Changed";
    for (FileStep step : {FileStep::Create, FileStep::Write, FileStep::Sync, FileStep::Rename}) {
        SetFileFaultHook([step](FileStep s, const std::string&) { return s == step ? 28 : 0; }); // ENOSPC
        EXPECT_FALSE(tag.SaveTag(path)) << int(step);
        SetFileFaultHook({});
        EXPECT_EQ(Contents(path), original) << int(step);
        EXPECT_EQ(mode(), 0444u) << int(step);
        EXPECT_TRUE(NoTemporary(path)) << int(step);
    }

    // A read-only file is saved and stays read-only.
    EXPECT_TRUE(tag.SaveTag(path));
    EXPECT_EQ(mode(), 0444u);
    ASSERT_TRUE(tag.ReadFromFile(path));
    EXPECT_EQ(tag.Title, "Changed");
}

TEST_F(OggVorbisTest, EncodedFilesStayValidAfterSaving) {
    std::string wav = dir_ + "/a.wav";
    ASSERT_TRUE(fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, 44100))));
    std::string ogg = dir_ + "/a.ogg";
    ASSERT_TRUE(fixtures::EncodeOgg(wav, ogg, "-t Title -a Artist -c PERFORMER=P"));
    std::string original = Contents(ogg);
    PageView oldSecond = PageAt(original, 58);

    TOggVorbis tag;
    ASSERT_TRUE(tag.ReadFromFile(ogg));
    EXPECT_EQ(tag.Title, "Title");
    EXPECT_EQ(tag.Artist, "Artist");
    EXPECT_EQ(tag.ChannelModeID, 2);
    EXPECT_EQ(tag.SampleRate, 44100);
    EXPECT_EQ(tag.Samples, 44100);
    EXPECT_NE(tag.Vendor.find("Xiph.Org"), std::string::npos);

    auto oggInfoClean = [&] {
        std::string log = dir_ + "/ogginfo.txt";
        return fixtures::Run("ogginfo '" + ogg + "' > '" + log + "' 2>&1") &&
               !fixtures::Run("grep -qE 'WARNING|ERROR' '" + log + "'");
    };
    for (size_t length : {10u, 400u, 5000u, 3u}) {
        tag.Title = std::string(length, 't');
        tag.Album = "Альбом \xF0\x9F\x8E\xB5";
        ASSERT_TRUE(tag.SaveTag(ogg)) << length;
        EXPECT_TRUE(oggInfoClean()) << length;
        std::string saved = Contents(ogg);
        PageView second = PageAt(saved, 58);
        EXPECT_TRUE(ChecksumVerifies(saved, second));
        EXPECT_EQ(saved.substr(second.offset + second.size), original.substr(oldSecond.offset + oldSecond.size));
    }
    ASSERT_TRUE(tag.ClearTag(ogg));
    EXPECT_TRUE(oggInfoClean());
}

} // namespace
