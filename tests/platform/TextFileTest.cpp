#include "platform/FileSize.h"
#include "platform/TextFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
};

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
