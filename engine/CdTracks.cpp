#include "engine/CdTracks.h"

#include <cctype>

#include "audio/AudioLibrary.h"
#include "engine/Tonik_utilfunc.h"
#include "tags/TagAccess.h"

std::string CdTrackPath(const std::string& Root, int Number) {
    return Root + (Number < 10 ? "Track0" : "Track") + std::to_string(Number) + ".cda";
}

int CdTrackNumber(const std::string& Path) {
    const size_t slash = Path.rfind('/');
    if (slash == std::string::npos || slash == 0) return 0;
    const std::string name = Path.substr(slash + 1);
    constexpr size_t kPrefix = 5, kSuffix = 4; // "Track", ".cda"
    if (name.size() < kPrefix + 2 + kSuffix || name.compare(0, kPrefix, "Track") != 0 ||
        name.compare(name.size() - kSuffix, kSuffix, ".cda") != 0)
        return 0;
    const std::string digits = name.substr(kPrefix, name.size() - kPrefix - kSuffix);
    if (digits.size() > 3) return 0;
    int number = 0;
    for (const char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
        number = number * 10 + (c - '0');
    }
    return number;
}

std::string CdTrackDrive(const std::string& Path) { return Path.substr(0, Path.rfind('/')); }

bool CdTrackPresent(const std::string& Path) {
    const int number = CdTrackNumber(Path);
    return number > 0 && number <= audio::cdTrackCount(CdTrackDrive(Path));
}

std::string CdTrackDisplayText(const std::string& Path) {
    std::string text = TitleFromFileName(Path);
    audio::CdTrackText disc;
    if (audio::cdTrackText(Path, disc))
        text = (disc.performer.empty() ? "" : disc.performer + " - ") + (disc.title.empty() ? text : disc.title);
    return text + " (" + FileDurationText(Path) + ")";
}
