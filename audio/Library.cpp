#include "Library.h"

#include <malloc.h>

#include <algorithm>

namespace audio {

Library& Library::Instance() {
    static Library library;
    return library;
}

Library::Library() {
    playing_.reserve(16);
    // Decoders allocate their buffers at each open, FFmpeg's a megabyte or
    // more. Freed, that memory stays in the heap for the next file instead of
    // going back to the system and faulting in again page by page, which made
    // reading a folder's lengths two to six times slower depending on where
    // the heap's top happened to be.
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 8 << 20);
}

Library::~Library() {
    device.close();
    worker.stop();
}

Handle Library::addChannel(std::unique_ptr<Decoder> decoder, ChannelKind kind, uint32_t flags,
                           std::shared_ptr<NetworkStream> stream) {
    std::shared_ptr<Channel> channel = Channel::Create(std::move(decoder), kind, flags, std::move(stream));
    if (!channel) return 0;
    std::lock_guard guard(lock);
    std::lock_guard mixGuard(mixLock);
    return channels.insert(std::move(channel));
}

bool Library::buffered(Handle h) {
    std::lock_guard guard(lock);
    std::lock_guard mixGuard(mixLock);
    const Channel* channel = channels.find(h);
    return channel && channel->buffered();
}

void Library::mix(float* stereo, size_t frames) {
    std::fill(stereo, stereo + 2 * frames, 0.0f);
    Channel::MixOutcome all;
    {
        std::lock_guard guard(mixLock);
        // Taken first, so that a channel started by a hand-over is mixed once.
        playing_.clear();
        channels.forEach([&](Handle handle, Channel& channel) {
            if (channel.playing()) playing_.emplace_back(handle, &channel);
        });
        for (const auto& [handle, channel] : playing_) mixChannel(handle, *channel, stereo, frames, all);
    }
    if (all.starved) underruns.fetch_add(1, std::memory_order_relaxed);
    if (all.wantsFill) worker.wake();
}

void Library::mixChannel(Handle handle, Channel& channel, float* stereo, size_t frames,
                         Channel::MixOutcome& all) {
    Channel::MixOutcome outcome;
    const size_t done = channel.mixInto(stereo, frames, outcome);
    all.wantsFill = all.wantsFill || outcome.wantsFill;
    if (!outcome.ended) {
        all.starved = all.starved || outcome.starved;
        return;
    }
    const auto it = queued.find(handle);
    if (it == queued.end()) return;
    const Handle nextHandle = it->second;
    queued.erase(it);
    Channel* next = channels.find(nextHandle);
    if (next && !next->playing() && next->play(false))
        mixChannel(nextHandle, *next, stereo + 2 * done, frames - done, all);
}

bool Library::feed() {
    {
        std::lock_guard guard(mixLock);
        channels.forEach([&](Handle handle, const Channel& channel) {
            const bool next = std::any_of(queued.begin(), queued.end(),
                                          [&](const auto& link) { return link.second == handle; });
            if (channel.wantsFeeding() || next) feeding_.push_back(channels.share(handle));
        });
    }
    bool worked = false;
    for (const std::shared_ptr<Channel>& channel : feeding_) worked = channel->fill(mixLock) || worked;
    // A channel released meanwhile goes here, on this thread.
    feeding_.clear();
    return worked;
}

} // namespace audio
