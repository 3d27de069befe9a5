#include "tags/TagFile.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>

#include "tests/tags/TagTestFiles.h"

using namespace tagtest;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

size_t Entries(const std::string& folder) {
    return static_cast<size_t>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

// Removes the seam even when an assertion leaves the test early.
struct FaultHookScope {
    explicit FaultHookScope(FileFaultHook hook) { SetFileFaultHook(std::move(hook)); }
    ~FaultHookScope() { SetFileFaultHook({}); }
};

} // namespace

TEST(TagFileStream, ReadsWritesSeeksAndSizes) {
    TempFolder dir;
    const std::string name = dir.File("a.bin");
    WriteBytes(name, "old content");
    {
        TagFileStream file(name, FileMode::Create);
        EXPECT_EQ(file.Size(), 0);
        file.WriteString("0123456789");
        EXPECT_EQ(file.Position(), 10);
        EXPECT_EQ(file.Seek(4, soFromBeginning), 4);
        EXPECT_EQ(file.Seek(2, soFromCurrent), 6);
        char buf[8] = {};
        EXPECT_EQ(file.Read(buf, 8), 4) << "a short read at the end is no error";
        EXPECT_EQ(std::string(buf, 4), "6789");
        EXPECT_THROW(file.ReadBuffer(buf, 1), EFileError);
        file.SetSize(3);
        EXPECT_EQ(file.Size(), 3);
        EXPECT_THROW(file.Seek(-1, soFromBeginning), EFileError);
    }
    EXPECT_EQ(ReadBytes(name), "012");

    TagFileStream reader(name, FileMode::ReadOnly | FileMode::ShareDenyWrite);
    EXPECT_THROW(reader.WriteString("x"), EFileError);
    EXPECT_EQ(ReadBytes(name), "012");
}

TEST(TagFileStream, RefusesBadModesAndWhatIsNotAFile) {
    TempFolder dir;
    const std::string name = dir.File("a.bin");
    WriteBytes(name, "abc");
    EXPECT_THROW(TagFileStream(name, 0x03), EFileError);
    EXPECT_THROW(TagFileStream(name, 0x50), EFileError);
    EXPECT_NO_THROW(TagFileStream(name, 0x42));
    EXPECT_THROW(TagFileStream(dir.Path(), FileMode::ReadOnly), EFileError);
    // A FIFO would block an ordinary open until a writer came.
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(TagFileStream(fifo, FileMode::ReadOnly), EFileError);

    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    try {
        TagFileStream missing("sub/../missing.mp3", FileMode::ReadOnly);
        ADD_FAILURE() << "opened a missing file";
    } catch (const EFileError& error) {
        EXPECT_EQ(error.FileName(), dir.File("missing.mp3")) << "the error names the expanded file";
        EXPECT_NE(std::string(error.what()).find("missing.mp3"), std::string::npos);
    }
    std::filesystem::current_path(cwd);
}

TEST(TagStringStream, AssemblesAndCopies) {
    TagStringStream block;
    block.WriteString("ID3");
    block.WriteString(std::string("\0\0", 2));
    EXPECT_EQ(block.Size(), 5);
    block.Seek(1, soFromBeginning);
    block.WriteString("X");
    EXPECT_EQ(block.DataString(), std::string("IX3\0\0", 5));

    TempFolder dir;
    const std::string name = dir.File("a.bin");
    WriteBytes(name, "abcdef");
    TagFileStream source(name, FileMode::ReadOnly);
    source.Seek(4, soFromBeginning);
    block.Seek(0, soFromEnd);
    block.CopyFrom(source, 0); // 0: from the start, all of it
    EXPECT_EQ(block.DataString(), std::string("IX3\0\0abcdef", 11));
    source.Seek(2, soFromBeginning);
    TagStringStream part;
    part.CopyFrom(source, 3);
    EXPECT_EQ(part.DataString(), "cde");
    EXPECT_THROW(part.CopyFrom(source, 5), EFileError) << "the source ends after one byte";
    part.SetSize(1);
    EXPECT_EQ(part.Position(), 1);
}

TEST(WholeFileOperations, ExistsSetAttrDeleteRename) {
    TempFolder dir;
    const std::string name = dir.File("a.mp3");
    EXPECT_FALSE(WideFileExists(name));
    EXPECT_FALSE(WideFileSetAttr(name, 0));
    WriteBytes(name, "x");
    EXPECT_TRUE(WideFileExists(name));
    EXPECT_FALSE(WideFileExists(dir.Path()));
    ::chmod(name.c_str(), 0444);
    EXPECT_TRUE(WideFileSetAttr(name, 0));
    EXPECT_EQ(ModeOf(name), 0444u) << "the mode is lifted only while a writer opens the file";
    EXPECT_FALSE(WideFileSetAttr(name, 1));
    EXPECT_TRUE(WideRenameFile(name, dir.File("b.mp3")));
    EXPECT_FALSE(WideFileExists(name));
    EXPECT_TRUE(WideDeleteFile(dir.File("b.mp3")));
    EXPECT_FALSE(WideDeleteFile(dir.File("b.mp3")));
}

TEST(RebuildFile, ReplacesTheFileKeepingPermissionsAndLinks) {
    TempFolder dir;
    const std::string name = dir.File("song.mp3");
    const std::string hardLink = dir.File("hard.mp3");
    WriteBytes(name, "OLDHEAD" + AudioBytes(100000));
    ::chmod(name.c_str(), 0640);
    std::filesystem::create_hard_link(name, hardLink);
    ASSERT_TRUE(RebuildFile(name, "NEW", 7));
    EXPECT_EQ(ReadBytes(name), "NEW" + AudioBytes(100000));
    EXPECT_EQ(ModeOf(name), 0640u);
    EXPECT_EQ(ReadBytes(hardLink), "OLDHEAD" + AudioBytes(100000)) << "the rebuilt file is a new inode";
    std::filesystem::remove(hardLink);
    EXPECT_EQ(Entries(dir.Path()), 1u);

    const std::string link = dir.File("link.mp3");
    std::filesystem::create_symlink(name, link);
    ASSERT_TRUE(RebuildFile(link, "", 3));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(name), AudioBytes(100000));
    EXPECT_EQ(Entries(dir.Path()), 2u);
    std::filesystem::remove(name);
    EXPECT_FALSE(RebuildFile(link, "", 0)) << "a link that leads nowhere";
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    WriteBytes(name, AudioBytes(100000));

    EXPECT_FALSE(RebuildFile(name, "X", 100001)) << "an offset past the end";
    EXPECT_EQ(ReadBytes(name), AudioBytes(100000));
    EXPECT_FALSE(RebuildFile(dir.File("missing.mp3"), "X", 0));
    EXPECT_EQ(Entries(dir.Path()), 2u);
}

TEST(RebuildFile, EveryRefusedStepLeavesTheOriginal) {
    TempFolder dir;
    const std::string name = dir.File("song.mp3");
    const std::string original = "HEAD" + AudioBytes(300000);
    for (FileStep step : {FileStep::Open, FileStep::Create, FileStep::Read, FileStep::Write, FileStep::Sync,
                          FileStep::Rename}) {
        ::chmod(name.c_str(), 0644);
        WriteBytes(name, original);
        ::chmod(name.c_str(), 0444);
        int writes = 0;
        {
            // Writes fail after the first one has gone through, in the middle of the copy.
            FaultHookScope scope([&](FileStep s, const std::string&) {
                if (s != step) return 0;
                if (s == FileStep::Write && ++writes < 2) return 0;
                return s == FileStep::Write ? ENOSPC : EACCES;
            });
            EXPECT_FALSE(RebuildFile(name, "NEWHEAD", 4)) << static_cast<int>(step);
        }
        EXPECT_EQ(ReadBytes(name), original) << static_cast<int>(step);
        EXPECT_EQ(ModeOf(name), 0444u) << static_cast<int>(step);
        EXPECT_EQ(Entries(dir.Path()), 1u) << static_cast<int>(step);
    }

    ::chmod(name.c_str(), 0644);
    WriteBytes(name, original);
    EXPECT_FALSE(RebuildFile(name, [](TagFileStream&, TagFileStream& temp) {
        temp.WriteString("partial");
        throw EFileError("x", "failed while writing");
    }));
    EXPECT_EQ(ReadBytes(name), original);
    EXPECT_EQ(Entries(dir.Path()), 1u);
}

TEST(RebuildFile, RealFailuresLeaveTheOriginal) {
    TempFolder dir;
    const std::string name = dir.File("song.mp3");
    const std::string original = AudioBytes(200000);
    WriteBytes(name, original);

    // The disk fills up in the middle of the copy.
    int status = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100000, 100000};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return kCannotTest;
        return RebuildFile(name, "NEW", 0) ? 1 : 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadBytes(name), original);
    EXPECT_EQ(Entries(dir.Path()), 1u);
}

TEST(RebuildFile, FullAndReadOnlyFileSystems) {
    TempFolder dir;
    const std::string mount = dir.File("mnt");
    std::filesystem::create_directory(mount);
    const std::string name = mount + "/song.mp3";
    const std::string original = AudioBytes(40000);
    // 0 = behaved, 2 = the rebuild claimed success, 3 = the original changed, 4 = a "~" file is left.
    auto check = [&](bool readOnly) {
        return InChild([&] {
            if (!MountPrivateTmpfs(mount, 64 * 1024)) return kCannotTest;
            WriteBytes(name, original);
            if (ReadBytes(name) != original) return kCannotTest;
            if (readOnly && !RemountReadOnly(mount)) return kCannotTest;
            if (RebuildFile(name, "NEW", 0)) return 2;
            if (ReadBytes(name) != original) return 3;
            if (Entries(mount) != 1) return 4;
            return 0;
        });
    };
    const int full = check(false);
    if (full == kCannotTest) GTEST_SKIP() << "cannot mount a private tmpfs here";
    EXPECT_EQ(full, 0) << "disk full";
    EXPECT_EQ(check(true), 0) << "read-only file system";
}
