// Plain TCP to 127.0.0.1, for the harness and the self-test to talk to the
// servers, and the parsing of HTTP heads both sides share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace servers {

// A connected blocking socket, or -1.
int ConnectLoopback(uint16_t port);
// Never raises SIGPIPE; false once the peer is gone.
bool SendAll(int fd, std::string_view bytes);

// Sends request to 127.0.0.1:port and returns what comes back until the
// peer closes, maxBytes have come, seconds have passed or enough (when
// given) says so of what came; empty when no connection could be made.
std::string Exchange(uint16_t port, std::string_view request, size_t maxBytes, double seconds,
                     const std::function<bool(const std::string& received)>& enough = {});

// A response or request split at the blank line after its head; body is
// empty when there is no blank line.
struct HttpMessage {
    std::string head; // the start line and the header lines, without the blank line
    std::string body;
    std::string startLine() const;
    // The value of the first header of that name (any case), trimmed.
    std::optional<std::string> header(std::string_view name) const;
};
HttpMessage SplitHttp(std::string_view message);

} // namespace servers
