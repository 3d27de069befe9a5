// The player as real processes: one running copy per executable, and
// SIGTERM ending it the way File > Exit does, without saving.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "tests/fixtures/Fixtures.h"

namespace {

using namespace std::chrono_literals;

bool Exists(const std::string& Path) {
    struct stat st {};
    return ::stat(Path.c_str(), &st) == 0;
}

std::string Read(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool WaitFor(const std::function<bool()>& Done, std::chrono::seconds Limit = 30s) {
    const auto end = std::chrono::steady_clock::now() + Limit;
    while (!Done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A player process; killed and reaped at the end whatever happened.
class Player {
  public:
    Player(const std::string& Binary, const std::string& Home, const std::vector<std::string>& Arguments) {
        pid_ = ::fork();
        if (pid_ != 0) return;
        ::setenv("NILO_HOME", Home.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::vector<char*> argv{const_cast<char*>(Binary.c_str())};
        for (const std::string& argument : Arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(Binary.c_str(), argv.data());
        ::_exit(127);
    }
    ~Player() {
        if (pid_ <= 0 || ended_) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    bool Running() {
        if (ended_) return false;
        if (::waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
        return !ended_;
    }
    // Whether it ended within the limit; then its exit code.
    bool Ended(int& ExitCode) {
        if (!WaitFor([this] { return !Running(); })) return false;
        ExitCode = WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
        return true;
    }
    void Terminate() { ::kill(pid_, SIGTERM); }

  private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool ended_ = false;
};

class PlayerProcessTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = fixtures::MakeTempDir("nilo-process"); }
    void TearDown() override { fixtures::RemoveTree(dir); }

    // A copy of the player of its own: the player ends other copies of the
    // same executable, never a player started from elsewhere.
    std::string CopyOfPlayer(const std::string& Folder) {
        const std::string binary = dir + "/" + Folder + "/nilo";
        EXPECT_TRUE(fixtures::Run("mkdir -p " + fixtures::ShellQuote(dir + "/" + Folder) + " && cp " +
                                  fixtures::ShellQuote(NILO_BINARY) + " " + fixtures::ShellQuote(binary)));
        return binary;
    }
    std::string Home(const std::string& Name) {
        const std::string home = dir + "/" + Name;
        EXPECT_TRUE(fixtures::Run("mkdir -p " + fixtures::ShellQuote(home) + " && cp -r " +
                                  fixtures::ShellQuote(NILO_BUILD_DIR "/Lng") + " " + fixtures::ShellQuote(home)));
        return home;
    }

    std::string dir;
};

} // namespace

TEST_F(PlayerProcessTest, OneRunningCopyAndSigtermSavesNothing) {
    const std::string wav = dir + "/tone.wav";
    ASSERT_TRUE(fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, 44100 * 30))));
    const std::string binary = CopyOfPlayer("one");
    const std::string other = CopyOfPlayer("two");
    const std::string home = Home("home");
    const std::string otherHome = Home("other-home");

    // The command-line file is added and autosaved once start-up has run.
    Player first(binary, home, {wav});
    ASSERT_TRUE(WaitFor([&] { return Exists(home + "/current.m3u"); })) << "the first copy did not start";
    Player second(binary, home, {});
    int exitCode = -1;
    ASSERT_TRUE(first.Ended(exitCode)) << "a new copy must end the older one";
    EXPECT_EQ(exitCode, 0) << "the older copy leaves its event loop on SIGTERM";

    Player elsewhere(other, otherHome, {wav});
    ASSERT_TRUE(WaitFor([&] { return Exists(otherHome + "/current.m3u"); }));
    EXPECT_TRUE(second.Running()) << "a copy of another executable leaves it alone";
    EXPECT_TRUE(elsewhere.Running());

    // The first copy played and saved its settings; the second, stopped,
    // has no reason to write them again until its window is closed.
    std::remove((home + "/config.cfg").c_str());
    const std::string playlist = Read(home + "/current.m3u");
    second.Terminate();
    ASSERT_TRUE(second.Ended(exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(Read(home + "/current.m3u"), playlist);
    EXPECT_FALSE(Exists(home + "/config.cfg")) << "closing the window would have saved the settings";
    elsewhere.Terminate();
    ASSERT_TRUE(elsewhere.Ended(exitCode));
}
