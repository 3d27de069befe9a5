#include "StreamChannels.h"

#include "Library.h"
#include "audio/network/LiveDecoder.h"

namespace audio {
namespace {

// Runs fn on the channel's stream under the library's lock; none for a
// channel that has no stream.
template <typename Result, typename Fn> Result WithStream(Handle h, Result none, Fn&& fn) {
    Library& library = Library::Instance();
    std::lock_guard guard(library.lock);
    const Channel* channel = library.channels.find(h);
    return channel && channel->stream() ? fn(*channel->stream()) : none;
}

} // namespace

bool IsStreamAddress(const std::string& address) {
    return address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
}

Handle OpenStreamChannel(const std::string& address, ChannelKind kind, uint32_t flags) {
    if (!IsStreamAddress(address)) return 0;
    std::shared_ptr<NetworkStream> stream =
        NetworkStream::Start(address, kind == ChannelKind::Wma, [] { Library::Instance().worker.wake(); });
    return Library::Instance().addChannel(std::make_unique<LiveDecoder>(stream), kind, flags, stream);
}

Handle openUrlChannel(const std::string& address, uint32_t flags) {
    return OpenStreamChannel(address, ChannelKind::Url, flags);
}

int streamBufferedPercent(Handle h) {
    return WithStream(h, -1, [](const NetworkStream& stream) { return stream.bufferedPercent(); });
}

bool streamStatus(Handle h, StreamStatus& status) {
    return WithStream(h, false, [&](const NetworkStream& stream) {
        status = stream.status();
        return true;
    });
}

} // namespace audio
