// Adding, removing and clearing playlist entries, and the folder scan.
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/CdTracks.h"
#include "engine/SupportedFiles.h"
#include "engine/TagTitle.h"
#include "engine/Tonik_main.h"

namespace {

bool EndsWith(const std::string& Text, const std::string& Suffix) {
    return Text.size() >= Suffix.size() && Text.compare(Text.size() - Suffix.size(), Suffix.size(), Suffix) == 0;
}

// A folder opens on Linux but is no entry to play; a CD track is there
// while its disc is.
bool OpensAsFile(const std::string& Path) {
    const int fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return CdTrackNumber(Path) > 0 && CdTrackPresent(Path);
    struct stat st {};
    const bool file = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    ::close(fd);
    return file;
}

} // namespace

void TTonikMain::AppendEntry(std::string Path, const std::string& DisplayText) {
    Paths.push_back(std::move(Path));
    view_.appendRow(DisplayText);
}

std::string TTonikMain::LocalDisplayText(const std::string& Path) {
    const TTagNames tags = ReadTitleTags(Path, false, 0);
    return (tags.Artist.empty() ? "" : tags.Artist + " - ") + tags.Title + "  (" + tags.Duration + ")";
}

void TTonikMain::AddEntry(const std::string& Path) {
    if (IsNetworkEntry(Path))
        AppendEntry(Path, StationName.empty() ? Path : StationName);
    else
        AppendEntry(Path, LocalDisplayText(Path));
    SaveM3U("");
}

int TTonikMain::AddFromDialog(int Mode) {
    std::vector<std::string> names;
    if (!view_.openFilesDialog(names)) return 1;
    if (Mode == 1) {
        ClearPlaylist();
        CurrentIndex = 0;
    }
    for (const std::string& name : names) {
        view_.processEvents();
        const bool m3u = EndsWith(name, "m3u");
        if (m3u || EndsWith(name, "pls")) {
            ClearPlaylist();
            if (m3u)
                LoadM3U(name);
            else
                LoadPLS(name);
            RemoveMissing();
            return 0;
        }
        AppendEntry(name, LocalDisplayText(name));
    }
    PaintPlayList();
    SaveM3U("");
    return 0;
}

void TTonikMain::RemoveSelected() {
    const int top = view_.topRow();
    const int selected = view_.selectedRow();
    if (selected >= 0 && selected < static_cast<int>(Paths.size())) {
        Paths.erase(Paths.begin() + selected);
        view_.removeRow(selected);
    }
    if (selected > 0)
        view_.setSelectedRow(selected - 1);
    else if (selected == 0 && !Paths.empty())
        view_.setSelectedRow(0);
    if (top != 0) view_.setTopRow(top - 1);
    SaveM3U("");
    UpdatePreparedNext();
}

void TTonikMain::ClearPlaylist() {
    Paths.clear();
    view_.clearRows();
    SaveM3U("");
    UpdatePreparedNext();
}

void TTonikMain::RemoveMissing() {
    RemoveEntries(FindMissing(Paths));
}

std::vector<bool> TTonikMain::FindMissing(const std::vector<std::string>& Paths) {
    std::vector<bool> missing(Paths.size());
    for (size_t i = 0; i < Paths.size(); ++i) missing[i] = IsNetworkEntry(Paths[i]) || !OpensAsFile(Paths[i]);
    return missing;
}

void TTonikMain::RemoveEntries(const std::vector<bool>& Missing) {
    if (std::find(Missing.begin(), Missing.end(), true) == Missing.end()) return;
    std::vector<std::string> keptPaths;
    std::vector<std::string> keptTexts;
    for (size_t i = 0; i < Paths.size(); ++i) {
        if (i < Missing.size() && Missing[i]) continue;
        keptPaths.push_back(std::move(Paths[i]));
        keptTexts.push_back(view_.rowText(static_cast<int>(i)));
    }
    Paths.clear();
    view_.clearRows();
    for (size_t i = 0; i < keptPaths.size(); ++i) AppendEntry(keptPaths[i], keptTexts[i]);
    UpdatePreparedNext();
}

std::string TTonikMain::BrowseFolder() {
    return view_.chooseFolder(Messages[11]);
}

void TTonikMain::AddFolderCommand() {
    std::string folder = BrowseFolder();
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.empty()) return;
    view_.showProgressBox();
    ScanCancelled = false;
    ScanAdded = 0;
    ScanFound = 0;
    FolderFiles.clear();
    if (!ScanFolder(folder)) return;
    AddScannedFiles();
    PaintPlayList();
    SaveM3U("");
    PlayCurrent();
}

bool TTonikMain::ScanFolder(const std::string& Folder) {
    VisitedFolders visited;
    return ScanFolderTree(Folder, visited);
}

bool TTonikMain::ScanFolderTree(const std::string& Folder, VisitedFolders& Visited) {
    if (ScanCancelled) return false;
    struct stat folderStat {};
    // Linked folders are followed, but each folder only once: a link loop ends.
    if (::stat(Folder.c_str(), &folderStat) != 0 || !Visited.insert({folderStat.st_dev, folderStat.st_ino}).second)
        return true;
    DIR* dir = ::opendir(Folder.c_str());
    if (!dir) return true;
    const std::string prefix = Folder.back() == '/' ? Folder : Folder + "/";
    bool goOn = true;
    while (goOn) {
        const dirent* item = ::readdir(dir);
        if (!item) break;
        const std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = prefix + name;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            goOn = ScanFolderTree(path, Visited);
        } else if (S_ISREG(st.st_mode) && HasSupportedExtension(name)) {
            view_.processEvents();
            FolderFiles.push_back(path);
            ++ScanFound;
        }
    }
    ::closedir(dir);
    return goOn;
}

void TTonikMain::AddScannedFiles() {
    for (int i = 0; i < ScanFound && !ScanCancelled; ++i) {
        view_.processEvents();
        // Commands run during the events may have replaced the scan's list.
        if (i >= static_cast<int>(FolderFiles.size())) break;
        const std::string path = FolderFiles[i];
        AppendEntry(path, LocalDisplayText(path));
        ++ScanAdded;
    }
    SaveM3U("");
}
