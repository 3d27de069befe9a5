// Processes the benchmark starts itself: started with fork and exec under a
// given environment, read, waited for with a limit and ended by their pid,
// which stays ours until it is reaped.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bench {

// This process's environment with the names in Set replaced or added and
// those in Unset left out; entries of Set are "NAME=value".
std::vector<std::string> Environment(const std::vector<std::string>& Set,
                                     const std::vector<std::string>& Unset = {});

class ChildProcess {
  public:
    struct Options {
        std::vector<std::string> Arguments; // the program first
        std::vector<std::string> Environment;
        std::string LogFile;                // standard error (and output unless captured)
        bool CaptureOutput = false;         // standard output to a pipe read by Output()
        int PassFd = -1;                    // kept open in the child as fd 3
    };

    // StartedNs, when not null, receives the clock taken just before fork,
    // which is also handed to the child as its last argument.
    explicit ChildProcess(const Options& Wanted, int64_t* StartedNs = nullptr);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // Everything the child writes to its standard output until it closes it
    // or Limit passes.
    std::string Output(std::chrono::milliseconds Limit);
    // True (with the exit status) when the child ended within Limit.
    bool Wait(std::chrono::milliseconds Limit, int* Status = nullptr);
    bool Running();
    // SIGTERM, a wait of Grace, then SIGKILL; the child is reaped either way.
    // True when it ended on the SIGTERM.
    bool Terminate(std::chrono::milliseconds Grace);

  private:
    pid_t pid_ = -1;
    int output_ = -1;
    bool reaped_ = false;
};

} // namespace bench
