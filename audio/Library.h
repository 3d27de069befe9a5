// The library's one state: the channel table, the output device and the
// settings, under one lock shared by the calls of the program's thread and
// the mixing on the device's thread.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "ChannelTable.h"
#include "OutputDevice.h"
#include "decoders/Decoder.h"

namespace audio {

class Library {
  public:
    static Library& Instance();

    // Makes a channel of decoder; 0 when decoder is null or unplayable.
    Handle addChannel(std::unique_ptr<Decoder> decoder, ChannelKind kind, uint32_t flags);

    std::mutex lock;
    ChannelTable channels;
    std::map<uint32_t, uint32_t> settings;
    std::atomic<uint64_t> underruns{0};
    // Channel -> the channel that starts when it ends.
    std::map<Handle, Handle> queued;
    // Declared last so that it closes (and SDL's thread leaves mix) before
    // the channels go.
    OutputDevice device{[this](float* stereo, size_t frames) { mix(stereo, frames); }};

  private:
    Library();
    // Sums every playing channel into stereo; runs on the device's thread.
    void mix(float* stereo, size_t frames);
    // Adds channel's next frames into stereo; at its end, its queued channel
    // carries on in the same block.
    void mixChannel(Handle handle, Channel& channel, float* stereo, size_t frames);

    std::vector<std::pair<Handle, Channel*>> playing_;

    std::vector<float> mixBlock_;
};

} // namespace audio
