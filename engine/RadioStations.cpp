#include "engine/RadioStations.h"

#include <array>

#include "engine/Tonik_main.h"
#include "platform/CodePage.h"
#include "platform/TextFile.h"

namespace {

// The heading line is read raw, one character shorter than a value line.
constexpr size_t kHeadingLength = platform::kMaxLineLength - 1;

} // namespace

RadioStationList ReadRadioStations(const std::string& File) {
    RadioStationList list;
    std::string whole;
    if (!platform::ReadWholeFile(File, whole)) return list;
    const bool utf8 = platform::IsValidUtf8(whole);
    platform::LineReader reader(File);
    std::string heading;
    // Every line read takes at least one byte of the file, so this ends.
    while (reader.readLine(heading, kHeadingLength)) {
        std::array<std::string, 4> values;
        for (std::string& value : values) {
            if (reader.atEnd()) return list;
            const std::string raw = platform::ReadSettingLine(reader);
            // A line cut at the length limit may end inside a character.
            value = utf8 ? platform::Utf8BeforeBreak(raw) : platform::LegacyToUtf8(raw);
        }
        list.Names.push_back(std::move(values[0]));
        list.URLs.push_back(std::move(values[1]));
        list.Extra.push_back(std::move(values[2]));
        list.Descriptions.push_back(std::move(values[3]));
    }
    return list;
}

void LoadRadioStations(TTonikMain& Tonik) {
    RadioStationList list = ReadRadioStations(Tonik.AppDir + "radiostations.cfg");
    Tonik.RadioNames = std::move(list.Names);
    Tonik.RadioURLs = std::move(list.URLs);
    Tonik.RadioExtra = std::move(list.Extra);
    Tonik.RadioDescriptions = std::move(list.Descriptions);
}
