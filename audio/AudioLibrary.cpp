#include "AudioLibrary.h"

#include <SDL_audio.h>

#include "Effect.h"
#include "Library.h"

namespace audio {

namespace {

// Runs fn on the channel under both of the library's locks; none for an
// unknown handle.
template <typename Result, typename Fn> Result WithChannel(Handle h, Result none, Fn&& fn) {
    Library& library = Library::Instance();
    std::lock_guard guard(library.lock);
    std::lock_guard mixGuard(library.mixLock);
    Channel* channel = library.channels.find(h);
    return channel ? fn(*channel) : none;
}

// Frees a channel of the kind wanted; destroyed outside the locks (or by the
// decode thread, if it holds it) so that the device's thread never waits for
// a decoder's clean-up.
bool ReleaseIf(Handle h, bool (*wanted)(ChannelKind)) {
    std::shared_ptr<Channel> released;
    {
        Library& library = Library::Instance();
        std::lock_guard guard(library.lock);
        std::lock_guard mixGuard(library.mixLock);
        Channel* channel = library.channels.find(h);
        if (!channel || !wanted(channel->kind())) return false;
        released = library.channels.take(h);
        library.queued.erase(h);
    }
    return true;
}

} // namespace

void configure(uint32_t option, uint32_t value) {
    Library& library = Library::Instance();
    std::lock_guard guard(library.lock);
    library.settings[option] = value;
}

uint32_t configuration(uint32_t option) {
    Library& library = Library::Instance();
    std::lock_guard guard(library.lock);
    const auto it = library.settings.find(option);
    return it == library.settings.end() ? 0 : it->second;
}

bool openOutput(int device, uint32_t rate, uint32_t flags) {
    if ((rate != 0 && rate != kOutputRate) || (flags & ~kFloatSamples) != 0) return false;
    Library& library = Library::Instance();
    if (!library.device.open(device)) return false;
    library.worker.start();
    return true;
}

void closeOutput() {
    Library& library = Library::Instance();
    library.device.close();
    library.worker.stop();
    std::map<Handle, std::shared_ptr<Channel>> released;
    std::lock_guard guard(library.lock);
    std::lock_guard mixGuard(library.mixLock);
    released = library.channels.takeAll();
    library.queued.clear();
}

void stopOutput() { Library::Instance().device.setPaused(true); }

void startOutput() {
    OutputDevice& device = Library::Instance().device;
    if (device.resume()) device.setPaused(false);
}

void suspendOutput() { Library::Instance().device.suspend(); }

uint64_t underruns() { return Library::Instance().underruns.load(); }

uint32_t probeFloatOutput() {
    // SDL converts 32-bit float to whatever the hardware takes.
    return SDL_AUDIO_ISFLOAT(AUDIO_F32SYS) && SDL_AUDIO_BITSIZE(AUDIO_F32SYS) == 32 ? 1 : 0;
}

bool channelInfo(Handle h, ChannelInfo& info) {
    return WithChannel(h, false, [&](Channel& c) {
        info = c.info();
        return true;
    });
}

ChannelKind channelKind(Handle h) {
    return WithChannel(h, ChannelKind::None, [](Channel& c) { return c.kind(); });
}

bool releaseStream(Handle h) {
    return ReleaseIf(h, [](ChannelKind kind) { return kind != ChannelKind::Module; });
}

bool releaseModule(Handle h) {
    return ReleaseIf(h, [](ChannelKind kind) { return kind == ChannelKind::Module; });
}

uint64_t lengthBytes(Handle h) {
    return WithChannel(h, uint64_t{0}, [](Channel& c) { return c.lengthBytes(); });
}

uint64_t positionBytes(Handle h) {
    return WithChannel(h, uint64_t{0}, [](Channel& c) { return c.positionBytes(); });
}

double bytesToSeconds(Handle h, uint64_t bytes) {
    return WithChannel(h, 0.0, [&](Channel& c) { return c.bytesToSeconds(bytes); });
}

bool seekBytes(Handle h, uint64_t position) {
    const bool done = WithChannel(h, false, [&](Channel& c) { return c.seekBytes(position); });
    if (done) Library::Instance().worker.wake();
    return done;
}

int activity(Handle h) {
    return WithChannel(h, kStopped, [](Channel& c) { return c.activity(); });
}

bool play(Handle h, bool restart) {
    Library& library = Library::Instance();
    if (!library.device.resume()) return false;
    const bool done = WithChannel(h, false, [&](Channel& c) { return c.play(restart); });
    if (done) library.worker.wake();
    return done;
}

bool pause(Handle h) {
    return WithChannel(h, false, [](Channel& c) { return c.pause(); });
}

bool stop(Handle h) {
    return WithChannel(h, false, [](Channel& c) {
        c.stop();
        return true;
    });
}

bool queueNext(Handle current, Handle next) {
    Library& library = Library::Instance();
    {
        std::lock_guard guard(library.lock);
        std::lock_guard mixGuard(library.mixLock);
        if (!library.channels.find(current)) return false;
        if (next == 0) {
            library.queued.erase(current);
            return true;
        }
        const Channel* following = library.channels.find(next);
        if (!following || following->playing() || following->measureOnly() || next == current)
            return false;
        library.queued[current] = next;
    }
    library.worker.wake();
    return true;
}

bool setAttributes(Handle h, int rate, int volume, int pan) {
    const bool done = WithChannel(h, false, [&](Channel& c) { return c.setAttributes(rate, volume, pan); });
    if (done && rate != -1) Library::Instance().worker.wake();
    return done;
}

bool readAttributes(Handle h, uint32_t* rate, int* volume, int* pan) {
    return WithChannel(h, false, [&](Channel& c) {
        if (rate) *rate = c.playbackRate();
        if (volume) *volume = c.volume();
        if (pan) *pan = c.pan();
        return true;
    });
}

size_t renderOutput(Handle h, float* stereo, size_t frames) {
    Library& library = Library::Instance();
    std::lock_guard guard(library.lock);
    Channel* channel = library.channels.find(h);
    if (!channel || channel->measureOnly()) return 0;
    const size_t got = channel->render(stereo, frames, library.mixLock);
    library.worker.wake();
    return got;
}

bool editChannelEffects(
    Handle h, const std::function<void(std::vector<EffectSlot>& effects, uint32_t rate,
                                       uint32_t channels)>& fn) {
    Library& library = Library::Instance();
    {
        std::lock_guard guard(library.lock);
        Channel* channel = library.channels.find(h);
        if (!channel) return false;
        channel->editEffects(fn, library.mixLock);
    }
    library.worker.wake();
    return true;
}

} // namespace audio
