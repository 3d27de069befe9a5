#include "ProcessCopies.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

const std::string kDeleted = " (deleted)";

std::string ReadLink(const std::string& path) {
    std::string target(256, '\0');
    for (;;) {
        ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < target.size()) {
            target.resize(static_cast<size_t>(n));
            return target;
        }
        if (target.size() >= 65536) return {};
        target.resize(target.size() * 2);
    }
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// The kernel marks an unlinked executable by appending " (deleted)" to its
// last name; a file that really carries that name is told apart by its inode.
bool IsDeletedMark(const std::string& link, const std::string& procExe) {
    return link.size() > kDeleted.size() && link.ends_with(kDeleted) && !SameFile(link, procExe);
}

// Real user id and state letter from /proc/<pid>/status.
bool ReadStatus(pid_t pid, uid_t& realUid, char& state) {
    std::string path = "/proc/" + std::to_string(pid) + "/status";
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[4096];
    ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0) return false;
    buffer[n] = '\0';
    const char* stateLine = std::strstr(buffer, "\nState:");
    const char* uidLine = std::strstr(buffer, "\nUid:");
    if (stateLine == nullptr || uidLine == nullptr) return false;
    stateLine += 7;
    while (*stateLine == ' ' || *stateLine == '\t')
        ++stateLine;
    state = *stateLine;
    char* end = nullptr;
    unsigned long uid = std::strtoul(uidLine + 5, &end, 10);
    if (end == uidLine + 5) return false;
    realUid = static_cast<uid_t>(uid);
    return true;
}

bool IsCopy(pid_t pid, const std::string& exePath) {
    std::string procExe = "/proc/" + std::to_string(pid) + "/exe";
    std::string link = ReadLink(procExe);
    if (link.empty()) return false;
    bool sameExe = link == exePath || (link == exePath + kDeleted && IsDeletedMark(link, procExe));
    if (!sameExe) return false;
    uid_t uid = 0;
    char state = 0;
    return ReadStatus(pid, uid, state) && uid == ::getuid() && state != 'Z' && state != 'X';
}

struct Target {
    pid_t pid;
    int pidfd; // -1 when the kernel has no pidfds: plain kill() by number
    bool ended = false;
};

int PidfdOpen(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

void Signal(const Target& t, int sig, const std::string& exePath) {
#ifdef SYS_pidfd_send_signal
    if (t.pidfd >= 0) {
        if (::syscall(SYS_pidfd_send_signal, t.pidfd, sig, nullptr, 0) == 0 || errno != ENOSYS)
            return;
    }
#endif
    // Without a pidfd the number may have been reused, so look again first.
    if (IsCopy(t.pid, exePath)) ::kill(t.pid, sig);
}

bool HasEnded(const Target& t, const std::string& exePath) {
    if (t.pidfd >= 0) {
        pollfd p{t.pidfd, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }
    return !IsCopy(t.pid, exePath);
}

// Waits until every target has ended or the time is up. Pidfds wake the
// poll when their process exits; the rest are looked at every 20 ms.
void WaitForEnd(std::vector<Target>& targets, const std::string& exePath,
                std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + limit;
    for (;;) {
        std::vector<pollfd> fds;
        bool byNumber = false;
        for (Target& t : targets) {
            if (!t.ended) t.ended = HasEnded(t, exePath);
            if (t.ended) continue;
            if (t.pidfd >= 0)
                fds.push_back({t.pidfd, POLLIN, 0});
            else
                byNumber = true;
        }
        if (fds.empty() && !byNumber) return;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return;
        if (byNumber) left = std::min(left, std::chrono::milliseconds(20));
        if (fds.empty())
            ::usleep(static_cast<useconds_t>(left.count()) * 1000);
        else
            ::poll(fds.data(), fds.size(), static_cast<int>(left.count()));
    }
}

} // namespace

std::string ExecutablePath() {
    std::string link = ReadLink("/proc/self/exe");
    if (IsDeletedMark(link, "/proc/self/exe")) link.resize(link.size() - kDeleted.size());
    return link;
}

std::vector<pid_t> FindOtherCopies(const std::string& ExePath) {
    std::vector<pid_t> copies;
    if (ExePath.empty()) return copies;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return copies;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || pid <= 0 || pid == self) continue;
        if (IsCopy(static_cast<pid_t>(pid), ExePath)) copies.push_back(static_cast<pid_t>(pid));
    }
    ::closedir(proc);
    return copies;
}

void EndOtherCopies(const std::string& ExePath, std::chrono::milliseconds Grace) {
    std::vector<Target> targets;
    try {
        const std::vector<pid_t> copies = FindOtherCopies(ExePath);
        targets.reserve(copies.size());
        for (pid_t pid : copies) {
            int pidfd = PidfdOpen(pid);
            if (pidfd < 0 && errno != ENOSYS) continue;
            // The pidfd pins the process found under this number only if
            // that process is still the copy we saw.
            if (pidfd >= 0 && !IsCopy(pid, ExePath)) {
                ::close(pidfd);
                continue;
            }
            targets.push_back({pid, pidfd});
        }
        for (const Target& t : targets)
            Signal(t, SIGTERM, ExePath);
        WaitForEnd(targets, ExePath, Grace);
        for (const Target& t : targets)
            if (!t.ended) Signal(t, SIGKILL, ExePath);
        WaitForEnd(targets, ExePath, std::chrono::milliseconds(500));
    } catch (...) {
        // Ending older copies is a courtesy; start-up goes on regardless.
    }
    for (const Target& t : targets)
        if (t.pidfd >= 0) ::close(t.pidfd);
}

} // namespace platform
