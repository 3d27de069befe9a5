// Open CD: the drive search and the playlist of the disc's tracks.
#include <cstdlib>

#include "audio/AudioLibrary.h"
#include "engine/CdTracks.h"
#include "engine/Tonik_main.h"

std::string TTonikMain::FindCDDrive() {
    const char* named = std::getenv("NILO_CD_DEVICE");
    std::string drive = named != nullptr ? named : "";
    if (drive.empty()) {
        const std::vector<std::string> drives = audio::cdDrives();
        if (!drives.empty()) drive = drives.front();
    }
    if (drive.empty()) {
        view_.messageBox(Messages[6], Messages[7], 16);
        return "0";
    }
    return drive + "/";
}

// The count is asked of the drive that was found, and a disc of one track
// is an audio CD like any other.
void TTonikMain::OpenCD() {
    const std::string Root = FindCDDrive();
    const int Count = Root == "0" ? -1 : audio::cdTrackCount(Root.substr(0, Root.size() - 1));
    if (Count < 1) {
        view_.messageBox(Messages[4], Messages[5], 16);
        return;
    }
    ClearPlaylist();
    for (int n = 1; n <= Count; ++n) {
        view_.processEvents();
        if (view_.closing()) return;
        const std::string Path = CdTrackPath(Root, n);
        AppendEntry(Path, CdTrackDisplayText(Path));
    }
    PlayCurrent();
}
