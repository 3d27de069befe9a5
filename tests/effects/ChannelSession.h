// Real channels of the audio library on WAV files written for one test; all
// of them, and the folder, go when the session ends.
#pragma once

#include <string>
#include <vector>

#include "audio/AudioLibrary.h"

namespace effects_test {

class ChannelSession {
  public:
    ChannelSession();
    ~ChannelSession();
    ChannelSession(const ChannelSession&) = delete;
    ChannelSession& operator=(const ChannelSession&) = delete;

    // Writes a float WAV of the interleaved samples and returns its path.
    std::string WriteWav(uint32_t rate, uint32_t channels, const std::vector<float>& samples);
    std::string WriteWav16(uint32_t rate, uint32_t channels, const std::vector<float>& samples);
    // A channel on the file (0 when the library refuses it).
    audio::Handle Open(const std::string& path);
    audio::Handle OpenSamples(uint32_t rate, uint32_t channels, const std::vector<float>& samples);
    // What the channel would send to the device: 44.1 kHz stereo.
    std::vector<float> Render(audio::Handle h, size_t frames);

  private:
    std::string dir_;
    int files_ = 0;
    std::vector<audio::Handle> handles_;
};

} // namespace effects_test
