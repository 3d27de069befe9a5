// config.cfg: 26 lines read by position (keys are written but not looked at)
// and rewritten whole after every change of a setting.
#include <algorithm>
#include <array>
#include <charconv>
#include <functional>
#include <optional>

#include <QCheckBox>

#include "app/Tonik_mainform.h"
#include "app/TrackBar.h"
#include "platform/TextFile.h"

namespace {

constexpr std::array<const char*, 26> kKeys = {
    "[Main]",      "Volume=",   "Loop=",       "Shuffle=",      "Mute=",   "Pan=",          "EQEnable=",
    "Band1=",      "Band2=",    "Band3=",      "Band4=",        "Band5=",  "Band6=",        "Band7=",
    "Band8=",      "SaveTags=", "Normalize=",  "Amp.level=",    "Reverb=", "SignalLevel=",  "Delay=",
    "RadioStation=", "Language=", "[View]",    "ShowPlayList=", "ShowEqualizer="};
constexpr size_t kLanguageLine = 22; // from 0

std::string Flag(bool Value) {
    return Value ? "1" : "0";
}

// A decimal integer, with leading blanks and a sign allowed.
std::optional<int32_t> DecimalInteger(const std::string& Text) {
    const char* first = Text.data();
    const char* last = Text.data() + Text.size();
    while (first != last && (*first == ' ' || *first == '\t')) ++first;
    if (first != last && *first == '+') ++first;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last) return std::nullopt;
    return value;
}

} // namespace

std::string TForm1::ConfigText() const {
    const TTonikMain& t = *Tonik;
    std::vector<std::string> values = {"", std::to_string(t.Volume), Flag(t.Loop), Flag(t.Shuffle), Flag(t.Mute),
                                       std::to_string(t.Pan), Flag(EQEnable->isChecked())};
    for (const TrackBar* band : Bands) values.push_back(std::to_string(band->value()));
    for (const std::string& value :
         {Flag(t.SaveTags), Flag(t.Normalize), std::to_string(t.AmpLevelSetting), Flag(t.Reverb),
          std::to_string(t.SignalLevel), std::to_string(t.DelaySetting), std::to_string(t.RadioStation), t.Language,
          std::string(), Flag(t.ShowPlayList), Flag(t.ShowEqualizer)})
        values.push_back(value);

    std::vector<std::string> lines;
    for (size_t i = 0; i < kKeys.size(); ++i) lines.push_back(kKeys[i] + values[i]);
    return platform::JoinCrLf(lines);
}

void TForm1::LoadConfig() {
    TTonikMain& t = *Tonik;
    using Store = std::function<void(int32_t)>;
    // Per line: the default when the file has no usable value (null: the
    // control keeps its state), and where the value goes.
    struct Setting {
        std::optional<int32_t> Default;
        Store Apply;
    };
    std::vector<Setting> settings = {
        {100, [&](int32_t v) { t.Volume = std::clamp(v, 0, 100); setVolume->setValue(t.Volume); }},
        {1, [&](int32_t v) { t.Loop = v != 0; setLoop->setChecked(t.Loop); }},
        {0, [&](int32_t v) { t.Shuffle = v != 0; setShuffle->setChecked(t.Shuffle); }},
        {0, [&](int32_t v) { t.Mute = v != 0; t.ApplyMute(); }},
        {0, [&](int32_t v) { t.Pan = std::clamp(v, -1, 1); setPan->setValue(t.Pan + 1); }},
        {std::nullopt, [&](int32_t v) { EQEnable->setChecked(v != 0); }},
    };
    for (TrackBar* band : Bands) settings.push_back({5, [band](int32_t v) { band->setValue(v); }});
    auto flag = [](bool& Field) { return [&Field](int32_t v) { Field = v != 0; }; };
    auto number = [](int32_t& Field) { return [&Field](int32_t v) { Field = v; }; };
    settings.push_back({1, flag(t.SaveTags)});
    settings.push_back({0, flag(t.Normalize)});
    settings.push_back({10, number(t.AmpLevelSetting)});
    settings.push_back({0, flag(t.Reverb)});
    settings.push_back({45, number(t.SignalLevel)});
    settings.push_back({8500, number(t.DelaySetting)});
    settings.push_back({0, number(t.RadioStation)});

    platform::LineReader reader(t.AppDir + "config.cfg");
    std::string skipped;
    // Past the end, or after a value that is not a number, defaults apply.
    bool reading = reader.isOpen() && reader.readLine(skipped);
    auto next = [&]() -> std::optional<std::string> {
        if (!reading || reader.atEnd()) {
            reading = false;
            return std::nullopt;
        }
        return platform::ReadSettingLine(reader);
    };
    auto apply = [&](const Setting& Line) {
        std::optional<int32_t> value;
        if (const auto text = next()) value = DecimalInteger(*text);
        if (!value) reading = false;
        if (!value) value = Line.Default;
        if (value) Line.Apply(*value);
    };

    for (size_t line = 1; line < kLanguageLine; ++line) apply(settings[line - 1]);
    const auto language = next();
    t.Language = language ? *language : "Russian.lng";
    next(); // "[View]"
    apply({1, flag(t.ShowPlayList)});
    apply({1, flag(t.ShowEqualizer)});
    UpdateLayout();
}
