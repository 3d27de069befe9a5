// M3U and PLS playlists and the autosave "current.m3u".
#include <algorithm>
#include <cctype>
#include <map>

#include "engine/PlaylistText.h"
#include "engine/Tonik_main.h"
#include "platform/TextFile.h"
#include "tags/TagAccess.h"

namespace {

constexpr const char* kExtInf = "#EXTINF:";

void StripByteOrderMark(std::string& Line) {
    if (Line.compare(0, 3, "\xEF\xBB\xBF") == 0) Line.erase(0, 3);
}

std::string Lower(std::string Text) {
    std::transform(Text.begin(), Text.end(), Text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return Text;
}

bool IsBlank(const std::string& Line) {
    return std::all_of(Line.begin(), Line.end(), [](unsigned char c) { return std::isspace(c); });
}

// Streams have no length: they are written as -1 with their display text.
EntryTimeAndTitle EntryForFile(const std::string& Path, const std::string& DisplayText) {
    EntryTimeAndTitle entry;
    if (IsNetworkEntry(Path)) {
        entry.Seconds = -1;
        entry.Title = DisplayText;
    } else {
        entry = TimeAndTitleFromDisplay(DisplayText);
    }
    entry.Title = SingleLine(entry.Title);
    return entry;
}

struct PlsEntry {
    std::string File;
    std::string Title;
    long long Seconds = 0;
    bool HasFile = false;
    bool HasTitle = false;
    bool HasLength = false;
};

} // namespace

std::string LoadedEntryText(const std::string& Path, const std::string& Title, long long Seconds) {
    // A stream, or a foreign file's unknown length: no duration to show.
    if (Seconds < 0 && IsNetworkEntry(Path)) return Title.empty() ? Path : Title;
    std::string text;
    text.reserve(Title.size() + 12);
    text += Title;
    text += " (";
    text += FormatTime(static_cast<uint32_t>(std::clamp<long long>(Seconds, 0, UINT32_MAX)));
    text += ')';
    return text;
}

void TTonikMain::AddLoadedEntry(std::string Path, const std::string& Title, long long Seconds) {
    std::string text = LoadedEntryText(Path, Title, Seconds);
    AppendEntry(std::move(Path), text);
}

void TTonikMain::AppendLoaded(LoadedEntries Entries) {
    for (size_t i = 0; i < Entries.Paths.size(); ++i) AppendEntry(std::move(Entries.Paths[i]), Entries.Texts[i]);
}

void TTonikMain::SaveM3U(const std::string& FileName) {
    const size_t count = std::min<size_t>(Paths.size(), static_cast<size_t>(view_.rowCount()));
    if (count == 0 || (count == 1 && FileName.empty() && IsNetworkEntry(Paths[0]))) {
        PlaylistWriter.Remove(AutosaveFile());
        return;
    }
    std::vector<std::string> lines{"#EXTM3U"};
    for (size_t i = 0; i < count; ++i) {
        const EntryTimeAndTitle entry = EntryForFile(Paths[i], view_.rowText(static_cast<int>(i)));
        lines.push_back(kExtInf + std::to_string(entry.Seconds) + "," + entry.Title);
        lines.push_back(Paths[i]);
    }
    PlaylistWriter.Write(FileName.empty() ? AutosaveFile() : ReplaceExtension(FileName, ".m3u"),
                         platform::JoinCrLf(lines));
}

void TTonikMain::SavePLS(const std::string& FileName) {
    const size_t count = std::min<size_t>(Paths.size(), static_cast<size_t>(view_.rowCount()));
    if (count == 0 || FileName.empty()) return;
    std::vector<std::string> lines{"[playlist]"};
    for (size_t i = 0; i < count; ++i) {
        const std::string n = std::to_string(i + 1);
        const EntryTimeAndTitle entry = EntryForFile(Paths[i], view_.rowText(static_cast<int>(i)));
        lines.push_back("File" + n + "=" + Paths[i]);
        lines.push_back("Title" + n + "=" + entry.Title);
        lines.push_back("Length" + n + "=" + std::to_string(entry.Seconds));
    }
    lines.push_back("NumberOfEntries=" + std::to_string(count));
    PlaylistWriter.Write(ReplaceExtension(FileName, ".pls"), platform::JoinCrLf(lines));
}

LoadedEntries ReadM3U(const std::string& File) {
    LoadedEntries entries;
    platform::LineReader reader(File);
    if (!reader.isOpen()) return entries;
    auto add = [&](std::string Path, const std::string& Title, long long Seconds) {
        entries.Texts.push_back(LoadedEntryText(Path, Title, Seconds));
        entries.Paths.push_back(std::move(Path));
    };
    std::string line;
    bool first = true;
    bool haveInfo = false;
    long long seconds = 0;
    std::string title;
    while (reader.readLine(line)) {
        if (first) {
            first = false;
            StripByteOrderMark(line);
            if (line == "#EXTM3U") continue;
        }
        if (IsBlank(line)) continue;
        if (line.compare(0, 8, kExtInf) == 0) {
            const size_t comma = line.find(',', 8);
            // A length that is no number ends the reading, keeping what came before.
            if (!ParseSeconds(line.substr(8, comma == std::string::npos ? std::string::npos : comma - 8), seconds))
                return entries;
            if (comma == std::string::npos)
                title.clear();
            else
                title.assign(line, comma + 1);
            haveInfo = comma != std::string::npos;
            continue;
        }
        if (line[0] == '#') continue;
        std::string path = ResolveEntryPath(File, line);
        if (haveInfo) {
            add(std::move(path), title, seconds);
        } else {
            const std::string fileTitle = TitleFromFileName(path);
            const long long length = IsNetworkEntry(path) ? -1 : seconds;
            add(std::move(path), fileTitle, length);
        }
        haveInfo = false;
        seconds = 0;
    }
    return entries;
}

void TTonikMain::LoadM3U(const std::string& FileName) {
    AppendLoaded(ReadM3U(FileName.empty() ? AutosaveFile() : FileName));
}

// Reads entries by their FileN, TitleN and LengthN keys in the order of N.
void TTonikMain::LoadPLS(const std::string& FileName) {
    if (FileName.empty()) return;
    platform::LineReader reader(FileName);
    if (!reader.isOpen()) return;
    std::string line;
    if (!reader.readLine(line)) return;
    StripByteOrderMark(line);
    if (Lower(line) != "[playlist]") return;

    std::map<long long, PlsEntry> entries;
    while (reader.readLine(line)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = Lower(line.substr(0, equals));
        const std::string value = line.substr(equals + 1);
        for (const char* field : {"file", "title", "length"}) {
            const size_t fieldLength = std::char_traits<char>::length(field);
            if (key.compare(0, fieldLength, field) != 0) continue;
            long long number = 0;
            const std::string digits = key.substr(fieldLength);
            if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }) ||
                !ParseSeconds(digits, number))
                break;
            PlsEntry& entry = entries[number];
            if (field[0] == 'f') {
                entry.File = value;
                entry.HasFile = true;
            } else if (field[0] == 't') {
                entry.Title = value;
                entry.HasTitle = true;
            } else {
                entry.HasLength = ParseSeconds(value, entry.Seconds);
            }
            break;
        }
    }
    for (const auto& [number, entry] : entries) {
        if (!entry.HasFile || entry.File.empty()) continue;
        const std::string path = ResolveEntryPath(FileName, entry.File);
        const bool stream = IsNetworkEntry(path);
        const std::string title = entry.HasTitle ? entry.Title : stream ? path : TitleFromFileName(path);
        AddLoadedEntry(path, title, entry.HasLength ? entry.Seconds : stream ? -1 : 0);
    }
}
