// Other running copies of this program: finding them and asking them to end.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// Full path of this process's executable, or empty when it cannot be read.
// A binary replaced since start-up is still named by its original path.
std::string ExecutablePath();

// Live processes other than this one that run the executable at ExePath
// (also when that file was replaced after they started) under our real user.
std::vector<pid_t> FindOtherCopies(const std::string& ExePath);

// Sends SIGTERM to every other copy, gives them Grace to end and kills those
// still running. Failures are ignored; returns within about Grace + 0.5 s.
void EndOtherCopies(const std::string& ExePath,
                    std::chrono::milliseconds Grace = std::chrono::seconds(2));

} // namespace platform
