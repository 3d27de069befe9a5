#include "audio/decoders/SharedSoundFont.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <vector>

namespace audio {
namespace {

constexpr const char* kSystemFontFolder = "/usr/share/sounds/sf2";

std::vector<std::string> SystemFonts()
{
    std::vector<std::string> fonts;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(kSystemFontFolder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->path().extension() == ".sf2")
            fonts.push_back(it->path().string());
    }
    std::sort(fonts.begin(), fonts.end());
    return fonts;
}

void SilenceLibraryLog()
{
    for (int level : {FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, nullptr, nullptr);
}

} // namespace

struct SharedSoundFont::Owner {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    ~Owner()
    {
        if (synth)
            delete_fluid_synth(synth);
        if (settings)
            delete_fluid_settings(settings);
    }
};

SharedSoundFont::~SharedSoundFont() = default;

std::shared_ptr<SharedSoundFont> SharedSoundFont::load(const std::string& path)
{
    std::shared_ptr<SharedSoundFont> shared(new SharedSoundFont);
    shared->owner_ = std::make_unique<Owner>();
    Owner& owner = *shared->owner_;
    owner.settings = new_fluid_settings();
    owner.synth = owner.settings ? new_fluid_synth(owner.settings) : nullptr;
    if (!owner.synth || !fluid_is_soundfont(path.c_str()))
        return nullptr;
    const int id = fluid_synth_sfload(owner.synth, path.c_str(), 0);
    shared->font_ = id == FLUID_FAILED ? nullptr : fluid_synth_get_sfont_by_id(owner.synth, id);
    return shared->font_ ? shared : nullptr;
}

std::shared_ptr<SharedSoundFont> SharedSoundFont::get()
{
    static std::mutex guard;
    // Keyed by path so that a changed NILO_SOUNDFONT is honoured, each font
    // still loaded only once.
    static std::map<std::string, std::shared_ptr<SharedSoundFont>> loaded;
    std::lock_guard<std::mutex> hold(guard);
    static const bool silenced = (SilenceLibraryLog(), true);
    (void)silenced;

    std::vector<std::string> candidates;
    const char* named = std::getenv("NILO_SOUNDFONT");
    if (named && *named)
        candidates.push_back(named);
    else
        candidates = SystemFonts();
    for (const std::string& path : candidates) {
        const auto known = loaded.find(path);
        if (known != loaded.end()) {
            if (known->second)
                return known->second;
            continue;
        }
        auto font = load(path);
        loaded[path] = font;
        if (font)
            return font;
    }
    return nullptr;
}

} // namespace audio
