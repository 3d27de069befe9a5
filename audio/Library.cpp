#include "Library.h"

#include <algorithm>

namespace audio {

namespace {
constexpr size_t kMixBlockFrames = 1024;
}

Library& Library::Instance() {
    static Library library;
    return library;
}

Library::Library() : mixBlock_(2 * kMixBlockFrames) {}

Handle Library::addChannel(std::unique_ptr<Decoder> decoder, ChannelKind kind, uint32_t flags) {
    std::unique_ptr<Channel> channel = Channel::Create(std::move(decoder), kind, flags);
    if (!channel) return 0;
    std::lock_guard guard(lock);
    return channels.insert(std::move(channel));
}

void Library::mix(float* stereo, size_t frames) {
    std::fill(stereo, stereo + 2 * frames, 0.0f);
    std::lock_guard guard(lock);
    // Taken first, so that a channel started by a hand-over is mixed once.
    playing_.clear();
    channels.forEach([&](Handle handle, Channel& channel) {
        if (channel.playing()) playing_.emplace_back(handle, &channel);
    });
    for (const auto& [handle, channel] : playing_) mixChannel(handle, *channel, stereo, frames);
}

void Library::mixChannel(Handle handle, Channel& channel, float* stereo, size_t frames) {
    size_t done = 0;
    while (done < frames && channel.playing()) {
        const size_t block = std::min(frames - done, kMixBlockFrames);
        const size_t got = channel.pull(mixBlock_.data(), block);
        float* out = stereo + 2 * done;
        for (size_t i = 0; i < 2 * got; ++i) out[i] += mixBlock_[i];
        done += got;
    }
    if (done == frames || channel.playing()) return;
    const auto it = queued.find(handle);
    if (it == queued.end()) return;
    Channel* next = channels.find(it->second);
    const Handle nextHandle = it->second;
    queued.erase(it);
    if (next && !next->playing() && next->play(false))
        mixChannel(nextHandle, *next, stereo + 2 * done, frames - done);
}

} // namespace audio
