// The read-only tag readers of FLAC, Opus and MP4 files on files that
// Debian's encoders and mutagen tagged: the fields, a large cover passed
// over unread, and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "tags/FlacTags.h"
#include "tags/MP4Tags.h"
#include "tags/OpusTags.h"
#include "tags/TagAccess.h"
#include "testdata/Fixtures.h"
#include "testdata/TaggedEncodings.h"
#include "tests/tags/TagTestFiles.h"

namespace {

using fixtures::TaggedKind;
using tagtest::ReadBytes;
using tagtest::WriteBytes;

struct Kind {
    TaggedKind Encoding;
    const char* Name;
    bool (*Read)(const std::string&, TTagNames&);
};

const Kind kKinds[] = {{TaggedKind::Flac, "a.flac", ReadFlacTags},
                       {TaggedKind::Opus, "a.opus", ReadOpusTags},
                       {TaggedKind::M4aAac, "a.m4a", ReadMP4Tags},
                       {TaggedKind::M4aAlac, "b.m4a", ReadMP4Tags}};

const fixtures::TagTexts kTexts{"Sœur · 東京", "Ärtist", "Albüm", "2024", "7", "Jazz", "Ünder €5"};

TTagNames Expected(const fixtures::TagTexts& t) {
    TTagNames names;
    names.Title = t.Title;
    names.Artist = t.Artist;
    names.Album = t.Album;
    names.Year = t.Year;
    names.Track = t.Track;
    names.Genre = t.Genre;
    names.Comment = t.Comment;
    return names;
}

long long BytesReadSoFar() {
    std::ifstream in("/proc/self/io");
    std::string key;
    long long value = 0;
    while (in >> key >> value)
        if (key == "rchar:") return value;
    return 0;
}

class ReadOnlyTagsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* tool : {"flac", "opusenc", "ffmpeg", "/usr/bin/python3"})
            if (!fixtures::HaveTool(tool)) GTEST_SKIP() << tool << " is needed";
        wav_ = dir_.File("in.wav");
        ASSERT_TRUE(fixtures::WriteWav16(wav_, 44100, 2,
                                         fixtures::ToInt16(fixtures::TestSignal(44100, 2, 22050))));
    }

    std::string Encode(const Kind& kind, const fixtures::TagTexts& texts) {
        const std::string out = dir_.File(kind.Name);
        EXPECT_TRUE(fixtures::EncodeTagged(kind.Encoding, wav_, out, texts)) << kind.Name;
        return out;
    }

    // Runs a mutagen script with the file as sys.argv[1].
    void Mutagen(const std::string& script, const std::string& file) {
        int status = 0;
        std::string out =
            tagtest::RunPython(dir_, "import sys, base64, mutagen\n" + script, file, status);
        ASSERT_EQ(status, 0) << out;
    }

    TTagNames Read(const Kind& kind, const std::string& file) {
        TTagNames names;
        EXPECT_TRUE(kind.Read(file, names)) << file;
        return names;
    }

    tagtest::TempFolder dir_;
    std::string wav_;
};

TEST_F(ReadOnlyTagsTest, FieldsAreThoseTheEncodersWrote) {
    for (const Kind& kind : kKinds)
        EXPECT_EQ(Read(kind, Encode(kind, kTexts)), Expected(kTexts)) << kind.Name;

    const std::string ogg = dir_.File("ogg.flac");
    ASSERT_TRUE(fixtures::EncodeFlac(wav_, ogg, "--ogg -T TITLE=Öggflac -T PERFORMER=Pérformer"));
    TTagNames names = Read(kKinds[0], ogg);
    EXPECT_EQ(names.Title, "Öggflac") << "FLAC in Ogg";
    EXPECT_EQ(names.Artist, "Pérformer") << "PERFORMER stands in for a missing ARTIST";
}

TEST_F(ReadOnlyTagsTest, FieldsAreThoseMutagenWrote) {
    const std::string flac = Encode(kKinds[0], {});
    Mutagen("f = mutagen.File(sys.argv[1])\nf['title'] = 'Tïtle'\nf['tracknumber'] = '3/12'\n"
            "f['description'] = 'Dèsc'\nf.save()\n",
            flac);
    TTagNames names = Read(kKinds[0], flac);
    EXPECT_EQ(names.Title, "Tïtle");
    EXPECT_EQ(names.Track, "3") << "the number before the slash";
    EXPECT_EQ(names.Comment, "Dèsc") << "DESCRIPTION stands in for a missing COMMENT";

    const std::string opus = Encode(kKinds[1], {});
    Mutagen("f = mutagen.File(sys.argv[1])\nf['TITLE'] = 'Ôpus'\nf['artist'] = ['First', "
            "'Last']\nf.save()\n",
            opus);
    names = Read(kKinds[1], opus);
    EXPECT_EQ(names.Title, "Ôpus");
    EXPECT_EQ(names.Artist, "Last") << "a later comment of a name wins";

    const std::string m4a = Encode(kKinds[2], {});
    Mutagen("import mutagen.mp4\nf = mutagen.mp4.MP4(sys.argv[1])\nf['\\xa9nam'] = 'Mp4 tïtle'\n"
            "f['trkn'] = [(9, 10)]\nf['\\xa9day'] = '1999-05-01'\nf.save()\n",
            m4a);
    names = Read(kKinds[2], m4a);
    EXPECT_EQ(names.Title, "Mp4 tïtle");
    EXPECT_EQ(names.Track, "9");
    EXPECT_EQ(names.Year, "1999-05-01");
}

// Each script adds a 5 MB picture, ahead of the tags where mutagen allows.
const char* const kCoverScripts[] = {
    "import mutagen.flac\npic = mutagen.flac.Picture()\npic.type = 3\npic.mime = 'image/png'\n"
    "pic.data = b'\\x89PNG' + bytes(range(256)) * 20480\nf = mutagen.flac.FLAC(sys.argv[1])\n"
    "f.add_picture(pic)\nf.metadata_blocks.insert(1, f.metadata_blocks.pop())\nf.save()\n",
    "import mutagen.flac, mutagen.oggopus\npic = mutagen.flac.Picture()\npic.type = 3\npic.mime = "
    "'image/png'\n"
    "pic.data = b'\\x89PNG' + bytes(range(256)) * 20480\nf = mutagen.oggopus.OggOpus(sys.argv[1])\n"
    "tags = list(f.tags.items())\nf.tags.clear()\n"
    "f.tags['METADATA_BLOCK_PICTURE'] = base64.b64encode(pic.write()).decode()\n"
    "for k, v in tags: f.tags[k] = v\nf.save()\n",
    "import mutagen.mp4\nf = mutagen.mp4.MP4(sys.argv[1])\ntags = dict(f.tags)\nf.tags.clear()\n"
    "f.tags['covr'] = [mutagen.mp4.MP4Cover(b'\\x89PNG' + bytes(range(256)) * 20480)]\n"
    "f.tags.update(tags)\nf.save()\n"};

TEST_F(ReadOnlyTagsTest, ALargeCoverIsPassedOverUnread) {
    for (int k = 0; k < 3; ++k) {
        const Kind& kind = kKinds[k];
        const std::string file = Encode(kind, kTexts);
        Mutagen(kCoverScripts[k], file);
        std::string bytes = ReadBytes(file);
        ASSERT_GT(bytes.size(), 5000000u) << kind.Name;
        const long long before = BytesReadSoFar();
        EXPECT_EQ(Read(kind, file), Expected(kTexts)) << kind.Name;
        EXPECT_LT(BytesReadSoFar() - before, 200000)
            << kind.Name << ": the cover's bytes are not read";

        // Garbage in place of the picture (base64 in an Opus comment, whose
        // page headers stay).
        const size_t at = bytes.find(k == 1 ? "METADATA_BLOCK_PICTURE=" : "\x89PNG") + 100;
        ASSERT_LT(at, bytes.size()) << kind.Name;
        std::vector<bool> header(bytes.size());
        for (size_t page = 0; k == 1 && page + 27 < bytes.size();) {
            size_t segments = uint8_t(bytes[page + 26]), body = 0;
            for (size_t i = 0; i < segments; ++i) body += uint8_t(bytes[page + 27 + i]);
            std::fill(header.begin() + long(page), header.begin() + long(page + 27 + segments), true);
            page += 27 + segments + body;
        }
        for (size_t i = at; i < at + 4000000; ++i)
            if (!header[i]) bytes[i] = char(0x40 | (i * 7 + 1));
        WriteBytes(file, bytes);
        EXPECT_EQ(Read(kind, file), Expected(kTexts)) << kind.Name << " with garbage for a cover";
    }
}

// Every reader on damaged copies of real files: cut anywhere, sizes and counts
// claiming gigabytes, atoms nested deep or sized to loop.
TEST_F(ReadOnlyTagsTest, DamagedFilesEndTheReadSafely) {
    for (const Kind& kind : kKinds) {
        const std::string good = ReadBytes(Encode(kind, kTexts));
        const std::string bad = dir_.File(std::string("bad") + kind.Name);
        for (size_t cut = 0; cut < good.size(); cut += 1 + cut / 3) {
            WriteBytes(bad, good.substr(0, cut));
            TTagNames names;
            kind.Read(bad, names);
        }
        for (size_t at = 0; at + 4 < std::min<size_t>(good.size(), 6000); at += 3) {
            std::string damaged = good;
            damaged.replace(at, 4, "\xff\xff\xff\xf0");
            WriteBytes(bad, damaged);
            TTagNames names;
            kind.Read(bad, names);
        }
    }
    auto atom = [](const std::string& type, const std::string& body, uint32_t size = 0) {
        size = size ? size : uint32_t(body.size() + 8);
        return std::string{char(size >> 24), char(size >> 16), char(size >> 8), char(size)} + type +
               body;
    };
    std::string deep = atom("data", std::string(8, '\0'));
    for (int i = 0; i < 20000; ++i)
        deep = atom("moov", deep);
    const std::string hostile[] = {
        atom("ftyp", "M4A ") + atom("moov", "", 1) +
            std::string("\x7f\xff\xff\xff\xff\xff\xff\xff", 8),
        atom("ftyp", "M4A ") + atom("moov", atom("udta", "", 0x7fffffff)),
        atom("ftyp", "M4A ") +
            atom("moov", atom("udta", atom("meta", std::string(4, '\0') +
                                                       atom("ilst", atom("\xa9nam", "", 0))))),
        atom("ftyp", "M4A ") + deep};
    const std::string bad = dir_.File("hostile.m4a");
    for (const std::string& bytes : hostile) {
        WriteBytes(bad, bytes);
        TTagNames names;
        EXPECT_TRUE(ReadMP4Tags(bad, names));
        EXPECT_EQ(names, TTagNames());
    }
}

TEST_F(ReadOnlyTagsTest, ReadTagsPicksTheReaderByExtension) {
    const std::string flac = Encode(kKinds[0], kTexts);
    EXPECT_EQ(ReadTags(flac).Title, kTexts.Title);
    std::vector<std::string> failures;
    SetTagFailureHandler([&](TagKind kind, const std::string&) {
        failures.push_back(std::string(TagKindName(kind)));
    });
    for (const char* name : {"x.flac", "x.opus", "x.m4a", "x.mp4", "Raw sound.aac"}) {
        WriteBytes(dir_.File(name), tagtest::AudioBytes(3000));
        EXPECT_EQ(ReadTags(dir_.File(name)).Title, TitleFromFileName(name)) << name;
    }
    SetTagFailureHandler(nullptr);
    EXPECT_EQ(failures, (std::vector<std::string>{"flac", "opus", "mp4", "mp4"}))
        << ".aac has no tags to fail";
}

} // namespace
