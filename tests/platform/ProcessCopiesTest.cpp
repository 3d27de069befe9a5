#include "platform/ProcessCopies.h"
#include "tests/fixtures/TempDirTest.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Probe {
    pid_t pid = -1;
    int out = -1;
    std::string output;
    bool ready = false;
    bool reaped = false;
    int status = 0;
};

// Runs instance probes with their standard output on a pipe. Every probe is
// killed and reaped at the end, and dies with the test process if that dies.
class ProcessCopiesTest : public fixtures::TempDirTest {
  protected:
    void TearDown() override {
        for (auto& p : probes) {
            if (p->pid > 0 && !p->reaped) {
                ::kill(p->pid, SIGKILL);
                ::waitpid(p->pid, nullptr, 0);
            }
            ::close(p->out);
        }
        TempDirTest::TearDown();
    }

    // Starts a probe and reads its output until it reports "ready", which it
    // does only after its own search for older copies has finished.
    Probe& Start(const std::string& binary, const char* option = nullptr) {
        auto& p = *probes.emplace_back(std::make_unique<Probe>());
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return p;
        const char* argv[] = {binary.c_str(), option, nullptr};
        const pid_t parent = ::getpid();
        p.pid = ::fork();
        if (p.pid < 0) {
            ::close(fds[0]);
            ::close(fds[1]);
            return p;
        }
        if (p.pid == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() == parent) ::execv(argv[0], const_cast<char**>(argv));
            ::_exit(127);
        }
        ::close(fds[1]);
        p.out = fds[0];
        while (p.output.find("ready\n") == std::string::npos && Read(p)) {
        }
        p.ready = p.output.find("ready\n") != std::string::npos;
        return p;
    }

    // False at the end of the output, or when nothing comes for a long time.
    static bool Read(Probe& p) {
        pollfd pfd{p.out, POLLIN, 0};
        if (::poll(&pfd, 1, 30000) <= 0) return false;
        char buffer[256];
        ssize_t n = ::read(p.out, buffer, sizeof buffer);
        if (n <= 0) return false;
        p.output.append(buffer, static_cast<size_t>(n));
        return true;
    }

    static bool Running(Probe& p) {
        if (p.pid > 0 && !p.reaped && ::waitpid(p.pid, &p.status, WNOHANG) == p.pid) {
            p.reaped = true;
            while (Read(p)) {
            }
        }
        return !p.reaped;
    }

    static bool EndedBySigterm(const Probe& p) {
        return p.reaped && WIFEXITED(p.status) && WEXITSTATUS(p.status) == 0 &&
               p.output == "ready\nterminated\n";
    }

    std::vector<std::unique_ptr<Probe>> probes;
};

TEST_F(ProcessCopiesTest, NewStartEndsOlderCopiesOfTheSameExecutableOnly) {
    const std::string original = NILO_INSTANCE_PROBE;
    const std::string elsewhere = Path("instance_probe");
    fs::copy_file(original, elsewhere);

    Probe& first = Start(original);
    ASSERT_TRUE(first.ready);
    Probe& other = Start(elsewhere);
    ASSERT_TRUE(other.ready);
    EXPECT_TRUE(Running(first)) << "a copy at another path ended the original";

    // A ready probe has already waited for the copies it asked to end.
    Probe& second = Start(original);
    ASSERT_TRUE(second.ready);
    EXPECT_FALSE(Running(first));
    EXPECT_TRUE(EndedBySigterm(first)) << first.output;
    EXPECT_TRUE(Running(other)) << "a start of the original ended the copy at another path";

    Probe& stubborn = Start(original, "--ignore-term");
    ASSERT_TRUE(stubborn.ready);
    EXPECT_FALSE(Running(second));
    EXPECT_TRUE(EndedBySigterm(second)) << second.output;

    Probe& third = Start(original);
    ASSERT_TRUE(third.ready);
    EXPECT_FALSE(Running(stubborn));
    EXPECT_TRUE(WIFSIGNALED(stubborn.status) && WTERMSIG(stubborn.status) == SIGKILL);
    EXPECT_TRUE(Running(third));

    // Replacing the binary under a running copy keeps it the same program.
    fs::copy_file(original, Path("update"));
    fs::rename(Path("update"), elsewhere);
    Probe& updated = Start(elsewhere);
    ASSERT_TRUE(updated.ready);
    EXPECT_FALSE(Running(other));
    EXPECT_TRUE(EndedBySigterm(other)) << other.output;
    EXPECT_TRUE(Running(third));
    EXPECT_TRUE(Running(updated));
}

} // namespace
