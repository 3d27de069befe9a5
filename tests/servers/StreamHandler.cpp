#include "tests/servers/StreamHandler.h"

#include <algorithm>
#include <cmath>

namespace servers {
namespace {

std::string ResponseHead(const StreamOptions& options, bool withMetadata)
{
    std::string head = options.statusLine + "\r\n";
    const std::string type = options.contentType.value_or(options.audio->contentType);
    if (!type.empty())
        head += "Content-Type: " + type + "\r\n";
    if (!options.icyName.empty())
        head += "icy-name: " + options.icyName + "\r\n";
    if (withMetadata)
        head += "icy-metaint: " + std::to_string(options.metaint) + "\r\n";
    const std::string filler = "X-Filler: " + std::string(1000, 'f') + "\r\n";
    while (head.size() + 2 < options.headerBytes)
        head += filler;
    return head + "\r\n";
}

std::string MetadataBlock(std::string_view text)
{
    text = text.substr(0, kMostMetadataBytes);
    const size_t units = (text.size() + 15) / 16;
    std::string block(1 + units * 16, '\0');
    block[0] = static_cast<char>(units);
    std::copy(text.begin(), text.end(), block.begin() + 1);
    return block;
}

// The metadata slot after `seconds` of audio: the latest block that is due
// and has not gone yet, or an empty one.
std::string NextSlot(const std::vector<TimedBlock>& titles, double seconds, size_t& sent)
{
    size_t due = sent;
    while (due < titles.size() && titles[due].atSeconds <= seconds)
        ++due;
    if (due == sent)
        return std::string(1, '\0');
    sent = due;
    return MetadataBlock(titles[due - 1].text);
}

void Stream(const StreamOptions& options, Connection& connection)
{
    const StreamAudio& audio = *options.audio;
    const bool withMetadata = options.metaint > 0 && connection.request().wantsIcyMetadata();
    if (!audio.ok() || !connection.send(ResponseHead(options, withMetadata)))
        return;
    std::vector<TimedBlock> titles = options.titles;
    std::stable_sort(titles.begin(), titles.end(),
                     [](const TimedBlock& a, const TimedBlock& b) { return a.atSeconds < b.atSeconds; });
    const double rate = audio.bytesPerSecond();
    const auto byteAt = [&](double seconds) { return static_cast<uint64_t>(std::llround(seconds * rate)); };
    const uint64_t end = options.closeAfterSeconds > 0 ? byteAt(options.closeAfterSeconds) : UINT64_MAX;
    const bool stalls = options.stallSeconds > 0 && connection.number() == 1;
    const uint64_t stallAt = stalls ? byteAt(options.stallAfterSeconds) : UINT64_MAX;
    EndlessAudio source(audio);
    uint64_t sent = 0;
    uint64_t toSlot = withMetadata ? options.metaint : UINT64_MAX;
    size_t titlesSent = 0;
    while (sent < end) {
        if (sent == stallAt && !connection.wait(options.stallSeconds))
            return;
        const uint64_t mark = sent < stallAt ? std::min(stallAt, end) : end;
        const std::string_view piece = source.next(std::min<uint64_t>({16384, toSlot, mark - sent}));
        const bool delivered = options.realTime ? connection.sendPaced(piece, rate) : connection.send(piece);
        if (!delivered)
            return;
        sent += piece.size();
        toSlot -= withMetadata ? piece.size() : 0;
        if (toSlot == 0) {
            if (!connection.send(NextSlot(titles, static_cast<double>(sent) / rate, titlesSent)))
                return;
            toSlot = options.metaint;
        }
    }
}

} // namespace

std::string StreamTitleBlock(std::string_view title)
{
    return "StreamTitle='" + std::string(title) + "';";
}

LoopbackServer::Handler StreamHandler(StreamOptions options)
{
    return [options = std::move(options)](Connection& connection) { Stream(options, connection); };
}

} // namespace servers
