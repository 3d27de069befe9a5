#include "bench/app/ReportingServer.h"

#include <fcntl.h>
#include <unistd.h>

namespace bench {

ReportingServer::ReportingServer(const std::vector<std::string>& Arguments, const std::string& LogFile) {
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    ChildProcess::Options options;
    options.Arguments = Arguments;
    options.Environment = Environment({});
    options.LogFile = LogFile;
    options.PassFd = fds[1];
    server_ = std::make_unique<ChildProcess>(options);
    ::close(fds[1]);
    // A server that fails closes the pipe by exiting.
    std::string line;
    char c = 0;
    while (server_->started() && ::read(fds[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(fds[0]);
    if (c == '\n') line_ = line;
}

ReportingServer::~ReportingServer() {
    if (server_) server_->Terminate(std::chrono::seconds(5));
}

} // namespace bench
