// A server of our own for the run that reports one line on fd 3 once it
// accepts clients (Xvfb's -displayfd, dbus-daemon's --print-address), and is
// stopped when this object goes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bench/app/ChildProcess.h"

namespace bench {

class ReportingServer {
  public:
    ReportingServer(const std::vector<std::string>& Arguments, const std::string& LogFile);
    ~ReportingServer();

    // The reported line without its end; empty when the server did not come up.
    const std::string& line() const { return line_; }

  private:
    std::unique_ptr<ChildProcess> server_;
    std::string line_;
};

} // namespace bench
