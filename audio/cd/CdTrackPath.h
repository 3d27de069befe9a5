// The file name a CD track goes by: the drive (a device or an image), "/",
// "Track", its number in at least two digits, ".cda".
#pragma once

#include <string>

namespace audio {

struct CdTrackPath {
    std::string drive;
    int track = 0;
};

// False when path names no track (the number must be 1..99).
bool ParseCdTrackPath(const std::string& path, CdTrackPath& parsed);

} // namespace audio
