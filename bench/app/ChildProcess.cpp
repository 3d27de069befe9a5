#include "bench/app/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "bench/app/MonotonicClock.h"

extern char** environ;

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

std::string NameOf(const std::string& Entry) {
    return Entry.substr(0, Entry.find('='));
}

std::vector<char*> Pointers(std::vector<std::string>& Texts) {
    std::vector<char*> pointers;
    for (std::string& text : Texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

std::vector<std::string> Environment(const std::vector<std::string>& Set, const std::vector<std::string>& Unset) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = NameOf(text);
        bool replaced = false;
        for (const std::string& other : Set) replaced = replaced || NameOf(other) == name;
        for (const std::string& other : Unset) replaced = replaced || other == name;
        if (!replaced) result.push_back(text);
    }
    result.insert(result.end(), Set.begin(), Set.end());
    return result;
}

ChildProcess::ChildProcess(const Options& Wanted, int64_t* StartedNs) {
    const int log = ::open(Wanted.LogFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    int pipeFds[2] = {-1, -1};
    if (log < 0 || null < 0 || (Wanted.CaptureOutput && ::pipe2(pipeFds, O_CLOEXEC) != 0)) {
        for (int fd : {log, null, pipeFds[0], pipeFds[1]})
            if (fd >= 0) ::close(fd);
        return;
    }
    std::vector<std::string> arguments = Wanted.Arguments;
    std::vector<std::string> environment = Wanted.Environment;
    if (StartedNs != nullptr) {
        *StartedNs = MonotonicNs();
        arguments.push_back(std::to_string(*StartedNs));
    }
    const std::vector<char*> argv = Pointers(arguments);
    const std::vector<char*> envp = Pointers(environment);
    pid_ = ::fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::dup2(null, 0);
        ::dup2(Wanted.CaptureOutput ? pipeFds[1] : log, 1);
        ::dup2(log, 2);
        if (Wanted.PassFd >= 0) {
            if (Wanted.PassFd == 3)
                ::fcntl(3, F_SETFD, 0);
            else
                ::dup2(Wanted.PassFd, 3);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(log);
    ::close(null);
    if (pipeFds[1] >= 0) ::close(pipeFds[1]);
    if (pid_ > 0)
        output_ = pipeFds[0];
    else if (pipeFds[0] >= 0)
        ::close(pipeFds[0]);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_) Terminate(std::chrono::seconds(5));
    if (output_ >= 0) ::close(output_);
}

std::string ChildProcess::Output(std::chrono::milliseconds Limit) {
    std::string text;
    if (output_ < 0) return text;
    const auto deadline = Clock::now() + Limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        pollfd p{output_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buffer[4096];
        const ssize_t n = ::read(output_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

bool ChildProcess::Wait(std::chrono::milliseconds Limit, int* Status) {
    if (pid_ <= 0) return false;
    if (reaped_) return true;
    const auto deadline = Clock::now() + Limit;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_ || (done < 0 && errno == ECHILD)) {
            reaped_ = true;
            if (Status != nullptr) *Status = status;
            return true;
        }
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool ChildProcess::Running() {
    return pid_ > 0 && !Wait(std::chrono::milliseconds(0));
}

bool ChildProcess::Terminate(std::chrono::milliseconds Grace) {
    if (pid_ <= 0 || reaped_) return reaped_;
    // Until it is reaped the pid cannot name any process but this child.
    ::kill(pid_, SIGTERM);
    if (Wait(Grace)) return true;
    ::kill(pid_, SIGKILL);
    Wait(std::chrono::seconds(10));
    return false;
}

} // namespace bench
