#include "tests/servers/Scenarios.h"

#include <random>

namespace servers {
namespace {

std::string Redirect(int status, const std::string& location)
{
    const char* reason = status == 301 ? "Moved Permanently" : status == 302 ? "Found" : "Redirect";
    return "HTTP/1.0 " + std::to_string(status) + " " + reason + "\r\nLocation: " + location
        + "\r\nContent-Length: 0\r\n\r\n";
}

} // namespace

Handler Routes(std::vector<std::pair<std::string, Handler>> routes)
{
    return [routes = std::move(routes), notFound = NotFound()](Connection& connection) {
        const std::string& path = connection.request().path;
        for (const auto& [route, handler] : routes) {
            if (path == route || (!route.empty() && route.back() == '/' && path.starts_with(route)))
                return handler(connection);
        }
        notFound(connection);
    };
}

Handler Respond(std::string statusLine, std::string contentType, std::string body)
{
    std::string response = statusLine + "\r\n";
    if (!contentType.empty())
        response += "Content-Type: " + contentType + "\r\n";
    response += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    return [response = std::move(response)](Connection& connection) {
        connection.request();
        connection.send(response);
    };
}

Handler NotFound()
{
    return Respond("HTTP/1.0 404 Not Found", "text/plain", "not found\n");
}

Handler PlsPlaylist(std::string streamUrl)
{
    return Respond("HTTP/1.0 200 OK", "audio/x-scpls",
                   "[playlist]\r\nNumberOfEntries=1\r\nFile1=" + streamUrl
                       + "\r\nTitle1=Test Station\r\nLength1=-1\r\nVersion=2\r\n");
}

Handler M3uPlaylist(std::string streamUrl)
{
    return Respond("HTTP/1.0 200 OK", "audio/x-mpegurl",
                   "#EXTM3U\r\n#EXTINF:-1,Test Station\r\n" + streamUrl + "\r\n");
}

Handler RedirectChain(std::string target, int status)
{
    return [target = std::move(target), status](Connection& connection) {
        const std::string& path = connection.request().path;
        const long hops = path.size() > 1 ? std::strtol(path.c_str() + 1, nullptr, 10) : 0;
        if (hops <= 0)
            return NotFound()(connection);
        connection.send(Redirect(status, hops == 1 ? target : connection.url("/") + std::to_string(hops - 1)));
    };
}

Handler RedirectLoop(int status)
{
    return [status](Connection& connection) {
        const bool atA = connection.request().path == "/loop/a";
        connection.send(Redirect(status, connection.url(atA ? "/loop/b" : "/loop/a")));
    };
}

Handler Silent()
{
    return [](Connection& connection) {
        connection.request();
        while (connection.wait(3600)) {
        }
    };
}

Handler Garbage(bool httpHeader, size_t bytes, uint32_t seed)
{
    return [httpHeader, bytes, seed](Connection& connection) {
        connection.request();
        if (httpHeader && !connection.send("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n"))
            return;
        std::mt19937 random(seed);
        std::string piece(16384, '\0');
        for (size_t sent = 0; sent < bytes; sent += piece.size()) {
            piece.resize(std::min(piece.size(), bytes - sent));
            for (char& c : piece)
                c = static_cast<char>(random());
            if (!connection.send(piece))
                return;
        }
    };
}

} // namespace servers
