// Files that other tools tagged: a save of one field through the tag access
// layer, as the tag editor makes it, keeps everything else they wrote.
#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "tags/TagAccess.h"
#include "tags/WMAfile.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/tags/TagBytes.h"
#include "tests/tags/TagTestFiles.h"

namespace {

using tagtest::ReadBytes;
using tagtest::WriteBytes;

// Every comment with long values as digests, then the number of packets and
// a digest of the audio packets (all after the three headers).
const char* const kVorbisDump = R"(import sys, hashlib
from mutagen.oggvorbis import OggVorbis
from mutagen.ogg import OggPage
for k, v in OggVorbis(sys.argv[1]).tags:
    print(k + "=" + (hashlib.md5(v.encode()).hexdigest() if len(v) > 80 else v.replace("\n", "|")))
pages = []
with open(sys.argv[1], "rb") as f:
    while True:
        try:
            pages.append(OggPage(f))
        except EOFError:
            break
packets = OggPage.to_packets(pages)
print("packets", len(packets), hashlib.md5(b"".join(packets[3:])).hexdigest())
)";

// A cover of 60 kB runs the comment header over many pages.
const char* const kVorbisTagger = R"(import sys, base64, random
from mutagen.oggvorbis import OggVorbis
from mutagen.flac import Picture
f = OggVorbis(sys.argv[1])
cover = Picture()
cover.type, cover.mime, cover.desc = 3, "image/jpeg", "Front"
cover.data = bytes(random.Random(7).getrandbits(8) for _ in range(60000))
f["METADATA_BLOCK_PICTURE"] = base64.b64encode(cover.write()).decode()
f["TITLE"] = "Old title"
f["ARTIST"] = ["First artist", "Second artist"]
f["ALBUM"] = "Альбом"
f["DATE"] = "2004-05-06"
f["TRACKNUMBER"] = "3/12"
f["ALBUMARTIST"] = "Various"
f["COMPOSER"] = "Composer"
f["DISCNUMBER"] = "1/2"
f["LYRICS"] = "first line\nsecond line"
f["REPLAYGAIN_TRACK_GAIN"] = "-6.50 dB"
f["REPLAYGAIN_TRACK_PEAK"] = "0.98"
f["MUSICBRAINZ_TRACKID"] = "0b5a1d3e-6f0c-4c2e-9d7a-3c1b2a4e5f60"
f["PERFORMER"] = "Performer"
f["DESCRIPTION"] = "Description"
f.save()
)";

const char* const kId3v1Tagger = R"(import sys
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TDRC, TRCK, COMM, TCON
t = ID3()
t.add(TIT2(encoding=0, text="Old title"))
t.add(TPE1(encoding=0, text="An artist whose name is longer than thirty bytes"))
t.add(TALB(encoding=0, text="Album"))
t.add(TDRC(encoding=0, text="1999"))
t.add(TRCK(encoding=0, text="5"))
t.add(COMM(encoding=0, lang="eng", desc="", text="Note"))
t.add(TCON(encoding=0, text="Rock"))
t.save(sys.argv[1], v1=2, v2_version=3)
)";

const char* const kId3v1Dump = R"(import sys
from mutagen.id3 import ParseID3v1
frames = ParseID3v1(open(sys.argv[1], "rb").read()[-128:])
for k in sorted(frames):
    print(k + "=" + str(frames[k]))
)";

class TaggerFilesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        encoded_ = new tagtest::TempFolder;
        std::string wav = encoded_->File("a.wav");
        ASSERT_TRUE(fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, 44100))));
        ASSERT_TRUE(fixtures::EncodeOgg(wav, encoded_->File("a.ogg")));
        ASSERT_TRUE(fixtures::EncodeWma(wav, encoded_->File("a.wma"), "-metadata title='Заголовок' -metadata artist=Band"));
    }
    static void TearDownTestSuite() { delete encoded_; }

    void SetUp() override {
        SetTagFailureHandler([this](TagKind, const std::string&) { ++failures_; });
    }
    void TearDown() override {
        SetTagFailureHandler({});
        EXPECT_EQ(failures_, 0);
    }

    std::string Copy(const std::string& encoded) {
        std::string path = dir_.File(encoded);
        WriteBytes(path, ReadBytes(encoded_->File(encoded)));
        return path;
    }
    std::string Python(const std::string& script, const std::string& file) {
        int status = 0;
        std::string out = tagtest::RunPython(dir_, script, file, status);
        EXPECT_EQ(status, 0) << out;
        return out;
    }
    void ExpectOgginfoClean(const std::string& path) {
        int status = 0;
        std::string info = tagtest::RunCommand("ogginfo '" + path + "' 2>&1", status);
        EXPECT_EQ(status, 0) << info;
        EXPECT_EQ(info.find("WARNING"), std::string::npos) << info;
        EXPECT_EQ(info.find("ERROR"), std::string::npos) << info;
    }

    static tagtest::TempFolder* encoded_;
    tagtest::TempFolder dir_;
    int failures_ = 0;
};

tagtest::TempFolder* TaggerFilesTest::encoded_ = nullptr;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST_F(TaggerFilesTest, VorbisCommentsOfMutagenSurviveSaves) {
    std::string path = Copy("a.ogg");
    Python(kVorbisTagger, path);
    const std::string before = Python(kVorbisDump, path);

    TTagNames names = ReadOggVorbis(path);
    EXPECT_EQ(names.Title, "Old title");
    EXPECT_EQ(names.Artist, "Second artist");
    EXPECT_EQ(names.Album, "Альбом");
    EXPECT_EQ(names.Year, "2004-05-06");
    EXPECT_EQ(names.Track, "3");
    EXPECT_EQ(names.Comment, "Description");

    // The editor writes back every field it read, one of them changed.
    names.Title = "New title";
    ASSERT_TRUE(SaveOggVorbis(path, names));
    EXPECT_EQ(Python(kVorbisDump, path), Replaced(before, "TITLE=Old title\n", "TITLE=New title\n"));
    ExpectOgginfoClean(path);

    // Year and Track write the date and the track number.
    names.Year = "2011";
    names.Track = "4";
    ASSERT_TRUE(SaveOggVorbis(path, names));
    std::string expected = Replaced(before, "TITLE=Old title\n", "TITLE=New title\n");
    expected = Replaced(Replaced(expected, "DATE=2004-05-06\n", "DATE=2011\n"), "TRACKNUMBER=3/12\n", "TRACKNUMBER=4\n");
    EXPECT_EQ(Python(kVorbisDump, path), expected);
    EXPECT_EQ(ReadOggVorbis(path), names);
    ExpectOgginfoClean(path);

    // Removal takes every comment, and the header pages become fewer.
    ASSERT_TRUE(RemoveOggVorbis(path));
    EXPECT_EQ(Python(kVorbisDump, path), before.substr(before.find("packets ")));
    ExpectOgginfoClean(path);
}

TEST_F(TaggerFilesTest, Id3v1TrackAndLyrics3SurviveSaves) {
    std::string path = dir_.File("a.mp3");
    WriteBytes(path, tagtest::AudioBytes(5000));
    Python(kId3v1Tagger, path);
    std::string written = ReadBytes(path);
    ASSERT_GT(written.size(), 5128u);
    const std::string head = written.substr(0, written.size() - 128);
    const std::string longArtist = "An artist whose name is longer than thirty bytes";
    // The extended artist goes on where the record's 30 bytes end.
    const std::string lyrics = tagbytes::Lyrics3Block(
        {{"IND", "10"}, {"EAR", longArtist}, {"LYR", "first line\r\nsecond line"}, {"AUT", "Writer"}});
    WriteBytes(path, head + lyrics + written.substr(head.size()));
    const std::string before = Python(kId3v1Dump, path);
    EXPECT_NE(before.find("TRCK=5\n"), std::string::npos) << before;

    TTagNames names = ReadID3v1(path);
    EXPECT_EQ(names.Artist, longArtist);
    names.Title = "New title";
    ASSERT_TRUE(SaveID3v1(path, names));
    std::string saved = ReadBytes(path);
    EXPECT_EQ(saved.substr(0, head.size() + lyrics.size()), head + lyrics);
    EXPECT_EQ(Python(kId3v1Dump, path), Replaced(before, "TIT2=Old title\n", "TIT2=New title\n"));
    EXPECT_EQ(ReadID3v1(path), names);

    // A year cut to four digits and a genre outside the table: the track and
    // the lyrics still stay.
    names.Year = "19999";
    names.Genre = "Alt. Rock";
    ASSERT_TRUE(SaveID3v1(path, names));
    saved = ReadBytes(path);
    EXPECT_EQ(saved.substr(0, head.size() + lyrics.size()), head + lyrics);
    EXPECT_EQ(uint8_t(saved.back()), 255);
    EXPECT_EQ(uint8_t(saved[saved.size() - 2]), 5);
    EXPECT_EQ(ReadID3v1(path).Year, "1999");

    ASSERT_TRUE(RemoveID3v1(path));
    EXPECT_EQ(ReadBytes(path), head);
}

// ffmpeg's WMA encoder cannot reach a lossless rate, so its header is given
// the figures of a 1,152 kbit/s stream: the File Properties maximum bit rate
// and the Stream Properties average bytes per second.
TEST_F(TaggerFilesTest, WmaTextsReadAtAnyRate) {
    std::string path = Copy("a.wma");
    std::string bytes = ReadBytes(path);
    const std::string fileProperties("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16);
    const std::string streamProperties("\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65", 16);
    size_t file = bytes.find(fileProperties), stream = bytes.find(streamProperties);
    ASSERT_NE(file, std::string::npos);
    ASSERT_NE(stream, std::string::npos);
    auto putLe32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (8 * i));
    };
    putLe32(file + 100, 1152000);
    putLe32(stream + 86, 1152000 / 8);
    WriteBytes(path, bytes);

    TWMAfile wma;
    ASSERT_TRUE(wma.ReadFromFile(path));
    EXPECT_FALSE(wma.Valid);
    EXPECT_EQ(wma.BitRate, 0);
    EXPECT_EQ(wma.Duration, 0);
    EXPECT_EQ(wma.Title, u"Заголовок");
    TTagNames names = ReadTags(path);
    EXPECT_EQ(names.Title, "Заголовок");
    EXPECT_EQ(names.Artist, "Band");
}

} // namespace
