// Saves on blocks that mutagen and ffmpeg wrote: every frame the save does not
// write reads back in mutagen as it was, and the audio stays byte for byte.
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

#include "tags/ID3v2.h"
#include "tags/TagAccess.h"
#include "tags/TagText.h"
#include "tests/tags/ID3v2Interop.h"

using namespace id3v2test;
using namespace tagtest;

namespace {

// Writes a block of version argv[1] into argv[2], with one frame of every
// kind users meet. Version 2.2, which mutagen only reads, is assembled from
// mutagen's frame bodies.
const char* const kWriter = R"(
version, path = int(sys.argv[1]), sys.argv[2]
pic = bytes(range(256)) * 4
if version == 2:
    frames = [m.TT2(encoding=0, text='Title'), m.TP1(encoding=1, text='Исполнитель'),
              m.TAL(encoding=0, text='Album'), m.TRK(encoding=0, text='7/12'), m.TYE(encoding=0, text='2004'),
              m.TCO(encoding=0, text='(17)Rock'), m.TP2(encoding=1, text='Album artist'),
              m.TPA(encoding=0, text='1/2'), m.TBP(encoding=0, text='120'), m.TKE(encoding=0, text='Am'),
              m.TT3(encoding=0, text='Subtitle'), m.TPB(encoding=0, text='Label'),
              m.TRC(encoding=0, text='USABC0400001'), m.WAR(url='http://artist.example/'),
              m.PIC(encoding=0, mime='PNG', type=3, desc='cover', data=pic),
              m.ULT(encoding=1, lang='eng', desc='', text='la la'),
              m.SLT(encoding=0, lang='eng', format=2, type=1, desc='', text=[('la', 1000), ('li', 2000)]),
              m.TXX(encoding=0, desc='REPLAYGAIN_TRACK_GAIN', text='-6.50 dB'),
              m.POP(email='a@example.org', rating=196, count=3), m.CNT(count=42),
              m.UFI(owner='http://musicbrainz.org', data=b'0123-abcd'),
              m.GEO(encoding=0, mime='text/plain', filename='a.txt', desc='notes', data=b'\xff\x00notes'),
              m.COM(encoding=0, lang='eng', desc='', text='English comment'),
              m.COM(encoding=1, lang='deu', desc='', text='Deutscher Kommentar')]
    body = b''.join(type(f).__name__.encode() + len(d).to_bytes(3, 'big') + d
                    for f in frames for d in [f._writeData()]) + bytes(200)
    size = bytes((len(body) >> s) & 0x7f for s in (21, 14, 7, 0))
    audio = open(path, 'rb').read()
    open(path, 'wb').write(b'ID3\x02\x00\x00' + size + body + audio)
else:
    t = m.ID3()
    for f in [m.TIT2(encoding=3, text='Title'), m.TPE1(encoding=2, text='Исполнитель'),
              m.TALB(encoding=3, text='Album'), m.TRCK(encoding=3, text='7/12'),
              m.TDRC(encoding=3, text='2004-05-06'), m.TCON(encoding=3, text='(17)Rock'),
              m.TCOM(encoding=3, text='Композитор'), m.TPE2(encoding=3, text='Album artist'),
              m.TPOS(encoding=3, text='1/2'), m.TBPM(encoding=3, text='120'), m.TKEY(encoding=3, text='Am'),
              m.TIT3(encoding=3, text='Subtitle'), m.TPUB(encoding=3, text='Label'),
              m.TSRC(encoding=3, text='USABC0400001'), m.WOAR(url='http://artist.example/'),
              m.WXXX(encoding=3, desc='', url='http://example.org/'),
              m.APIC(encoding=3, mime='image/png', type=3, desc='cover', data=pic),
              m.USLT(encoding=3, lang='eng', desc='', text='la la'),
              m.SYLT(encoding=3, lang='eng', format=2, type=1, desc='', text=[('la', 1000), ('li', 2000)]),
              m.TXXX(encoding=3, desc='REPLAYGAIN_TRACK_GAIN', text='-6.50 dB'),
              m.TXXX(encoding=3, desc='MusicBrainz Album Id', text='0123-abcd'),
              m.POPM(email='a@example.org', rating=196, count=3), m.PCNT(count=42),
              m.PRIV(owner='owner', data=b'\x00\xff\x01'), m.UFID(owner='http://musicbrainz.org', data=b'0123-abcd'),
              m.GEOB(encoding=3, mime='text/plain', filename='a.txt', desc='notes', data=b'\xff\x00notes'),
              m.RVA2(desc='track', channel=1, gain=-3.5, peak=0.5),
              m.COMM(encoding=3, lang='eng', desc='', text='English comment'),
              m.COMM(encoding=3, lang='deu', desc='', text='Deutscher Kommentar'),
              m.COMM(encoding=3, lang='eng', desc='iTunNORM', text=' 00000A3C 00000B1D')]:
        t.add(f)
    t.save(path, v2_version=version)
)";

// The lines of a frame listing without those of the given frame kinds.
std::string Without(const std::string& frames, std::initializer_list<std::string> ids) {
    std::istringstream in(frames);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        bool drop = false;
        for (const std::string& id : ids) drop = drop || line.starts_with(id);
        if (!drop) out += line + "\n";
    }
    return out;
}

std::string WithoutEncodings(const std::string& frames) {
    return std::regex_replace(frames, std::regex("encoding=<[^>]*>, "), "");
}

class ID3v2KeepTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(Mp3Audio().empty()) << "ffmpeg could not make MP3 audio"; }

    // The audio with a block of the given version by mutagen.
    void Write(int version) {
        WriteBytes(file_, Mp3Audio());
        int status = 0;
        const std::string out =
            Mutagen(dir_, kWriter, std::to_string(version) + " " + fixtures::ShellQuote(file_), status);
        ASSERT_EQ(status, 0) << out;
    }

    CodePageScope codePage_{"windows-1252"};
    TempFolder dir_;
    std::string file_ = dir_.File("song.mp3");
};

} // namespace

TEST_F(ID3v2KeepTest, ASaveOfOneFieldKeepsEveryOtherFrame) {
    for (int version : {2, 3, 4}) {
        SCOPED_TRACE(version);
        ASSERT_NO_FATAL_FAILURE(Write(version));
        const std::string before = MutagenFrames(dir_, file_);
        ASSERT_NE(before.find("APIC:cover"), std::string::npos) << before;
        TTagNames names = ReadID3v2(file_);
        EXPECT_EQ(names.Title, "Title");
        EXPECT_EQ(names.Artist, "Исполнитель");
        EXPECT_EQ(names.Track, "7");
        EXPECT_EQ(names.Year, "2004");
        EXPECT_EQ(names.Genre, "Rock");
        EXPECT_TRUE(names.Comment == "English comment" || names.Comment == "Deutscher Kommentar") << names.Comment;

        names.Title = "New title";
        ASSERT_TRUE(SaveID3v2(file_, names));
        const std::string after = MutagenFrames(dir_, file_);
        EXPECT_EQ(Without(after, {"TIT2"}), Without(before, {"TIT2"}));
        EXPECT_NE(after.find("text=['New title']"), std::string::npos) << after;
        EXPECT_EQ(AfterBlock(ReadBytes(file_)), Mp3Audio()) << "the audio is untouched";
        EXPECT_EQ(ReadBytes(file_)[3], version == 4 ? 4 : 3);

        // The comment shown is rewritten with its language; the track keeps its total.
        names = ReadID3v2(file_);
        const std::string comment = names.Comment;
        names.Comment = "Changed";
        names.Track = "8";
        ASSERT_TRUE(SaveID3v2(file_, names));
        const std::string expected = tagtext::ReplaceAll(
            tagtext::ReplaceAll(WithoutEncodings(after), "text=['" + comment + "']", "text=['Changed']"),
            "text=['7/12']", "text=['8/12']");
        EXPECT_EQ(WithoutEncodings(MutagenFrames(dir_, file_)), expected);
        EXPECT_EQ(AfterBlock(ReadBytes(file_)), Mp3Audio());
    }
}

TEST_F(ID3v2KeepTest, TitlesInUtf8AndUtf16BigEndian) {
    const std::string title = "Привет, 日本の歌";
    for (int encoding : {2, 3}) {
        WriteBytes(file_, Mp3Audio());
        int status = 0;
        const std::string out = Mutagen(dir_,
                                        "t = m.ID3()\n"
                                        "t.add(m.TIT2(encoding=int(sys.argv[2]), text=sys.argv[3]))\n"
                                        "t.save(sys.argv[1], v2_version=4)\n",
                                        fixtures::ShellQuote(file_) + " " + std::to_string(encoding) + " " +
                                            fixtures::ShellQuote(title),
                                        status);
        ASSERT_EQ(status, 0) << out;
        TID3v2 tag;
        ASSERT_TRUE(tag.ReadFromFile(file_));
        EXPECT_EQ(tag.Title, title) << "encoding " << encoding;
    }
    const std::string plain = dir_.File("plain.mp3");
    WriteBytes(plain, Mp3Audio());
    for (const char* version : {"3", "4"}) {
        ASSERT_TRUE(fixtures::Run("ffmpeg -nostdin -v error -i " + fixtures::ShellQuote(plain) +
                                  " -c copy -metadata title=" + fixtures::ShellQuote(title) + " -id3v2_version " +
                                  version + " -y " + fixtures::ShellQuote(file_)));
        TID3v2 tag;
        ASSERT_TRUE(tag.ReadFromFile(file_));
        EXPECT_EQ(tag.Title, title) << "ffmpeg, version 2." << version;
    }
}
