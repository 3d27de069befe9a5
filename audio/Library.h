// The library's one state: the channel table, the output device, the decode
// thread and the settings. Calls of the program's thread take `lock`; the
// device's thread takes only `mixLock`, which nobody holds across a decode,
// and the decode thread takes `mixLock` only to publish what it decoded.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "ChannelTable.h"
#include "DecodeWorker.h"
#include "OutputDevice.h"
#include "decoders/Decoder.h"

namespace audio {

class Library {
  public:
    static Library& Instance();
    ~Library();

    // Makes a channel of decoder; 0 when decoder is null or unplayable.
    Handle addChannel(std::unique_ptr<Decoder> decoder, ChannelKind kind, uint32_t flags,
                      std::shared_ptr<NetworkStream> stream = nullptr);
    // True once the decode thread has buffered what it keeps ahead of the
    // device for the channel, or all of it up to its end.
    bool buffered(Handle h);

    std::mutex lock;
    std::mutex mixLock;
    // Changed under both locks.
    ChannelTable channels;
    std::map<uint32_t, uint32_t> settings;
    std::atomic<uint64_t> underruns{0};
    // Channel -> the channel that starts when it ends; changed under both locks.
    std::map<Handle, Handle> queued;
    DecodeWorker worker{[this] { return feed(); }};
    // Declared last so that it closes (and SDL's thread leaves mix) before
    // the rest goes.
    OutputDevice device{[this](float* stereo, size_t frames) { mix(stereo, frames); }};

  private:
    Library();
    // Sums every playing channel into stereo; runs on the device's thread.
    void mix(float* stereo, size_t frames);
    // Adds channel's next frames into stereo; at its end, its queued channel
    // carries on in the same block.
    void mixChannel(Handle handle, Channel& channel, float* stereo, size_t frames,
                    Channel::MixOutcome& all);
    // One round of the decode thread over the channels that play, pause or
    // wait queued.
    bool feed();

    std::vector<std::pair<Handle, Channel*>> playing_;
    std::vector<std::shared_ptr<Channel>> feeding_;
};

} // namespace audio
