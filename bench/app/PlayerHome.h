// Folders the player is started on: its home (NILO_HOME) with the language
// files, and an autosaved playlist of many entries whose files exist.
#pragma once

#include <string>

namespace bench {

// Makes Folder with a copy of the language files in Folder/Lng.
bool MakePlayerHome(const std::string& Folder, const std::string& LanguageFolder);

// Writes Home/current.m3u with Count entries, the files being hard links to
// copies of Wav, one copy for each album folder of 1,000 under MusicFolder.
bool WriteLargePlaylist(const std::string& Home, const std::string& MusicFolder, const std::string& Wav, int Count);

} // namespace bench
