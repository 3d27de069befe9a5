#include "audio/network/HttpTransfer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <utility>

#include "audio/network/NetworkText.h"
#include "audio/network/StreamPlaylist.h"

namespace audio {
namespace {

// Longest answer header a stream server sends; a longer one is refused.
constexpr size_t kMostHeaderBytes = 64 * 1024;
// Bytes held while the sink has no room, before the connection is held too.
constexpr size_t kMostHeldBytes = 64 * 1024;
// Enough of the body to tell a playlist from audio.
constexpr size_t kDecideBytes = 64;
constexpr long kMostRedirects = 5;
constexpr long kConnectMilliseconds = 8000;
// The longest metadata interval taken; servers use 8 to 32 KiB.
constexpr unsigned long kMostMetaInterval = 1 << 20;
constexpr const char* kUserAgent = "NiloMusicPlayer/1.3";
// While bytes trickle in they are taken this often, whatever the pieces the
// server sends them in: a stream then wakes its threads twice a second.
constexpr std::chrono::milliseconds kReadPace(250);

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

} // namespace

size_t HttpTransfer::OnHeader(char* data, size_t size, size_t count, void* self)
{
    return static_cast<HttpTransfer*>(self)->header({data, size * count});
}

size_t HttpTransfer::OnBody(char* data, size_t size, size_t count, void* self)
{
    return static_cast<HttpTransfer*>(self)->body(data, size * count);
}

size_t HttpTransfer::header(std::string_view line)
{
    lastByte_ = Clock::now();
    headerBytes_ += line.size();
    if (headerBytes_ > kMostHeaderBytes) {
        why_ = "the server's answer header is too long";
        return 0;
    }
    // Each answer of a redirect chain starts afresh.
    if (line.rfind("HTTP/", 0) == 0 || line.rfind("ICY ", 0) == 0) {
        fields_.clear();
        headerBytes_ = line.size();
        return line.size();
    }
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos)
        fields_[Lower(Trimmed(line.substr(0, colon)))] = Trimmed(line.substr(colon + 1));
    return line.size();
}

size_t HttpTransfer::body(const char* data, size_t size)
{
    lastByte_ = Clock::now();
    if (held_.size() >= kMostHeldBytes) {
        paused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    held_.append(data, size);
    taken_ += size;
    if (mode_ == Mode::Undecided && held_.size() >= kDecideBytes)
        decide();
    if (mode_ == Mode::Playlist) {
        playlist_ += held_;
        held_.clear();
        if (playlist_.size() > kMostPlaylistBytes) {
            why_ = "the playlist is too long";
            refused_ = true;
            return 0;
        }
    }
    if (mode_ == Mode::Audio)
        flush();
    return size;
}

void HttpTransfer::decide()
{
    const char* type = nullptr;
    curl_easy_getinfo(easy_, CURLINFO_CONTENT_TYPE, &type);
    const std::string contentType = type ? MediaTypeOf(type) : std::string();
    if (IsPlaylistResponse(contentType, held_)) {
        mode_ = Mode::Playlist;
        return;
    }
    mode_ = Mode::Audio;
    unsigned long interval = 0;
    if (const auto it = fields_.find("icy-metaint"); it != fields_.end()) {
        char* end = nullptr;
        interval = std::strtoul(it->second.c_str(), &end, 10);
        if (end == it->second.c_str() || *end != '\0' || interval > kMostMetaInterval)
            interval = 0;
    }
    icy_ = std::make_unique<IcyDemuxer>(interval);
    const char* address = nullptr;
    curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &address);
    const auto name = fields_.find("icy-name");
    sink_.connected({address ? address : "", contentType, name != fields_.end() ? name->second : ""});
}

void HttpTransfer::flush()
{
    const size_t n = std::min(held_.size(), sink_.room());
    if (n == 0)
        return;
    icy_->feed(
        reinterpret_cast<const uint8_t*>(held_.data()), n,
        [this](const uint8_t* bytes, size_t size) {
            sink_.audio(bytes, size);
            gaveAudio_ = true;
        },
        [this](std::string_view block) { sink_.metadata(block); });
    held_.erase(0, n);
}

void HttpTransfer::setUp(CURL* easy, const std::string& address)
{
    curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMostRedirects);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectMilliseconds);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpTransfer::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpTransfer::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    // The trusted certificates of OpenSSL's own convention, when set.
    if (const char* authorities = std::getenv("SSL_CERT_FILE"))
        curl_easy_setopt(easy, CURLOPT_CAINFO, authorities);
}

HttpTransfer::Outcome HttpTransfer::run(const std::string& address)
{
    const Slist aliases(curl_slist_append(nullptr, "ICY 200 OK"));
    const Slist request(curl_slist_append(nullptr, "Icy-MetaData: 1"));
    easy_ = curl_easy_init();
    if (!easy_ || !aliases || !request) {
        if (easy_)
            curl_easy_cleanup(easy_);
        why_ = "no connection can be made";
        return Outcome::Failed;
    }
    setUp(easy_, address);
    curl_easy_setopt(easy_, CURLOPT_HTTP200ALIASES, aliases.get());
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, request.get());
    curl_multi_add_handle(multi_, easy_);
    lastByte_ = Clock::now();

    CURLcode result = CURLE_OK;
    bool done = false;
    while (!cancelled_) {
        int running = 0;
        curl_multi_perform(multi_, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                done = true;
                result = message->data.result;
            }
        }
        if (done || !running)
            break;
        if (!sink_.wanted()) {
            why_ = "the stream left this connection";
            break;
        }
        if (mode_ == Mode::Audio)
            flush();
        if (paused_ && held_.size() < kMostHeldBytes) {
            paused_ = false;
            lastByte_ = Clock::now();
            curl_easy_pause(easy_, CURLPAUSE_CONT);
            continue;
        }
        if (!paused_ && Clock::now() - lastByte_ > std::chrono::duration<double>(kStallSeconds)) {
            why_ = "nothing arrived for 8 s";
            break;
        }
        // A trickle, as a station sends in real time, is taken at the pace;
        // a server that sends faster is read as fast as the sink takes it.
        const size_t taken = std::exchange(taken_, 0);
        if (taken > 0 && taken < kMostHeldBytes / 2 && !sink_.eager()) {
            rest_.sleep(kReadPace);
            continue;
        }
        curl_multi_poll(multi_, nullptr, 0, paused_ ? 1000 : 250, nullptr);
    }
    const Outcome outcome = cancelled_ ? Outcome::Cancelled : finish(result, done);
    curl_multi_remove_handle(multi_, easy_);
    curl_easy_cleanup(easy_);
    easy_ = nullptr;
    return outcome;
}

HttpTransfer::Outcome HttpTransfer::finish(CURLcode result, bool done)
{
    if (done && result == CURLE_HTTP_RETURNED_ERROR && why_.empty()) {
        long code = 0;
        curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
        why_ = "the server answered " + std::to_string(code);
    }
    if (done && result != CURLE_OK && why_.empty())
        why_ = curl_easy_strerror(result);
    if (done && result == CURLE_OK && mode_ == Mode::Undecided && !held_.empty())
        decide();
    if (mode_ == Mode::Playlist) {
        playlist_ += held_;
        const char* address = nullptr;
        curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &address);
        const auto stream = done && result == CURLE_OK && !refused_ ? FirstStreamAddress(playlist_, address ? address : "")
                                                                    : std::nullopt;
        if (stream) {
            next_ = *stream;
            return Outcome::Playlist;
        }
        if (why_.empty())
            why_ = "the playlist names no stream";
        return Outcome::Failed;
    }
    // What the sink had no room for is lost with the connection.
    if (mode_ == Mode::Audio)
        flush();
    if (why_.empty())
        why_ = "the server ended the stream";
    return gaveAudio_ ? Outcome::Dropped : Outcome::Failed;
}

} // namespace audio
