#include "bench/app/PlayerHome.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace bench {

namespace fs = std::filesystem;

bool MakePlayerHome(const std::string& Folder, const std::string& LanguageFolder) {
    std::error_code error;
    fs::create_directories(Folder + "/Lng", error);
    if (error) return false;
    int copied = 0;
    for (const auto& entry : fs::directory_iterator(LanguageFolder, error)) {
        if (entry.path().extension() != ".lng") continue;
        fs::copy_file(entry.path(), Folder + "/Lng/" + entry.path().filename().string(), error);
        if (error) return false;
        ++copied;
    }
    return copied > 0;
}

bool WriteLargePlaylist(const std::string& Home, const std::string& MusicFolder, const std::string& Wav, int Count) {
    constexpr int kPerAlbum = 1000;
    std::ofstream playlist(Home + "/current.m3u", std::ios::binary | std::ios::trunc);
    playlist << "#EXTM3U\r\n";
    std::string albumFile;
    for (int i = 0; i < Count; ++i) {
        const int album = i / kPerAlbum;
        char folder[64];
        char name[96];
        std::snprintf(folder, sizeof folder, "/Artist %03d - Album %03d", album, album);
        std::snprintf(name, sizeof name, "/%02d. Track title number %06d.wav", i % kPerAlbum % 100, i);
        const std::string path = MusicFolder + folder + name;
        if (i % kPerAlbum == 0) {
            // A file system allows only so many links to one file: each
            // album links to a copy of its own.
            std::error_code error;
            fs::create_directories(MusicFolder + folder, error);
            if (error || !fs::copy_file(Wav, path, error)) return false;
            albumFile = path;
        } else if (::link(albumFile.c_str(), path.c_str()) != 0) {
            return false;
        }
        playlist << "#EXTINF:1,Artist " << album << " - Track title number " << i << "\r\n" << path << "\r\n";
    }
    playlist.close();
    return playlist.good();
}

} // namespace bench
