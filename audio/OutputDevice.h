// The SDL output device: 44100 Hz stereo float, pulled by SDL's own thread
// through a mixing function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace audio {

class OutputDevice {
  public:
    // Fills stereo with frames frames; runs on SDL's audio thread.
    using MixFunction = std::function<void(float* stereo, size_t frames)>;

    explicit OutputDevice(MixFunction mix) : mix_(std::move(mix)) {}
    ~OutputDevice() { close(); }
    OutputDevice(const OutputDevice&) = delete;
    OutputDevice& operator=(const OutputDevice&) = delete;

    // device -1 is SDL's default. Opens started; false when SDL cannot open it.
    bool open(int device);
    // Waits for the audio thread to leave the mixing function.
    void close();
    // Open, or suspended and ready to open again.
    bool isOpen() const { return device_ != 0 || suspended_; }
    void setPaused(bool paused);
    // Gives the device back to the system while nothing plays: even paused,
    // SDL's thread wakes dozens of times a second. resume() opens it again
    // (started) and is false when that fails.
    void suspend();
    bool resume();

  private:
    static void Callback(void* self, uint8_t* stream, int length);

    bool openDevice();

    MixFunction mix_;
    uint32_t device_ = 0;
    int index_ = -1;
    bool suspended_ = false;
};

} // namespace audio
