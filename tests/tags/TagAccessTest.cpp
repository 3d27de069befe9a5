#include "tags/TagAccess.h"

#include <gtest/gtest.h>

#include <set>

#include "tags/ID3v1.h"
#include "tags/TagFile.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/tags/TagBytes.h"
#include "tests/tags/TagTestFiles.h"

namespace {

using tagbytes::Enc0;
using tagbytes::Frame23;
using tagbytes::Id3v1Record;
using tagbytes::Id3v2Block;
using tagtest::ReadBytes;
using tagtest::WriteBytes;

const char* const kMutagenId3 = R"(import sys
from mutagen.id3 import ID3
t = ID3(sys.argv[1])
print("version=" + ".".join(str(n) for n in t.version[:2]))
for k in sorted(t.keys()):
    print(k + "=" + str(t[k]))
)";

struct Report {
    TagKind kind;
    std::string file;
    bool operator==(const Report&) const = default;
};

class TagAccessTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        encoded_ = new tagtest::TempFolder;
        std::string wav = encoded_->File("a.wav");
        ASSERT_TRUE(fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, 2 * 44100 + 22050))));
        ASSERT_TRUE(fixtures::EncodeMp3(wav, encoded_->File("a.mp3")));
        ASSERT_TRUE(fixtures::EncodeOgg(wav, encoded_->File("a.ogg"), "-c TRACKNUMBER=4 -c DATE=2002 -c CUSTOM=x"));
        ASSERT_TRUE(fixtures::EncodeWma(wav, encoded_->File("a.wma"), "-metadata artist=Wma"));
    }
    static void TearDownTestSuite() { delete encoded_; }

    void SetUp() override {
        SetTagFailureHandler([this](TagKind kind, const std::string& file) { reports_.push_back({kind, file}); });
    }
    void TearDown() override { SetTagFailureHandler({}); }

    // A copy of an encoded file under a name of the test's choice.
    std::string Copy(const std::string& encoded, const std::string& name) {
        std::string path = dir_.File(name);
        WriteBytes(path, ReadBytes(encoded_->File(encoded)));
        return path;
    }
    std::string Make(const std::string& name, const std::string& bytes) {
        std::string path = dir_.File(name);
        WriteBytes(path, bytes);
        return path;
    }
    std::string Python(const std::string& script, const std::string& file) {
        int status = 0;
        std::string out = tagtest::RunPython(dir_, script, file, status);
        EXPECT_EQ(status, 0) << out;
        return out;
    }

    static tagtest::TempFolder* encoded_;
    tagtest::TempFolder dir_;
    std::vector<Report> reports_;
};

tagtest::TempFolder* TagAccessTest::encoded_ = nullptr;

std::string BothTags(const std::string& id3v1Title) {
    std::string v2 = Id3v2Block(3, Frame23("TIT2", Enc0("V2 title")) + Frame23("TPE1", Enc0("V2 artist")) +
                                       Frame23("TCOM", Enc0("Composer")) + Frame23("TRCK", Enc0("5/9")) +
                                       Frame23("WXXX", std::string("\0\0http://example.org", 20)));
    return v2 + tagtest::AudioBytes(3000) + Id3v1Record(id3v1Title, "V1 artist", "V1 album", "1987", "V1 comment", 17);
}

TEST_F(TagAccessTest, ReadTagsChoosesTheTagByExtension) {
    TTagNames names = ReadTags(Make("Song.mp3", BothTags("V1 title")));
    EXPECT_EQ(names.Title, "V1 title");
    EXPECT_EQ(names.Artist, "V1 artist");
    EXPECT_EQ(names.Album, "V1 album");
    EXPECT_EQ(names.Year, "1987");
    EXPECT_EQ(names.Genre, "Rock");
    EXPECT_EQ(names.Comment, "V1 comment");
    EXPECT_TRUE(names.Composer.empty());
    EXPECT_TRUE(names.Web.empty());
    EXPECT_TRUE(names.Track.empty());
    EXPECT_TRUE(names.Duration.empty());

    // An empty ID3v1 title hands everything to the ID3v2 tag.
    names = ReadTags(Make("Other.mp3", BothTags("")));
    EXPECT_EQ(names.Title, "V2 title");
    EXPECT_EQ(names.Artist, "V2 artist");
    EXPECT_EQ(names.Composer, "Composer");
    EXPECT_EQ(names.Track, "5");
    EXPECT_EQ(names.Web, "http://example.org");
    EXPECT_TRUE(names.Album.empty());
    EXPECT_TRUE(names.Year.empty());

    // ID3v1 with an artist but no title, and no ID3v2: only the file name.
    std::string v1Only = tagtest::AudioBytes(500) + Id3v1Record("", "Artist", "Album", "1999", "", 3);
    names = ReadTags(Make("Untitled.mp3", v1Only));
    TTagNames expected;
    expected.Title = "Untitled";
    EXPECT_EQ(names, expected);

    // Upper-case extension: no tag read at all.
    names = ReadTags(Make("Song.MP3", BothTags("V1 title")));
    expected.Title = "Song";
    EXPECT_EQ(names, expected);
    names = ReadTags(Make("notes.txt.wav", BothTags("V1 title")));
    expected.Title = "notes.txt";
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(reports_.empty());
}

TEST_F(TagAccessTest, ReadTagsTitleFallback) {
    TTagNames names = ReadTags(Copy("a.mp3", "Plain.mp3"));
    EXPECT_EQ(names.Title, "Plain");
    EXPECT_TRUE(names.Duration.empty());

    names = ReadTags(Copy("a.ogg", "Vorbis file.ogg"));
    EXPECT_EQ(names.Title, "Vorbis file");

    names = ReadTags(Copy("a.wma", "Windows.wma"));
    EXPECT_EQ(names.Title, "Windows");
    EXPECT_EQ(names.Artist, "Wma");
    EXPECT_TRUE(reports_.empty());
}

TEST_F(TagAccessTest, FailingTagClassesAreReported) {
    std::string missing = dir_.File("gone.mp3");
    TTagNames names = ReadTags(missing);
    EXPECT_EQ(names.Title, "gone");
    EXPECT_EQ(reports_, (std::vector<Report>{{TagKind::ID3v1, missing}, {TagKind::ID3v2, missing}}));

    reports_.clear();
    std::string notOgg = Make("fake.ogg", std::string(400, 'z'));
    EXPECT_EQ(ReadTags(notOgg).Title, "fake");
    EXPECT_EQ(reports_, (std::vector<Report>{{TagKind::OggVorbis, notOgg}}));
    EXPECT_FALSE(SaveOggVorbis(notOgg, {}));
    EXPECT_EQ(reports_.size(), 2u);

    reports_.clear();
    std::string badWma = Make("bad.wma", ReadBytes(encoded_->File("a.wma")).substr(0, 100));
    EXPECT_EQ(ReadWMA(badWma), TTagNames());
    EXPECT_EQ(reports_, (std::vector<Report>{{TagKind::WMA, badWma}}));

    // A Vorbis file that cannot be opened ends the operation with the file
    // layer's error.
    reports_.clear();
    EXPECT_THROW(ReadTags(dir_.File("gone.ogg")), EFileError);
    EXPECT_THROW(SaveOggVorbis(dir_.File("gone.ogg"), {}), EFileError);
    EXPECT_THROW(RemoveOggVorbis(dir_.File("gone.ogg")), EFileError);

    EXPECT_FALSE(SaveID3v1(dir_.File("none/x.mp3"), {}));
    EXPECT_FALSE(SaveID3v2(dir_.File("none/x.mp3"), {}));
    EXPECT_EQ(reports_.size(), 2u);

    // Removal reports nothing.
    reports_.clear();
    EXPECT_FALSE(RemoveID3v2(Make("plain.mp3", tagtest::AudioBytes(100))));
    EXPECT_FALSE(RemoveID3v1(dir_.File("none/x.mp3")));
    EXPECT_TRUE(reports_.empty());
}

TEST_F(TagAccessTest, SaveID3v2AsTheEditorDoes) {
    std::string audio = tagtest::AudioBytes(6000, 7);
    std::string path = Make("a.mp3", audio);
    TTagNames names;
    names.Title = "Títle café";
    names.Artist = "Artist";
    names.Album = "Album";
    names.Year = "2004";
    names.Comment = "Words";
    names.Genre = "Jazz";
    names.Composer = "Composer";
    names.Encoder = "Encoder";
    names.Copyright = "Copyright";
    names.Web = "http://example.org/";
    names.Language = "eng";
    names.Track = "70000";
    names.Duration = "99:99";
    ASSERT_TRUE(SaveID3v2(path, names));
    std::string saved = ReadBytes(path);
    EXPECT_EQ(tagtest::Hash(saved.substr(saved.size() - audio.size())), tagtest::Hash(audio));

    TTagNames back = ReadID3v2(path);
    names.Track = "4464"; // 70000 cut to 16 bits
    names.Duration.clear();
    EXPECT_EQ(back, names);

    std::string out = Python(kMutagenId3, path);
    for (const char* line : {"version=2.3\n", "TPE1=Artist\n", "TALB=Album\n", "TRCK=4464\n", "COMM::eng=Words\n",
                             "TCOM=Composer\n", "TENC=Encoder\n", "TCOP=Copyright\n", "TLAN=eng\n",
                             "WXXX:=http://example.org/\n", "TCON=Jazz\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << out;

    names.Track.clear();
    ASSERT_TRUE(SaveID3v2(path, names));
    EXPECT_EQ(ReadID3v2(path).Track, "0");

    // A track that is no number writes nothing.
    std::string before = ReadBytes(path);
    names.Track = "7a";
    EXPECT_FALSE(SaveID3v2(path, names));
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(reports_, (std::vector<Report>{{TagKind::ID3v2, path}}));

    ASSERT_TRUE(RemoveID3v2(path));
    EXPECT_EQ(ReadBytes(path), audio);
    EXPECT_FALSE(tagtest::TemporaryLeft(path));
}

TEST_F(TagAccessTest, TitleFromFileName) {
    EXPECT_EQ(TitleFromFileName("/Music/A.b.mp3"), "A.b");
    EXPECT_EQ(TitleFromFileName("/Music/Name"), "Name");
    EXPECT_EQ(TitleFromFileName("Name.ogg"), "Name");
    EXPECT_EQ(TitleFromFileName("/dir.with.dots/track"), "track");
    EXPECT_EQ(TitleFromFileName("disc.cue/Track01.cda"), "Track01");
    EXPECT_EQ(TitleFromFileName("/Music/.mp3"), "");
    EXPECT_EQ(TitleFromFileName("/Music/"), "");
}

TEST_F(TagAccessTest, GenreListDiffersFromTheTableAtSixNames) {
    EXPECT_EQ(GenreName(0), "Blues");
    EXPECT_EQ(GenreName(12), "Other");
    EXPECT_EQ(GenreName(147), "Synthpop");
    EXPECT_EQ(GenreName(148), "");
    EXPECT_EQ(GenreName(-1), "");

    const std::set<std::pair<int, std::string>> expected = {{40, "Alt. Rock"}, {59, "Gangsta Rap"},
                                                            {67, "Psychedelic"}, {81, "Folk/Rock"},
                                                            {84, "Fast-Fusion"}, {123, "A Cappella"}};
    std::set<std::pair<int, std::string>> differences;
    for (int i = 0; i < kGenreCount; ++i) {
        EXPECT_EQ(GenreName(i), EditorGenreList()[i]);
        if (EditorGenreList()[i] != aTAG_MusicGenre[i]) differences.insert({i, EditorGenreList()[i]});
    }
    EXPECT_EQ(differences, expected);
}

} // namespace
