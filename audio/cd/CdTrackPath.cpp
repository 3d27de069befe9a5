#include "audio/cd/CdTrackPath.h"

namespace audio {

bool ParseCdTrackPath(const std::string& path, CdTrackPath& parsed)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return false;
    const std::string name = path.substr(slash + 1);
    const std::string prefix = "Track", suffix = ".cda";
    if (name.size() < prefix.size() + 2 + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    int number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + (c - '0');
        // A disc has at most 99 tracks; more digits are leading zeros only.
        if (number > 99)
            return false;
    }
    if (number < 1)
        return false;
    parsed.drive = path.substr(0, slash);
    parsed.track = number;
    return true;
}

} // namespace audio
