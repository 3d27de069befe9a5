#include "audio/network/NetworkStream.h"

#include <algorithm>
#include <vector>

#include "audio/decoders/StreamDecoders.h"
#include "audio/network/IcyMetadata.h"
#include "audio/network/SegmentSource.h"
#include "audio/network/StreamProbe.h"
#include "audio/plugins/PluginLibrary.h"

namespace audio {
namespace {

// The download may run this far ahead of the decoder: some 30 s of a
// 128 kbit/s stream, so a server's burst at the start is all taken.
constexpr size_t kByteQueueSize = 512 * 1024;
// Decoded frames waiting for the channel; the channel's own buffer holds
// about 3 s more once it plays.
constexpr double kFrameQueueSeconds = 2.0;
// What the pre-buffer holds before a stream starts: heard within a second
// at real-time pace.
constexpr double kPreBufferSeconds = 0.75;
constexpr size_t kPumpFrames = 4096;
// Frames worth waking the decode thread for, once it found too few.
constexpr double kWakeSeconds = 0.25;
constexpr size_t kProbeStep = 4096;

} // namespace

std::shared_ptr<NetworkStream> NetworkStream::Start(const std::string& address, bool asfOnly,
                                                    std::function<void()> onFrames)
{
    std::shared_ptr<NetworkStream> stream(new NetworkStream(address, asfOnly, std::move(onFrames)));
    stream->thread_ = std::thread([raw = stream.get()] { raw->run(); });
    return stream;
}

NetworkStream::NetworkStream(std::string address, bool asfOnly, std::function<void()> onFrames)
    : address_(std::move(address)), asfOnly_(asfOnly), bytes_(kByteQueueSize), frames_(std::move(onFrames))
{
    status_.address = address_;
}

NetworkStream::~NetworkStream()
{
    {
        std::lock_guard hold(downloadLock_);
        closing_ = true;
    }
    bytes_.close();
    frames_.close();
    if (thread_.joinable())
        thread_.join();
    // The download's thread calls this object until it is gone.
    download_.reset();
}

int NetworkStream::bufferedPercent() const
{
    std::lock_guard hold(statusLock_);
    if (status_.failed)
        return -1;
    const uint32_t rate = rate_.load();
    if (rate == 0)
        return 0;
    const size_t buffered = frames_.buffered();
    if (frames_.finished())
        return pushed_.load() > 0 ? 100 : -1;
    const double full = kPreBufferSeconds * rate;
    return static_cast<int>(std::min(100.0, 100.0 * static_cast<double>(buffered) / full));
}

StreamStatus NetworkStream::status() const
{
    std::lock_guard hold(statusLock_);
    StreamStatus status = status_;
    status.ended = status.ended || frames_.finished();
    return status;
}

size_t NetworkStream::room()
{
    return bytes_.room();
}

bool NetworkStream::wanted()
{
    return !bytes_.closed() && !bytes_.abandoned();
}

bool NetworkStream::open()
{
    return !bytes_.closed();
}

bool NetworkStream::eager()
{
    const uint32_t rate = rate_.load();
    return rate == 0 || static_cast<double>(pushed_.load()) < 2 * kPreBufferSeconds * rate;
}

void NetworkStream::connected(const StreamResponse& response)
{
    {
        std::lock_guard hold(statusLock_);
        status_.reconnecting = 0;
        status_.address = response.address;
        status_.contentType = response.contentType;
        if (const auto station = CleanStreamText(response.station))
            status_.station = *station;
    }
    bytes_.beginSegment(response.contentType);
}

void NetworkStream::audio(const uint8_t* bytes, size_t size)
{
    bytes_.push(bytes, size);
}

void NetworkStream::metadata(std::string_view block)
{
    if (const auto title = StreamTitleOf(block))
        setTitle(*title);
}

void NetworkStream::setTitle(std::string_view raw)
{
    const auto title = CleanStreamText(raw);
    if (!title)
        return;
    std::lock_guard hold(statusLock_);
    if (*title == status_.title)
        return;
    status_.title = *title;
    ++status_.titleChanges;
}

void NetworkStream::reconnecting(int attempt)
{
    std::lock_guard hold(statusLock_);
    status_.reconnecting = attempt;
    ++status_.reconnects;
}

void NetworkStream::finished(bool failed, const std::string& why)
{
    {
        std::lock_guard hold(statusLock_);
        status_.reconnecting = 0;
        if (status_.error.empty())
            status_.error = why;
    }
    if (failed)
        fail(why);
    bytes_.finish();
}

void NetworkStream::fail(const std::string& why)
{
    {
        std::lock_guard hold(statusLock_);
        status_.failed = true;
        status_.ended = true;
        if (status_.error.empty())
            status_.error = why;
    }
    frames_.finish();
}

bool NetworkStream::startDownload()
{
    const auto start = reinterpret_cast<DownloadPluginEntry>(LibrarySymbol(PluginPath(kNetPlugin), kNetPluginEntry));
    std::lock_guard hold(downloadLock_);
    if (closing_)
        return false;
    if (!start) {
        fail("the network plugin cannot be loaded");
        return false;
    }
    download_.reset(start(address_.c_str(), this));
    if (!download_)
        fail("the download cannot start");
    return download_ != nullptr;
}

void NetworkStream::run()
{
    if (!startDownload())
        return;
    std::string contentType;
    while (bytes_.nextSegment(contentType)) {
        auto source = std::make_shared<SegmentSource>(bytes_);
        std::unique_ptr<StreamDecoder> decoder = openSegment(source, contentType);
        const bool ok = decoder && pump(*decoder);
        if (!ok && pushed_.load() == 0) {
            fail("the stream is no audio this player knows");
            bytes_.close();
            return;
        }
        if (!decoder) {
            // A reconnection that answers with something else is left; the
            // download drops it and may try again.
            download_->wake();
            continue;
        }
        if (!ok)
            break;
        download_->wake();
    }
    if (pushed_.load() == 0)
        fail(status().error.empty() ? "the stream ended before any audio" : status().error);
    frames_.finish();
}

std::unique_ptr<StreamDecoder> NetworkStream::openSegment(const std::shared_ptr<SegmentSource>& source,
                                                          const std::string& contentType)
{
    StreamProbeResult probe;
    for (size_t wanted = kProbeStep;; wanted = std::min(wanted * 2, kStreamProbeLimit)) {
        const bool more = source->extendHead(wanted);
        const std::string& head = source->head();
        probe = ProbeStream(contentType, {reinterpret_cast<const uint8_t*>(head.data()), head.size()}, !more);
        if (probe.verdict != StreamProbeResult::Verdict::NeedMore || !more || head.size() >= kStreamProbeLimit)
            break;
    }
    if (probe.verdict != StreamProbeResult::Verdict::Found || (asfOnly_ && probe.kind != StreamKind::Asf))
        return nullptr;
    switch (probe.kind) {
    case StreamKind::Mp3: return OpenMpegStreamDecoder(source, probe.offset);
    case StreamKind::OggVorbis: return OpenVorbisStreamDecoder(source, probe.offset);
    case StreamKind::Aac:
    case StreamKind::OggOpus:
    case StreamKind::Asf: return OpenPluginStreamDecoder(source, probe.offset, probe.kind);
    }
    return nullptr;
}

bool NetworkStream::pump(StreamDecoder& decoder)
{
    const uint32_t rate = decoder.rate();
    const uint32_t channels = decoder.channels();
    if (rate < kLowestSourceRate || rate > kHighestSourceRate || channels == 0 || channels > 8)
        return false;
    if (rate_.load() == 0) {
        frames_.setShape(channels, static_cast<size_t>(kFrameQueueSeconds * rate),
                         static_cast<size_t>(kWakeSeconds * rate));
        type_ = decoder.typeCode();
        channels_ = channels;
        rate_ = rate;
    } else if (rate != rate_.load() || channels != channels_.load()) {
        // The channel plays at the first connection's format.
        return false;
    }
    std::vector<float> block(kPumpFrames * channels);
    for (;;) {
        const size_t got = decoder.read(block.data(), kPumpFrames);
        if (auto title = decoder.takeTitle())
            setTitle(*title);
        if (got == 0)
            return true;
        if (!frames_.push(block.data(), std::min(got, kPumpFrames)))
            return false;
        pushed_ += got;
    }
}

} // namespace audio
