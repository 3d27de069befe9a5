#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "tests/fixtures/Fixtures.h"
#include "tests/tags/TagTestFiles.h"

namespace {

using fixtures::ShellQuote;
using tagtest::ReadBytes;
using tagtest::WriteBytes;

struct Result {
    int status = -1;
    std::vector<std::string> out;
    std::vector<std::string> err;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

const std::vector<std::string> kFieldOrder = {"Artist", "Web",   "Composer", "Title",   "Year",      "Encoder", "Duration",
                                              "Track",  "Genre", "Album",    "Comment", "Copyright", "Language"};

std::vector<std::string> Names(const std::vector<std::string>& lines) {
    std::vector<std::string> names;
    for (const std::string& line : lines) names.push_back(line.substr(0, line.find('=')));
    return names;
}

class NiloTagTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        encoded_ = new tagtest::TempFolder;
        std::string wav = encoded_->File("a.wav");
        ASSERT_TRUE(fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, 3 * 44100))));
        ASSERT_TRUE(fixtures::EncodeMp3(wav, encoded_->File("a.mp3")));
        ASSERT_TRUE(fixtures::EncodeOgg(wav, encoded_->File("a.ogg"), "-t 'Ogg title' -a 'Ogg artist'"));
        ASSERT_TRUE(fixtures::EncodeWma(wav, encoded_->File("a.wma"), "-metadata title='Wma title'"));
    }
    static void TearDownTestSuite() { delete encoded_; }

    std::string Copy(const std::string& name) {
        std::string path = dir_.File(name);
        WriteBytes(path, ReadBytes(encoded_->File(name)));
        return path;
    }

    Result Tool(const std::vector<std::string>& args) {
        std::string command = ShellQuote(NILO_TAG_PATH);
        for (const std::string& a : args) command += " " + ShellQuote(a);
        std::string errFile = dir_.File("stderr.txt");
        Result r;
        int status = 0;
        r.out = Lines(tagtest::RunCommand(command + " 2>" + ShellQuote(errFile), status));
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.err = Lines(ReadBytes(errFile));
        return r;
    }

    static std::string Field(const Result& r, const std::string& name) {
        for (const std::string& line : r.out)
            if (line.compare(0, name.size() + 1, name + "=") == 0) return line.substr(name.size() + 1);
        return "(missing)";
    }

    static tagtest::TempFolder* encoded_;
    tagtest::TempFolder dir_;
};

tagtest::TempFolder* NiloTagTest::encoded_ = nullptr;

TEST_F(NiloTagTest, ReadPrintsTheThirteenFieldsInOrder) {
    std::string ogg = Copy("a.ogg");
    Result r = Tool({"read", "ogg", ogg});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.empty());
    EXPECT_EQ(Names(r.out), kFieldOrder);
    EXPECT_EQ(Field(r, "Title"), "Ogg title");
    EXPECT_EQ(Field(r, "Artist"), "Ogg artist");
    EXPECT_EQ(Field(r, "Duration"), "");

    r = Tool({"read", "auto", ogg});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Names(r.out), kFieldOrder);
    EXPECT_EQ(Field(r, "Duration"), "00:03");

    r = Tool({"read", "wma", Copy("a.wma")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Field(r, "Title"), "Wma title");

    std::string mp3 = Copy("a.mp3");
    r = Tool({"read", "auto", mp3});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Field(r, "Title"), "a");
    EXPECT_EQ(Field(r, "Duration"), "00:03");
    for (const char* kind : {"id3v1", "id3v2"}) {
        r = Tool({"read", kind, mp3});
        EXPECT_EQ(r.status, 0) << kind;
        EXPECT_EQ(r.out.size(), 13u) << kind;
        EXPECT_EQ(Field(r, "Title"), "") << kind;
    }
}

TEST_F(NiloTagTest, FailuresExitWithOneAndOneErrorLine) {
    std::string missing = dir_.File("missing.mp3");
    Result r = Tool({"read", "id3v2", missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Names(r.out), kFieldOrder);
    EXPECT_EQ(r.err.size(), 1u);

    // A Vorbis file that cannot be opened: the file error, nothing printed.
    r = Tool({"read", "ogg", dir_.File("missing.ogg")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    ASSERT_EQ(r.err.size(), 1u);
    EXPECT_NE(r.err[0].find("missing.ogg"), std::string::npos);

    std::string notOgg = dir_.File("not.ogg");
    WriteBytes(notOgg, std::string(1000, 'n'));
    r = Tool({"read", "ogg", notOgg});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.size(), 13u);
    EXPECT_EQ(r.err.size(), 1u);
    r = Tool({"write", "ogg", notOgg, "Title=x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadBytes(notOgg), std::string(1000, 'n'));

    r = Tool({"write", "id3v2", Copy("a.mp3"), "Track=seven"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.size(), 1u);

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"read"}, {"read", "aiff", notOgg}, {"write", "flac", notOgg}, {"remove", "wma", notOgg},
             {"dump", "auto", notOgg}, {"write", "ogg", notOgg, "Nonsense=1"}, {"dump", "ogg", notOgg, "extra"}}) {
        r = Tool(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_TRUE(r.out.empty());
    }
}

TEST_F(NiloTagTest, DumpPrintsEveryFieldOfTheClass) {
    Result r = Tool({"dump", "ogg", Copy("a.ogg")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Names(r.out), (std::vector<std::string>{"FileSize", "ChannelModeID", "SampleRate", "BitRateNominal",
                                                      "Samples", "ID3v2Size", "Title", "Artist", "Album", "Track",
                                                      "Date", "Genre", "Comment", "Vendor"}));
    EXPECT_EQ(Field(r, "Samples"), std::to_string(3 * 44100));
    EXPECT_EQ(Field(r, "ChannelModeID"), "2");

    r = Tool({"dump", "wma", Copy("a.wma")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Names(r.out), (std::vector<std::string>{"Valid", "FileSize", "ChannelModeID", "SampleRate", "Duration",
                                                      "BitRate", "Title", "Artist", "Album", "Track", "Year", "Genre",
                                                      "Comment"}));
    EXPECT_EQ(Field(r, "Valid"), "1");
    EXPECT_EQ(Field(r, "BitRate"), "128");

    std::string mp3 = Copy("a.mp3");
    ASSERT_EQ(Tool({"write", "id3v2", mp3, "Title=T", "Comment=one\r\ntwo", "Track=3"}).status, 0);
    r = Tool({"dump", "id3v2", mp3});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Names(r.out), (std::vector<std::string>{"Exists", "VersionID", "Size", "Title", "Artist", "Album", "Track",
                                                      "TrackString", "Year", "Genre", "Comment", "Composer", "Encoder",
                                                      "Copyright", "Language", "Link", "AudioSizeText"}));
    EXPECT_EQ(Field(r, "Exists"), "1");
    EXPECT_EQ(Field(r, "VersionID"), "3");
    EXPECT_EQ(Field(r, "Size"), "4096");
    EXPECT_EQ(Field(r, "Comment"), "one\\r\\ntwo");

    ASSERT_EQ(Tool({"write", "id3v1", mp3, "Title=T1", "Genre=Rock"}).status, 0);
    r = Tool({"dump", "id3v1", mp3});
    EXPECT_EQ(Names(r.out), (std::vector<std::string>{"Exists", "VersionID", "Title", "Artist", "Album", "Year",
                                                      "Comment", "Track", "GenreID", "HasLyrics3", "Lyrics3Size",
                                                      "ExtArtist", "ExtAlbum", "ExtTitle", "ExtComment", "Image",
                                                      "Author", "Lyrics"}));
    EXPECT_EQ(Field(r, "GenreID"), "17");
    EXPECT_EQ(Field(r, "HasLyrics3"), "0");
}

TEST_F(NiloTagTest, WriteAndRemoveAsTheEditorDoes) {
    std::string mp3 = Copy("a.mp3");
    ASSERT_EQ(Tool({"write", "id3v2", mp3, "Title=Song", "Artist=Band", "Web=http://example.org", "Track=70000"}).status,
              0);
    int status = 0;
    std::string out = tagtest::RunPython(dir_,
                                         "import sys\nfrom mutagen.id3 import ID3\nt = ID3(sys.argv[1])\n"
                                         "print(t['TIT2'], t['TPE1'], t['TRCK'], t['WXXX:'].url, t.version[1])\n",
                                         mp3, status);
    EXPECT_EQ(out, "Song Band 4464 http://example.org 3\n");
    Result r = Tool({"read", "auto", mp3});
    EXPECT_EQ(Field(r, "Title"), "Song");
    EXPECT_EQ(Field(r, "Track"), "4464");

    // An ID3v1 title wins over the ID3v2 tag.
    ASSERT_EQ(Tool({"write", "id3v1", mp3, "Title=Old style", "Year=19999"}).status, 0);
    r = Tool({"read", "auto", mp3});
    EXPECT_EQ(Field(r, "Title"), "Old style");
    EXPECT_EQ(Field(r, "Year"), "1999");
    EXPECT_EQ(Field(r, "Web"), "");

    EXPECT_EQ(Tool({"remove", "id3v1", mp3}).status, 0);
    EXPECT_EQ(Field(Tool({"read", "auto", mp3}), "Title"), "Song");
    EXPECT_EQ(Tool({"remove", "id3v2", mp3}).status, 0);
    EXPECT_EQ(Tool({"remove", "id3v2", mp3}).status, 1); // nothing left to remove
    EXPECT_EQ(ReadBytes(mp3), ReadBytes(encoded_->File("a.mp3")));

    std::string ogg = Copy("a.ogg");
    ASSERT_EQ(Tool({"write", "ogg", ogg, "Title=Новый", "Genre=Folk", "Year=2000"}).status, 0);
    out = tagtest::RunPython(dir_,
                             "import sys\nfrom mutagen.oggvorbis import OggVorbis\nf = OggVorbis(sys.argv[1])\n"
                             "print(sorted((k.upper(), v) for k, v in f.tags.items()))\n",
                             ogg, status);
    EXPECT_EQ(out, "[('DATE', ['2000']), ('GENRE', ['Folk']), ('TITLE', ['Новый'])]\n");
    EXPECT_EQ(Tool({"remove", "ogg", ogg}).status, 0);
    r = Tool({"read", "ogg", ogg});
    EXPECT_EQ(Field(r, "Title"), "");
    EXPECT_FALSE(tagtest::TemporaryLeft(ogg));
}

} // namespace
