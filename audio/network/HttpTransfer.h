// One connection of a download, inside the network plugin: the request with
// the ICY metadata asked for, redirects followed, the answer read as audio
// (its metadata blocks taken out) or as a playlist that names the stream.
// It holds the connection, without reading, while the sink has no room, and
// drops it when nothing arrives for kStallSeconds.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "audio/network/DownloadPlugin.h"
#include "audio/network/DownloadRest.h"
#include "audio/network/IcyMetadata.h"

namespace audio {

class HttpTransfer {
  public:
    enum class Outcome {
        Cancelled, // the download is being stopped
        Failed,    // nothing of a stream came
        Dropped,   // audio came, then the connection ended
        Playlist,  // the answer was a playlist: `next` names the stream
    };

    HttpTransfer(CURLM* multi, DownloadSink& sink, const std::atomic<bool>& cancelled, DownloadRest& rest)
        : multi_(multi), sink_(sink), cancelled_(cancelled), rest_(rest)
    {
    }

    Outcome run(const std::string& address);
    const std::string& next() const { return next_; }
    const std::string& why() const { return why_; }

  private:
    using Clock = std::chrono::steady_clock;
    enum class Mode { Undecided, Audio, Playlist };

    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    size_t header(std::string_view line);
    size_t body(const char* data, size_t size);
    void decide();
    // Hands held bytes on as the sink has room for them.
    void flush();
    void setUp(CURL* easy, const std::string& address);
    Outcome finish(CURLcode result, bool done);

    CURLM* multi_;
    DownloadSink& sink_;
    const std::atomic<bool>& cancelled_;
    DownloadRest& rest_;
    CURL* easy_ = nullptr;
    // Body bytes taken since the connection's last round.
    size_t taken_ = 0;
    std::map<std::string, std::string> fields_;
    size_t headerBytes_ = 0;
    Mode mode_ = Mode::Undecided;
    std::string held_;
    std::string playlist_;
    std::unique_ptr<IcyDemuxer> icy_;
    bool paused_ = false;
    bool gaveAudio_ = false;
    bool refused_ = false;
    Clock::time_point lastByte_;
    std::string next_;
    std::string why_;
};

} // namespace audio
