// The test station (tests/servers/TestStation.cpp) in a process of its own,
// so that its work is not counted as the player's: started with its
// arguments, its address read from the first line it prints, ended with
// SIGTERM.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace bench {

class StationProcess {
  public:
    explicit StationProcess(const std::vector<std::string>& Arguments);
    ~StationProcess();
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    // Empty when the station did not start.
    const std::string& address() const { return address_; }

  private:
    pid_t pid_ = -1;
    std::string address_;
};

} // namespace bench
