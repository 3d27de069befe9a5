// The download of a network stream lives in a plugin (nilo-net.so), opened
// when the first stream is, so that the program starts without loading
// libcurl and the TLS libraries. The program hands the plugin a sink; the
// plugin runs the download on a thread of its own and reports to the sink,
// reconnecting a dropped connection by itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "audio/AudioLibrary.h"

namespace audio {

// What a connection answered; its bytes follow.
struct StreamResponse {
    std::string address;     // after redirects and playlist links
    std::string contentType; // lower case, without parameters; may be empty
    std::string station;     // icy-name, as sent
};

// Called on the download's thread.
class DownloadSink {
  public:
    virtual ~DownloadSink() = default;
    // Audio bytes the buffer takes now; the download holds the connection
    // while there is none.
    virtual size_t room() = 0;
    // False once the stream no longer wants this connection's bytes: the
    // download drops it as if the server had.
    virtual bool wanted() = 0;
    // False once the stream wants nothing more at all.
    virtual bool open() = 0;
    // True while the stream fills its pre-buffer: the download takes bytes
    // as they come, not at its own unhurried pace.
    virtual bool eager() = 0;
    virtual void connected(const StreamResponse& response) = 0;
    // At most room() bytes of the connection's audio, metadata removed.
    virtual void audio(const uint8_t* bytes, size_t size) = 0;
    // An ICY metadata block.
    virtual void metadata(std::string_view block) = 0;
    // The connection dropped; reconnection `attempt` (from 1) is under way.
    virtual void reconnecting(int attempt) = 0;
    // Nothing more will come. failed: no connection ever gave audio; why
    // says what went wrong.
    virtual void finished(bool failed, const std::string& why) = 0;
};

class Download {
  public:
    // Stops the download at once and waits for its thread.
    virtual ~Download() = default;
    // The sink has room again, or stopped wanting the bytes.
    virtual void wake() = 0;
};

// Starts downloading address (http:// or https://) into sink, which must
// outlive the download; nullptr when it cannot start.
using DownloadPluginEntry = Download* (*)(const char* address, DownloadSink* sink);

constexpr const char* kNetPlugin = "nilo-net.so";
constexpr const char* kNetPluginEntry = "nilo_open_download_v1";

// How long a connection may stay silent, and how often a dropped one is
// made again: at most kMostReconnects times within kReconnectWindowSeconds.
constexpr double kStallSeconds = 8.0;
constexpr int kMostReconnects = kStreamReconnects;
constexpr double kReconnectWindowSeconds = 30.0;

} // namespace audio
