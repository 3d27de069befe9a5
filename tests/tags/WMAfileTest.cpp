#include "tags/WMAfile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/CodePage.h"
#include "tests/fixtures/Fixtures.h"

namespace {

std::string Le16(uint32_t v) { return {char(v), char(v >> 8)}; }
std::string Le32(uint32_t v) { return Le16(v) + Le16(v >> 16); }
std::string Le64(uint64_t v) { return Le32(uint32_t(v)) + Le32(uint32_t(v >> 32)); }

const std::string kHeader("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const std::string kFileProperties("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16);
const std::string kStreamProperties("\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65", 16);
const std::string kContentDescription("\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const std::string kExtendedContent("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50", 16);
const std::string kOther("\x74\xD4\x06\x18\xDF\xCA\x09\x45\xA4\xBA\x9A\xAB\xCB\x96\xAA\xE8", 16);

std::string Object(const std::string& id, const std::string& body) { return id + Le64(24 + body.size()) + body; }

// UTF-16LE with the terminating zero, as the format stores texts.
std::string Wide(const std::string& utf8) {
    std::string out;
    for (char16_t c : platform::Utf8ToUtf16(utf8)) out += Le16(c);
    return out + Le16(0);
}

std::string FileProperties(uint32_t maxBitRate) { return Object(kFileProperties, std::string(76, '\0') + Le32(maxBitRate)); }

std::string StreamProperties(uint16_t channels, uint32_t rate, uint32_t byteRate) {
    return Object(kStreamProperties, std::string(54, '\0') + Le16(0x161) + Le16(channels) + Le32(rate) +
                                         Le32(byteRate) + Le16(0x2E7) + Le16(16) + Le16(0));
}

std::string ContentDescription(const std::vector<std::string>& five) {
    std::string lengths, texts;
    for (const std::string& t : five) {
        std::string w = t.empty() ? std::string() : Wide(t);
        lengths += Le16(uint32_t(w.size()));
        texts += w;
    }
    return Object(kContentDescription, lengths + texts);
}

struct Attribute {
    std::string name;
    uint16_t type;
    std::string value; // stored bytes
};

std::string ExtendedContent(const std::vector<Attribute>& attributes) {
    std::string body = Le16(uint32_t(attributes.size()));
    for (const Attribute& a : attributes) {
        std::string name = Wide(a.name);
        body += Le16(uint32_t(name.size())) + name + Le16(a.type) + Le16(uint32_t(a.value.size())) + a.value;
    }
    return Object(kExtendedContent, body);
}

Attribute Text(const std::string& name, const std::string& value) { return {name, 0, Wide(value)}; }

std::string AsfFile(const std::vector<std::string>& children, size_t dataBytes = 4000) {
    std::string all;
    for (const std::string& c : children) all += c;
    return kHeader + Le64(30 + all.size()) + Le32(uint32_t(children.size())) + "\x01\x02" + all +
           std::string(dataBytes, '\x55');
}

std::vector<std::string> PlausibleStream() { return {FileProperties(128000), StreamProperties(2, 44100, 16000)}; }

class WMAfileTest : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = fixtures::MakeTempDir("nilo-wma"); }
    void TearDown() override { fixtures::RemoveTree(dir_); }

    std::string Write(const std::string& bytes) {
        std::string path = dir_ + "/f" + std::to_string(count_++) + ".wma";
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    TWMAfile Read(const std::string& bytes, bool expectedResult = true) {
        TWMAfile wma;
        EXPECT_EQ(wma.ReadFromFile(Write(bytes)), expectedResult);
        return wma;
    }

    std::string dir_;
    int count_ = 0;
};

TEST_F(WMAfileTest, ReadsStreamPropertiesAndDuration) {
    std::string bytes = AsfFile(PlausibleStream());
    TWMAfile wma = Read(bytes);
    EXPECT_TRUE(wma.Valid);
    EXPECT_EQ(wma.FileSize, int64_t(bytes.size()));
    EXPECT_EQ(wma.ChannelModeID, 2);
    EXPECT_EQ(wma.FGetChannelMode(), "Stereo");
    EXPECT_EQ(wma.SampleRate, 44100);
    EXPECT_EQ(wma.BitRate, 128);
    EXPECT_DOUBLE_EQ(wma.Duration, bytes.size() * 8.0 / 128000);

    // The last stream object wins.
    wma = Read(AsfFile({FileProperties(64000), StreamProperties(2, 44100, 16000), StreamProperties(1, 22050, 4000)}));
    EXPECT_EQ(wma.ChannelModeID, 1);
    EXPECT_EQ(wma.FGetChannelMode(), "Mono");
    EXPECT_EQ(wma.SampleRate, 22050);
    EXPECT_EQ(wma.BitRate, 32);

    EXPECT_EQ(TWMAfile().FGetChannelMode(), "Unknown");
}

TEST_F(WMAfileTest, PlausibilityLimits) {
    struct Case {
        uint32_t maxBitRate;
        uint16_t channels;
        uint32_t rate;
        uint32_t byteRate;
        bool valid;
    };
    const Case cases[] = {
        {128000, 1, 96000, 16000, true}, {128000, 1, 96001, 16000, false}, {128000, 2, 8000, 16000, true},
        {128000, 2, 7999, 16000, false}, {319999, 2, 44100, 39999, true},  {320000, 2, 44100, 16000, false},
        {0, 2, 44100, 16000, false},     {128000, 3, 44100, 16000, false}, {128000, 0, 44100, 16000, false},
        {128000, 2, 44100, 40000, false}, {128000, 2, 44100, 0, false},
    };
    for (const Case& c : cases) {
        TWMAfile wma = Read(AsfFile({FileProperties(c.maxBitRate), StreamProperties(c.channels, c.rate, c.byteRate),
                                     ContentDescription({"Title", "", "", "", ""})}));
        EXPECT_EQ(wma.Valid, c.valid) << c.maxBitRate << " " << c.channels << " " << c.rate << " " << c.byteRate;
        // The texts are read either way; the figures only when plausible.
        EXPECT_EQ(wma.Title, u"Title");
        if (!c.valid) {
            EXPECT_EQ(wma.SampleRate, 0);
            EXPECT_EQ(wma.FileSize, 0);
            EXPECT_EQ(wma.BitRate, 0);
            EXPECT_EQ(wma.Duration, 0);
        }
    }
    // Not an ASF file at all: read, but not valid.
    TWMAfile wma = Read(std::string(500, 'x'));
    EXPECT_FALSE(wma.Valid);
}

TEST_F(WMAfileTest, ReadsDescriptionsAndAttributes) {
    std::vector<std::string> children = PlausibleStream();
    children.push_back(ContentDescription({"  Title  ", "Author", "Copyright", "Description", "Rating"}));
    children.push_back(ExtendedContent({
        Text("WM/AlbumTitle", "Album"),
        {"WM/TRACK", 3, Le32(9)}, // a number, skipped
        Text(" wm/year ", "1999"),
        Text("WM/Genre", "Жанр"),
        Text("WM/Track", " 12 "),
        Text("WM/Unknown", "x"),
        {"WM/Picture", 1, std::string(77, '\x01')},
    }));
    TWMAfile wma = Read(AsfFile(children));
    ASSERT_TRUE(wma.Valid);
    EXPECT_EQ(wma.Title, u"Title");
    EXPECT_EQ(wma.Artist, u"Author");
    EXPECT_EQ(wma.Comment, u"Description");
    EXPECT_EQ(wma.Album, u"Album");
    EXPECT_EQ(wma.Year, u"1999");
    EXPECT_EQ(wma.Genre, u"Жанр");
    EXPECT_EQ(wma.Track, 12);

    // The later object overwrites; the description object only with its non-empty texts.
    children = PlausibleStream();
    children.push_back(ExtendedContent({Text("WM/Title", "Ext title"), Text("WM/Author", "Ext author"),
                                        Text("WM/Track", "seven")}));
    children.push_back(ContentDescription({"Desc title", "", "", "", ""}));
    wma = Read(AsfFile(children));
    EXPECT_EQ(wma.Title, u"Desc title");
    EXPECT_EQ(wma.Artist, u"Ext author");
    EXPECT_EQ(wma.Track, 0);

    children = PlausibleStream();
    children.push_back(ContentDescription({"Desc title", "Desc author", "", "Desc comment", ""}));
    children.push_back(ExtendedContent({Text("WM/Title", "Ext title"), Text("WM/Description", "Ext comment")}));
    wma = Read(AsfFile(children));
    EXPECT_EQ(wma.Title, u"Ext title");
    EXPECT_EQ(wma.Artist, u"Desc author");
    EXPECT_EQ(wma.Comment, u"Ext comment");

    // Texts are cut to 250 characters; an odd byte length drops the last byte.
    children = PlausibleStream();
    children.push_back(ContentDescription({std::string(300, 'T'), "", "", "", ""}));
    std::string odd = Object(kContentDescription, Le16(0) + Le16(7) + Le16(0) + Le16(0) + Le16(0) + std::string("A\0B\0C\0D", 7));
    children.push_back(odd);
    children.push_back(ExtendedContent({Text("WM/Genre", "after")}));
    wma = Read(AsfFile(children));
    EXPECT_EQ(wma.Title, std::u16string(250, u'T'));
    EXPECT_EQ(wma.Artist, u"ABC");
    EXPECT_EQ(wma.Genre, u"after");

    // Unknown objects are stepped over.
    children = {Object(kOther, std::string(33, '\0'))};
    for (const std::string& c : PlausibleStream()) children.push_back(c);
    wma = Read(AsfFile(children));
    EXPECT_TRUE(wma.Valid);
}

TEST_F(WMAfileTest, DamagedHeadersFailWithoutRunningAway) {
    std::string good = AsfFile(PlausibleStream(), 100);
    Read(good.substr(0, 100), false); // ends inside the header
    Read(kHeader + "\x10", false);

    // A child count far beyond the objects present.
    std::string bytes = good;
    bytes.replace(24, 4, Le32(0xFFFFFFFFu));
    Read(bytes, false);

    // Objects whose sizes make no progress or point back.
    for (uint64_t size : {0ull, 8ull, 23ull, 0xFFFFFFFFull}) {
        bytes = good;
        bytes.replace(30 + 16, 8, Le64(size));
        Read(bytes, false);
    }
    // An object running past the end of the file.
    bytes = good;
    bytes.replace(30 + 16, 8, Le64(good.size()));
    Read(bytes, false);

    // An attribute count beyond the object's end.
    std::vector<std::string> children = PlausibleStream();
    std::string ext = ExtendedContent({Text("WM/Genre", "g")});
    ext.replace(24, 2, Le16(60000));
    children.push_back(ext);
    Read(AsfFile(children), false);

    // A text length beyond the object's end.
    children = PlausibleStream();
    children.push_back(Object(kContentDescription, Le16(5000) + Le16(0) + Le16(0) + Le16(0) + Le16(0) + "abcd"));
    Read(AsfFile(children), false);

    TWMAfile wma;
    EXPECT_FALSE(wma.ReadFromFile(dir_ + "/missing.wma"));
}

// ffmpeg stores its own comment and date under names outside the seven.
TEST_F(WMAfileTest, ReadsFilesMadeByFfmpeg) {
    std::string wav = dir_ + "/a.wav";
    ASSERT_TRUE(fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, 44100))));
    std::string path = dir_ + "/a.wma";
    ASSERT_TRUE(fixtures::EncodeWma(wav, path,
                                    "-metadata title='Заголовок' -metadata artist=Performer -metadata album=Record "
                                    "-metadata genre=Jazz -metadata comment=Ignored -metadata date=1990 "
                                    "-metadata WM/Description='Some words' -metadata WM/Year=2003 "
                                    "-metadata WM/Track=7"));
    TWMAfile wma;
    ASSERT_TRUE(wma.ReadFromFile(path));
    ASSERT_TRUE(wma.Valid);
    EXPECT_EQ(wma.ChannelModeID, 2);
    EXPECT_EQ(wma.SampleRate, 44100);
    EXPECT_EQ(wma.BitRate, 128);
    EXPECT_GT(wma.Duration, 0.5);
    EXPECT_LT(wma.Duration, 2.0);
    EXPECT_EQ(wma.Title, u"Заголовок");
    EXPECT_EQ(wma.Artist, u"Performer");
    EXPECT_EQ(wma.Album, u"Record");
    EXPECT_EQ(wma.Genre, u"Jazz");
    EXPECT_EQ(wma.Comment, u"Some words");
    EXPECT_EQ(wma.Year, u"2003");
    EXPECT_EQ(wma.Track, 7);
}

} // namespace
