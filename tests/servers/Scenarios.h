// Small handlers for LoopbackServer: fixed answers, playlist links,
// redirects, and servers that misbehave.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/servers/LoopbackServer.h"

namespace servers {

using Handler = LoopbackServer::Handler;

// By path: the first route whose path equals the request's path, or is a
// prefix of it when it ends with "/"; a 404 for any other.
Handler Routes(std::vector<std::pair<std::string, Handler>> routes);

// statusLine such as "HTTP/1.0 200 OK"; no Content-Type when contentType is empty.
Handler Respond(std::string statusLine, std::string contentType, std::string body);
Handler NotFound();

// A PLS (audio/x-scpls) or M3U (audio/x-mpegurl) playlist naming streamUrl.
Handler PlsPlaylist(std::string streamUrl);
Handler M3uPlaylist(std::string streamUrl);

// "/N" answers with a redirect to "/N-1" on the same server and "/1" with
// one to target, so url("/5") is a chain of five. status: 301, 302 ...
Handler RedirectChain(std::string target, int status = 302);
// Every request is sent on to the other of "/loop/a" and "/loop/b".
Handler RedirectLoop(int status = 302);

// Reads the request and sends nothing until the server stops.
Handler Silent();
// bytes of random data (the same for the same seed) and then a close; with
// httpHeader first "HTTP/1.0 200 OK" and "Content-Type: audio/mpeg".
Handler Garbage(bool httpHeader, size_t bytes = 1 << 20, uint32_t seed = 1);

} // namespace servers
