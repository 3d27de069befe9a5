// Saves through the tag classes on files made by lame and oggenc: nothing
// beside the file is followed or replaced, a save keeps the file's mode, and
// a save that fails leaves mode and bytes as they were.
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

#include "tags/TagAccess.h"
#include "tags/TagFile.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/platform/OrdinaryUser.h"
#include "tests/tags/TagTestFiles.h"

using namespace tagtest;
namespace fs = std::filesystem;

namespace {

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// An MP3 by lame with an ID3v2 tag and an Ogg Vorbis file by oggenc, encoded once.
struct Encoded {
    std::string mp3, ogg;
};

const Encoded& Sources() {
    static const Encoded encoded = [] {
        Encoded e;
        const std::string dir = fixtures::MakeTempDir("nilo-safe-save");
        const std::string wav = dir + "/a.wav";
        if (fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, 44100))) &&
            fixtures::EncodeMp3(wav, dir + "/a.mp3", "--id3v2-only --tt Title --ta Artist") &&
            fixtures::EncodeOgg(wav, dir + "/a.ogg", "-t Title -a Artist")) {
            e.mp3 = ReadBytes(dir + "/a.mp3");
            e.ogg = ReadBytes(dir + "/a.ogg");
        }
        fixtures::RemoveTree(dir);
        return e;
    }();
    return encoded;
}

bool IsMp3(const std::string& file) {
    return file.ends_with(".mp3");
}

std::string Source(const std::string& file) {
    return IsMp3(file) ? Sources().mp3 : Sources().ogg;
}

// A save that rebuilds the file: no old ID3v2 block holds this comment, and
// every Ogg comment save rebuilds.
bool SaveRebuilding(const std::string& file) {
    TTagNames names;
    names.Title = "New title";
    names.Comment = std::string(5000, 'c');
    try {
        return IsMp3(file) ? SaveID3v2(file, names) : SaveOggVorbis(file, names);
    } catch (const EFileError&) {
        return false;
    }
}

std::string TitleOf(const std::string& file) {
    return IsMp3(file) ? ReadID3v2(file).Title : ReadOggVorbis(file).Title;
}

class SafeSave : public ::testing::Test {
  protected:
    void SetUp() override {
        if (Sources().mp3.empty() || Sources().ogg.empty()) GTEST_SKIP() << "lame or oggenc missing";
    }
};

} // namespace

TEST_F(SafeSave, NothingBesideTheFileIsFollowedOrReplaced) {
    for (const char* name : {"song.mp3", "song.ogg"}) {
        for (bool planted : {true, false}) {
            SCOPED_TRACE(std::string(name) + (planted ? ", planted link" : ", the user's own file"));
            TempFolder dir;
            const std::string file = dir.File(name);
            const std::string tilde = file + "~";
            const std::string victim = dir.File("victim.txt");
            WriteBytes(file, Source(file));
            WriteBytes(victim, "another file");
            if (planted)
                fs::create_symlink(victim, tilde);
            else
                WriteBytes(tilde, "the user's own copy");
            const auto before = Names(dir.Path());

            ASSERT_TRUE(SaveRebuilding(file));
            EXPECT_EQ(TitleOf(file), "New title");
            EXPECT_FALSE(fs::is_symlink(file));
            EXPECT_TRUE(ReadBytes(victim) == "another file") << "the link's target is left alone";
            if (planted) {
                EXPECT_TRUE(fs::is_symlink(tilde));
                EXPECT_EQ(fs::read_symlink(tilde), victim);
            } else {
                EXPECT_EQ(ReadBytes(tilde), "the user's own copy");
            }
            EXPECT_EQ(Names(dir.Path()), before) << "no temporary file is left";
        }
    }
}

TEST_F(SafeSave, AReadOnlyFileKeepsItsMode) {
    TempFolder dir;
    const std::string mp3 = dir.File("song.mp3");
    const std::string ogg = dir.File("song.ogg");
    WriteBytes(mp3, Sources().mp3);
    WriteBytes(ogg, Sources().ogg);
    ::chmod(mp3.c_str(), 0444);
    ::chmod(ogg.c_str(), 0444);
    // As an ordinary user the writers must lift the mode to write at all.
    const int failed = testuser::AsOrdinaryUser(dir.Path(), [&] {
        TTagNames v1;
        v1.Title = "Version one";
        return (SaveID3v1(mp3, v1) ? 0 : 1) | (SaveRebuilding(mp3) ? 0 : 2) | (SaveRebuilding(ogg) ? 0 : 4);
    });
    if (failed == testuser::kNoOrdinaryUser) GTEST_SKIP() << "cannot become an ordinary user";
    EXPECT_EQ(failed, 0) << "1 ID3v1 in place, 2 ID3v2 rebuild, 4 Ogg rebuild";
    EXPECT_EQ(ReadID3v1(mp3).Title, "Version one");
    EXPECT_EQ(TitleOf(mp3), "New title");
    EXPECT_EQ(TitleOf(ogg), "New title");
    EXPECT_EQ(ModeOf(mp3), 0444u);
    EXPECT_EQ(ModeOf(ogg), 0444u);
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"song.mp3", "song.ogg"}));
}

TEST_F(SafeSave, AFailedSaveChangesNeitherModeNorBytes) {
    TempFolder dir;
    const std::string mp3 = dir.File("song.mp3");
    const std::string ogg = dir.File("song.ogg");
    auto expectUnchanged = [&](mode_t mode) {
        EXPECT_EQ(ReadBytes(mp3), Sources().mp3);
        EXPECT_EQ(ReadBytes(ogg), Sources().ogg);
        EXPECT_EQ(ModeOf(mp3), mode);
        EXPECT_EQ(ModeOf(ogg), mode);
        EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"song.mp3", "song.ogg"}));
    };
    for (mode_t mode : {0444, 0644}) {
        SCOPED_TRACE(mode);
        for (const std::string& file : {mp3, ogg}) {
            ::chmod(file.c_str(), 0644);
            WriteBytes(file, Source(file));
            ::chmod(file.c_str(), mode);
        }
        // A read-only folder: the copy cannot be made.
        const int saved = testuser::AsOrdinaryUser(dir.Path(), [&] {
            if (::chmod(dir.Path().c_str(), 0555) != 0) return testuser::kNoOrdinaryUser;
            return (SaveRebuilding(mp3) ? 1 : 0) | (SaveRebuilding(ogg) ? 2 : 0);
        });
        ::chmod(dir.Path().c_str(), 0755);
        if (saved == testuser::kNoOrdinaryUser) GTEST_SKIP() << "cannot become an ordinary user";
        EXPECT_EQ(saved, 0);
        expectUnchanged(mode);

        // The system refuses a step after the copy was written.
        for (FileStep refused : {FileStep::Write, FileStep::Sync, FileStep::Rename}) {
            SetFileFaultHook([refused](FileStep step, const std::string&) { return step == refused ? ENOSPC : 0; });
            EXPECT_FALSE(SaveRebuilding(mp3)) << static_cast<int>(refused);
            EXPECT_FALSE(SaveRebuilding(ogg)) << static_cast<int>(refused);
            SetFileFaultHook({});
            expectUnchanged(mode);
        }
    }
}
