// One network stream: the download (in the network plugin) fills a byte
// queue, the stream's own thread recognises what the bytes are and decodes
// them into a frame queue, and the channel's decoder takes frames from there
// without ever waiting. A reconnection starts a new segment of the byte
// queue, which gets a decoder of its own.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio/AudioLibrary.h"
#include "audio/network/ByteQueue.h"
#include "audio/network/DownloadPlugin.h"
#include "audio/network/FrameQueue.h"

namespace audio {

class StreamDecoder;
class SegmentSource;

class NetworkStream final : public DownloadSink {
  public:
    // asfOnly: only an ASF stream is taken (the WMA creation call).
    // onFrames runs, on the stream's thread, when frames come that the
    // consumer found missing.
    static std::shared_ptr<NetworkStream> Start(const std::string& address, bool asfOnly,
                                                std::function<void()> onFrames);
    ~NetworkStream() override;
    NetworkStream(const NetworkStream&) = delete;
    NetworkStream& operator=(const NetworkStream&) = delete;

    // 0 until the first frames are decoded.
    uint32_t rate() const { return rate_.load(); }
    uint32_t channels() const { return channels_.load(); }
    uint32_t typeCode() const { return type_.load(); }

    // Consumer side: never waits. Frames of `channels` samples each; none
    // while that is not yet the stream's channel count.
    size_t read(float* out, size_t frames, uint32_t channels)
    {
        return channels != 0 && channels == channels_.load() ? frames_.pop(out, frames) : 0;
    }
    bool drained() const { return frames_.drained(); }

    int bufferedPercent() const;
    StreamStatus status() const;

  private:
    NetworkStream(std::string address, bool asfOnly, std::function<void()> onFrames);

    // DownloadSink, on the download's thread.
    size_t room() override;
    bool wanted() override;
    bool open() override;
    bool eager() override;
    void connected(const StreamResponse& response) override;
    void audio(const uint8_t* bytes, size_t size) override;
    void metadata(std::string_view block) override;
    void reconnecting(int attempt) override;
    void finished(bool failed, const std::string& why) override;

    // The stream's thread.
    void run();
    bool startDownload();
    // The decoder for the segment being read; nullptr when it is nothing
    // this stream can play.
    std::unique_ptr<StreamDecoder> openSegment(const std::shared_ptr<SegmentSource>& source,
                                               const std::string& contentType);
    // Decodes the segment into the frame queue; false when the stream is to
    // end (closed, or a format other than the first connection's).
    bool pump(StreamDecoder& decoder);
    void setTitle(std::string_view raw);
    void fail(const std::string& why);

    const std::string address_;
    const bool asfOnly_;
    ByteQueue bytes_;
    FrameQueue frames_;
    std::atomic<uint32_t> rate_{0};
    std::atomic<uint32_t> channels_{0};
    std::atomic<uint32_t> type_{0};
    std::atomic<uint64_t> pushed_{0};

    mutable std::mutex statusLock_;
    StreamStatus status_;

    std::mutex downloadLock_;
    std::unique_ptr<Download> download_;
    bool closing_ = false;
    std::thread thread_;
};

} // namespace audio
