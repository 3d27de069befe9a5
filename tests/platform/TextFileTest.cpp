#include "platform/FileSize.h"
#include "platform/TextFile.h"
#include "tests/platform/OrdinaryUser.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace fs = std::filesystem;
using namespace platform;

namespace {

struct TempFolder {
    fs::path dir = fs::temp_directory_path() / ("nilo-platform-" + std::to_string(::getpid()) + "-" +
                                                std::to_string(rand()));
    TempFolder() { fs::create_directories(dir); }
    ~TempFolder() { fs::remove_all(dir); }
    std::string file(const std::string& name, const std::string& content) const {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    }
    size_t entries() const { return std::distance(fs::directory_iterator(dir), fs::directory_iterator()); }
};

std::string contentOf(const std::string& path) {
    std::string content;
    ReadWholeFile(path, content);
    return content;
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(LineReader, CrLfAndLfEndsLastLineAndLongLines) {
    TempFolder t;
    std::string longLine(300, 'x');
    auto path = t.file("a.txt", "one\r\ntwo\n\r\n" + longLine + "\nlast");
    LineReader r(path);
    ASSERT_TRUE(r.isOpen());
    std::string line;
    ASSERT_TRUE(r.readLine(line));
    EXPECT_EQ(line, "one");
    ASSERT_TRUE(r.readLine(line));
    EXPECT_EQ(line, "two");
    ASSERT_TRUE(r.readLine(line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(r.readLine(line));
    EXPECT_EQ(line, std::string(255, 'x')); // the rest of the line is skipped
    EXPECT_FALSE(r.atEnd());
    ASSERT_TRUE(r.readLine(line));
    EXPECT_EQ(line, "last");
    EXPECT_TRUE(r.atEnd());
    EXPECT_FALSE(r.readLine(line));
}

TEST(LineReader, SettingLineKeepsTextAfterLastEquals) {
    TempFolder t;
    LineReader r(t.file("c.cfg", "Volume=80\r\nbare\r\na=b=c\r\n=\r\n"));
    EXPECT_EQ(ReadSettingLine(r), "80");
    EXPECT_EQ(ReadSettingLine(r), "bare");
    EXPECT_EQ(ReadSettingLine(r), "c");
    EXPECT_EQ(ReadSettingLine(r), "");
    EXPECT_EQ(ReadSettingLine(r), ""); // past the end
    LineReader missing((t.dir / "none").string());
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(ReadSettingLine(missing), "");
}

TEST(AtomicWriter, ReplacesWholeKeepsModeAndLeavesNoTemporary) {
    TempFolder t;
    auto path = t.file("out.cfg", "old");
    ::chmod(path.c_str(), 0600);
    ASSERT_TRUE(WriteFileAtomic(path, JoinCrLf({"[Main]", "Volume=5", "last"})));
    std::string content;
    ASSERT_TRUE(ReadWholeFile(path, content));
    EXPECT_EQ(content, "[Main]\r\nVolume=5\r\nlast");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(t.dir), fs::directory_iterator()), 1);
    EXPECT_EQ(FileSize(path).value(), content.size());
    EXPECT_FALSE(FileSize((t.dir / "missing").string()).has_value());

    // Extended attributes go with the bytes, where the file system has them:
    // one of the user's, and an access list that lets user 1234 read.
    auto attribute = [&](const char* name) {
        std::string value(64, '\0');
        const ssize_t size = ::getxattr(path.c_str(), name, value.data(), value.size());
        value.resize(size < 0 ? 0 : size_t(size));
        return value;
    };
    const std::string acl = std::string("\2\0\0\0", 4) + std::string("\1\0\6\0\xff\xff\xff\xff", 8) +
                            std::string("\2\0\4\0\xd2\4\0\0", 8) + std::string("\4\0\4\0\xff\xff\xff\xff", 8) +
                            std::string("\x10\0\4\0\xff\xff\xff\xff", 8) + std::string("\x20\0\0\0\xff\xff\xff\xff", 8);
    for (const auto& [name, value] : {std::pair<const char*, std::string>{"user.nilo.test", "kept"},
                                      {"system.posix_acl_access", acl}}) {
        if (::setxattr(path.c_str(), name, value.data(), value.size(), 0) != 0) continue;
        const mode_t mode = modeOf(path);
        ASSERT_TRUE(WriteFileAtomic(path, "again"));
        EXPECT_EQ(attribute(name), value) << name;
        EXPECT_EQ(modeOf(path), mode) << name;
    }

    // A name at the folder's limit leaves no room for the suffix of the
    // new file's name.
    const std::string longest = t.file(std::string(255, 'n'), "old");
    ASSERT_TRUE(WriteFileAtomic(longest, "new"));
    EXPECT_EQ(contentOf(longest), "new");
    EXPECT_EQ(t.entries(), 2u);
}

TEST(AtomicWriter, FailedRenameLeavesTargetAndNoTemporary) {
    TempFolder t;
    // A folder in the target's place makes the final rename fail after the
    // temporary file was written.
    fs::create_directories(t.dir / "busy");
    t.file("busy/inside.txt", "original");
    EXPECT_FALSE(WriteFileAtomic((t.dir / "busy").string(), "new"));
    std::string content;
    ReadWholeFile((t.dir / "busy" / "inside.txt").string(), content);
    EXPECT_EQ(content, "original");
    EXPECT_EQ(std::distance(fs::directory_iterator(t.dir), fs::directory_iterator()), 1);
    EXPECT_FALSE(WriteFileAtomic((t.dir / "missing" / "x.cfg").string(), "new"));
}

TEST(AtomicWriter, NothingBesideTheFileIsFollowedOrReplaced) {
    TempFolder t;
    auto victim = t.file("victim.txt", "another file");
    auto planted = t.file("a.cfg", "old a");
    fs::create_symlink(victim, planted + "~");
    auto own = t.file("b.cfg", "old b");
    t.file("b.cfg~", "the user's own copy");
    auto real = t.file("real.m3u", "old list");
    ::chmod(real.c_str(), 0444);
    auto link = (t.dir / "link.m3u").string();
    fs::create_symlink(real, link);
    const size_t before = t.entries();

    ASSERT_TRUE(WriteFileAtomic(planted, "new a"));
    ASSERT_TRUE(WriteFileAtomic(own, "new b"));
    ASSERT_TRUE(WriteFileAtomic(link, "new list"));
    EXPECT_EQ(contentOf(planted), "new a");
    EXPECT_EQ(contentOf(victim), "another file");
    EXPECT_EQ(fs::read_symlink(planted + "~"), victim);
    EXPECT_EQ(contentOf(own), "new b");
    EXPECT_EQ(contentOf(own + "~"), "the user's own copy");
    EXPECT_TRUE(fs::is_symlink(link)) << "a link stays a link";
    EXPECT_EQ(contentOf(real), "new list");
    EXPECT_EQ(modeOf(real), 0444u);
    EXPECT_EQ(t.entries(), before);

    fs::remove(real);
    EXPECT_FALSE(WriteFileAtomic(link, "nowhere")) << "a link that leads nowhere";
    EXPECT_TRUE(fs::is_symlink(link));
}

TEST(AtomicWriter, FailedWriteInAReadOnlyFolderChangesNeitherModeNorBytes) {
    TempFolder t;
    auto path = t.file("config.cfg", "old");
    for (mode_t mode : {0444, 0600}) {
        ::chmod(path.c_str(), mode);
        const int written = testuser::AsOrdinaryUser(t.dir.string(), [&] {
            if (::chmod(t.dir.c_str(), 0555) != 0) return testuser::kNoOrdinaryUser;
            return WriteFileAtomic(path, "new") ? 1 : 0;
        });
        ::chmod(t.dir.c_str(), 0755);
        if (written == testuser::kNoOrdinaryUser) GTEST_SKIP() << "cannot become an ordinary user";
        EXPECT_EQ(written, 0) << mode;
        EXPECT_EQ(contentOf(path), "old") << mode;
        EXPECT_EQ(modeOf(path), mode);
        EXPECT_EQ(t.entries(), 1u);
    }
}
