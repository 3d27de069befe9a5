// A source client for Icecast of our own: sends a mount its audio in an
// endless loop at real-time pace (HTTP PUT with Basic auth), and connects
// again whenever it is refused or dropped, until stopped.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "tests/servers/Pacing.h"
#include "tests/servers/StreamAudio.h"

namespace servers {

// user:password in Base64, for an Authorization: Basic header.
std::string BasicCredentials(const std::string& user, const std::string& password);

class SourceClient {
  public:
    SourceClient(uint16_t port, std::string mount, std::string password, const StreamAudio& audio);
    ~SourceClient();
    SourceClient(const SourceClient&) = delete;
    SourceClient& operator=(const SourceClient&) = delete;

    void stop();

  private:
    void run();
    void feed(int fd);

    uint16_t port_;
    std::string mount_;
    std::string password_;
    const StreamAudio& audio_;
    StopSignal stop_;
    std::mutex fdMutex_;
    int fd_ = -1;
    std::thread thread_;
};

} // namespace servers
