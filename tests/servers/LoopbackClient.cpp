#include "tests/servers/LoopbackClient.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace servers {

int ConnectLoopback(uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::string Exchange(uint16_t port, std::string_view request, size_t maxBytes, double seconds,
                     const std::function<bool(const std::string&)>& enough)
{
    const int fd = ConnectLoopback(port);
    if (fd < 0)
        return {};
    std::string reply;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    if (SendAll(fd, request)) {
        char buffer[16384];
        while (reply.size() < maxBytes && !(enough && enough(reply))) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd ready{fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
                break;
            const ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, maxBytes - reply.size()), 0);
            if (n <= 0)
                break;
            reply.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    return reply;
}

std::string HttpMessage::startLine() const
{
    return head.substr(0, head.find_first_of("\r\n"));
}

std::optional<std::string> HttpMessage::header(std::string_view name) const
{
    size_t at = head.find('\n');
    while (at != std::string::npos && at < head.size()) {
        const size_t begin = at + 1;
        at = head.find('\n', begin);
        std::string_view line =
            std::string_view(head).substr(begin, at == std::string::npos ? std::string::npos : at - begin);
        const size_t colon = line.find(':');
        if (colon != name.size() || strncasecmp(line.data(), name.data(), name.size()) != 0)
            continue;
        line.remove_prefix(colon + 1);
        const size_t first = line.find_first_not_of(" \t");
        const size_t last = line.find_last_not_of(" \t\r");
        return first == std::string_view::npos ? std::string() : std::string(line.substr(first, last - first + 1));
    }
    return std::nullopt;
}

HttpMessage SplitHttp(std::string_view message)
{
    size_t blank = message.find("\r\n\r\n");
    size_t skip = 4;
    const size_t bare = message.find("\n\n");
    if (bare < blank) {
        blank = bare;
        skip = 2;
    }
    if (blank == std::string_view::npos)
        return {std::string(message), {}};
    return {std::string(message.substr(0, blank)), std::string(message.substr(blank + skip))};
}

} // namespace servers
