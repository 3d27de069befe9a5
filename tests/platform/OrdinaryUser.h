// Runs test code as an ordinary user, so that file modes and folder
// permissions bind it as they bind a user (root passes them all).
#pragma once

#include <filesystem>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace testuser {

// What AsOrdinaryUser returns when the system does not let it change user.
constexpr int kNoOrdinaryUser = 77;

// Runs body in a forked child and returns its exit status (-1 if it died).
// Run by root, the child first hands folder and all in it to uid and gid
// 65534 (nobody) and becomes that user; otherwise it stays who it is.
inline int AsOrdinaryUser(const std::string& folder, const std::function<int()>& body) {
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0) {
            constexpr uid_t kNobody = 65534;
            std::error_code ec;
            bool handed = ::lchown(folder.c_str(), kNobody, kNobody) == 0;
            for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ec))
                handed = handed && ::lchown(entry.path().c_str(), kNobody, kNobody) == 0;
            if (ec || !handed || ::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(kNoOrdinaryUser);
        }
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace testuser
