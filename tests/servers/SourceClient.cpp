#include "tests/servers/SourceClient.h"

#include "tests/servers/LoopbackClient.h"

#include <algorithm>
#include <sys/socket.h>
#include <unistd.h>

namespace servers {

std::string BasicCredentials(const std::string& user, const std::string& password)
{
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string in = user + ":" + password;
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        const size_t n = std::min<size_t>(3, in.size() - i);
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < n ? static_cast<uint8_t>(in[i + k]) : 0);
        for (size_t k = 0; k < 4; ++k)
            out += k <= n ? kDigits[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

SourceClient::SourceClient(uint16_t port, std::string mount, std::string password, const StreamAudio& audio)
    : port_(port), mount_(std::move(mount)), password_(std::move(password)), audio_(audio),
      thread_([this] { run(); })
{
}

SourceClient::~SourceClient()
{
    stop();
}

void SourceClient::stop()
{
    stop_.raise();
    {
        std::lock_guard lock(fdMutex_);
        if (fd_ >= 0)
            ::shutdown(fd_, SHUT_RDWR);
    }
    if (thread_.joinable())
        thread_.join();
}

void SourceClient::run()
{
    do {
        const int fd = ConnectLoopback(port_);
        if (fd < 0)
            continue;
        {
            std::lock_guard lock(fdMutex_);
            fd_ = fd;
        }
        if (!stop_.raised())
            feed(fd);
        std::lock_guard lock(fdMutex_);
        ::close(fd);
        fd_ = -1;
    } while (stop_.waitFor(0.2));
}

void SourceClient::feed(int fd)
{
    const timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const std::string request = "PUT " + mount_ + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_)
        + "\r\nAuthorization: Basic " + BasicCredentials("source", password_)
        + "\r\nContent-Type: " + audio_.contentType + "\r\nIce-Name: Nilo Test Radio\r\nIce-Public: 0\r\n\r\n";
    if (!SendAll(fd, request))
        return;
    std::string reply;
    char buffer[1024];
    while (reply.find("\r\n\r\n") == std::string::npos && reply.size() < 8192) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        reply.append(buffer, static_cast<size_t>(n));
    }
    if (SplitHttp(reply).startLine().find(" 200") == std::string::npos)
        return;
    // The first seconds go at once, as an encoder's buffer would send them:
    // Icecast lets listeners in only once it has an Ogg stream's headers.
    Pacer pacer;
    pacer.restart(audio_.bytesPerSecond(), 2);
    EndlessAudio source(audio_);
    const auto send = [fd](std::string_view part) { return SendAll(fd, part); };
    while (SendPaced(source.next(16384), pacer, stop_, send)) {
    }
}

} // namespace servers
