// An endless station for LoopbackServer: the audio looped at real-time pace
// (or as fast as the client reads), ICY metadata for clients that ask, titles
// on a timeline, and per-connection drops and stalls.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/servers/LoopbackServer.h"
#include "tests/servers/StreamAudio.h"

namespace servers {

// A metadata block's text is cut to this (length byte 255).
constexpr size_t kMostMetadataBytes = 255 * 16;

// "StreamTitle='<title>';", the title's bytes as given.
std::string StreamTitleBlock(std::string_view title);

struct TimedBlock {
    double atSeconds = 0; // of audio into the stream
    std::string text;     // the block's raw text, NUL-padded to 16 bytes
};

struct StreamOptions {
    const StreamAudio* audio = nullptr;         // must be ok()
    std::string statusLine = "HTTP/1.0 200 OK"; // or "ICY 200 OK"
    std::optional<std::string> contentType;     // nullopt: the audio's; "": no Content-Type
    std::string icyName;                        // "": no icy-name
    // > 0: icy-metaint and a metadata block after every metaint bytes of
    // audio, only to a request with "Icy-MetaData: 1".
    size_t metaint = 0;
    // Each block goes once, in the first metadata slot at or after its time
    // (the latest when several fall due by one slot); the other slots are
    // empty (length byte 0).
    std::vector<TimedBlock> titles;
    // Filler header lines make the response head at least this long.
    size_t headerBytes = 0;
    bool realTime = true; // false: as fast as the client reads
    // Each connection closes after this much audio; 0: never.
    double closeAfterSeconds = 0;
    // The first connection goes silent for stallSeconds once it has sent
    // stallAfterSeconds of audio (stallSeconds 0: no stall).
    double stallAfterSeconds = 0;
    double stallSeconds = 0;
};

// Every connection starts the stream from its beginning.
LoopbackServer::Handler StreamHandler(StreamOptions options);

} // namespace servers
