// A real Icecast (Debian's icecast2) for radio tests: run as an unprivileged
// process on a free port of 127.0.0.1 with a configuration written here, an
// MP3 and an Ogg Vorbis mount fed at real-time pace by our own source
// clients, and title updates through Icecast's admin interface.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <thread>

#include "tests/servers/SourceClient.h"

namespace servers {

class IcecastServer {
  public:
    static constexpr const char* kMp3Mount = "/radio.mp3";
    static constexpr const char* kOggMount = "/radio.ogg";
    // What the mounts' listeners get as icy-name.
    static constexpr const char* kStationName = "Nilo Test Radio";

    // Whether icecast2 is on this machine (scripts/deps.sh test installs it).
    static bool Installed();

    IcecastServer() = default;
    ~IcecastServer() { stop(); }
    IcecastServer(const IcecastServer&) = delete;
    IcecastServer& operator=(const IcecastServer&) = delete;

    // True once both mounts stream, within boundSeconds; otherwise error()
    // says why and nothing is left running.
    bool start(double boundSeconds = 30);
    const std::string& error() const { return error_; }
    uint16_t port() const { return port_; }
    std::string url(std::string_view mount) const;

    // Through the admin interface, in UTF-8. The MP3 mount sends
    // StreamTitle='<artist> - <title>' (or '<title>') in its ICY blocks from
    // then on; the Ogg mount ends its chain link and starts one with these
    // ARTIST and TITLE comments, which lasts until the source's own next link
    // (every 20 s of audio, without such comments). Listeners hear either
    // some 4 s late: Icecast bursts 64 KB of the past to a new listener.
    bool setTitle(std::string_view mount, std::string_view title, std::string_view artist = {});

    // SIGTERM, then SIGKILL after 5 s; removes the temporary folder.
    void stop();

  private:
    bool launch();
    bool mountsLive(double boundSeconds);
    void collectError(const std::string& what);

    std::string folder_;
    uint16_t port_ = 0;
    std::thread watcher_; // forks icecast2 and waits for it to end
    pid_t pid_ = -1;
    std::atomic<bool> exited_{true};
    std::unique_ptr<SourceClient> mp3Source_;
    std::unique_ptr<SourceClient> oggSource_;
    std::string error_;
};

} // namespace servers
