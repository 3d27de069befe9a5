// The General MIDI SoundFont, loaded once per process and lent to every MIDI
// decoder's synthesizer. The synthesizers touch the font's shared state
// (sample reference counts) while they play, so all of them work under the
// font's one lock.
#pragma once

#include <memory>
#include <mutex>
#include <string>

typedef struct _fluid_sfont_t fluid_sfont_t;

namespace audio {

class SharedSoundFont {
  public:
    // The font named by NILO_SOUNDFONT when it is set, else the first .sf2
    // under /usr/share/sounds/sf2; nullptr when none loads.
    static std::shared_ptr<SharedSoundFont> get();
    ~SharedSoundFont();
    SharedSoundFont(const SharedSoundFont&) = delete;
    SharedSoundFont& operator=(const SharedSoundFont&) = delete;

    fluid_sfont_t* font() const { return font_; }
    std::mutex& lock() { return lock_; }

  private:
    SharedSoundFont() = default;
    static std::shared_ptr<SharedSoundFont> load(const std::string& path);

    struct Owner;
    std::unique_ptr<Owner> owner_; // the synthesizer that loaded the font
    fluid_sfont_t* font_ = nullptr;
    std::mutex lock_;
};

} // namespace audio
