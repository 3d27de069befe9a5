// The network plugin: a download thread per stream on libcurl's multi
// interface, so that stopping it or waking it never waits for the network.
#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "audio/decoders/DecoderPlugins.h"
#include "audio/network/DownloadPlugin.h"
#include "audio/network/HttpTransfer.h"

namespace audio {
namespace {

using Clock = std::chrono::steady_clock;

// Playlist links followed one after another before giving up.
constexpr int kMostPlaylistLinks = 3;
// Waits before the reconnections of one drop, so that a server that is
// briefly away is given time to come back.
constexpr double kReconnectDelays[kMostReconnects] = {0.5, 1.5, 3.0};

class HttpDownload final : public Download {
  public:
    HttpDownload(std::string address, DownloadSink& sink, CURLM* multi)
        : address_(std::move(address)), sink_(sink), multi_(multi), thread_([this] { run(); })
    {
    }

    ~HttpDownload() override
    {
        cancelled_ = true;
        rest_.stop();
        curl_multi_wakeup(multi_);
        thread_.join();
        curl_multi_cleanup(multi_);
    }

    void wake() override { curl_multi_wakeup(multi_); }

  private:
    // One connection to the stream, through the playlist links it names.
    HttpTransfer::Outcome connect(std::string& why)
    {
        std::string address = address_;
        for (int link = 0; link <= kMostPlaylistLinks; ++link) {
            HttpTransfer transfer(multi_, sink_, cancelled_, rest_);
            const HttpTransfer::Outcome outcome = transfer.run(address);
            why = transfer.why();
            if (outcome != HttpTransfer::Outcome::Playlist)
                return outcome;
            address = transfer.next();
        }
        why = "the playlists link to one another";
        return HttpTransfer::Outcome::Failed;
    }

    void run()
    {
        std::deque<Clock::time_point> attempts;
        bool gaveAudio = false;
        int inDrop = 0;
        for (;;) {
            std::string why;
            const HttpTransfer::Outcome outcome = connect(why);
            if (outcome == HttpTransfer::Outcome::Cancelled)
                return;
            if (outcome == HttpTransfer::Outcome::Dropped) {
                gaveAudio = true;
                inDrop = 0;
            }
            if (!gaveAudio || !sink_.open()) {
                sink_.finished(!gaveAudio, why);
                return;
            }
            // At most kMostReconnects within the window, however they went.
            const auto now = Clock::now();
            while (!attempts.empty() && now - attempts.front() > std::chrono::duration<double>(kReconnectWindowSeconds))
                attempts.pop_front();
            if (attempts.size() >= static_cast<size_t>(kMostReconnects)) {
                sink_.finished(false, why);
                return;
            }
            attempts.push_back(now);
            sink_.reconnecting(static_cast<int>(attempts.size()));
            if (!rest_.sleep(std::chrono::duration<double>(kReconnectDelays[std::min(inDrop++, kMostReconnects - 1)])))
                return;
        }
    }

    const std::string address_;
    DownloadSink& sink_;
    CURLM* multi_;
    std::atomic<bool> cancelled_{false};
    DownloadRest rest_;
    std::thread thread_;
};

} // namespace
} // namespace audio

NILO_PLUGIN_ENTRY audio::Download* nilo_open_download_v1(const char* address, audio::DownloadSink* sink)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (!address || !sink)
        return nullptr;
    CURLM* multi = curl_multi_init();
    return multi ? new audio::HttpDownload(address, *sink, multi) : nullptr;
}
