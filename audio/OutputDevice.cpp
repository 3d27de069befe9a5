#include "OutputDevice.h"

#include <SDL.h>

#include "AudioLibrary.h"

namespace audio {

bool OutputDevice::open(int device) {
    if (device_ != 0) return true;
    if (suspended_) return resume();
    bool opened = false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        index_ = device;
        opened = openDevice();
        if (!opened) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    // The device may be opened on a thread of its own while the program
    // starts; SDL keeps per-thread data that a thread it did not make must free.
    SDL_TLSCleanup();
    return opened;
}

bool OutputDevice::openDevice() {
    const char* name = nullptr;
    if (index_ >= 0) {
        name = SDL_GetAudioDeviceName(index_, 0);
        if (!name) return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(kOutputRate);
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = &OutputDevice::Callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to whatever the hardware takes.
    device_ = SDL_OpenAudioDevice(name, 0, &wanted, &obtained, 0);
    if (device_ == 0) return false;
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void OutputDevice::close() {
    if (device_ == 0 && !suspended_) return;
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
    suspended_ = false;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void OutputDevice::suspend() {
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    suspended_ = true;
}

bool OutputDevice::resume() {
    if (!suspended_) return device_ != 0;
    if (!openDevice()) return false;
    suspended_ = false;
    return true;
}

void OutputDevice::setPaused(bool paused) {
    if (device_ != 0) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

void OutputDevice::Callback(void* self, uint8_t* stream, int length) {
    const size_t frames = static_cast<size_t>(length) / (2 * sizeof(float));
    static_cast<OutputDevice*>(self)->mix_(reinterpret_cast<float*>(stream), frames);
}

} // namespace audio
