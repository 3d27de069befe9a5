#include "engine/PlaylistText.h"

#include <cctype>
#include <climits>

namespace {

bool ReadDigits(const std::string& Text, size_t& At, long long& Value) {
    const size_t start = At;
    Value = 0;
    while (At < Text.size() && std::isdigit(static_cast<unsigned char>(Text[At]))) {
        if (Value < LLONG_MAX / 10) Value = Value * 10 + (Text[At] - '0');
        ++At;
    }
    return At > start;
}

} // namespace

EntryTimeAndTitle TimeAndTitleFromDisplay(const std::string& DisplayText) {
    EntryTimeAndTitle result;
    const size_t open = DisplayText.rfind('(');
    if (open == std::string::npos) {
        result.Title = DisplayText;
        return result;
    }
    result.Title = DisplayText.substr(0, open > 0 ? open - 1 : 0);
    size_t at = open + 1;
    long long minutes = 0;
    long long seconds = 0;
    if (ReadDigits(DisplayText, at, minutes) && at < DisplayText.size() && DisplayText[at] == ':' &&
        ReadDigits(DisplayText, ++at, seconds))
        result.Seconds = minutes * 60 + seconds;
    return result;
}

bool ParseSeconds(const std::string& Text, long long& Seconds) {
    size_t at = 0;
    while (at < Text.size() && Text[at] == ' ') ++at;
    const bool negative = at < Text.size() && Text[at] == '-';
    if (at < Text.size() && (Text[at] == '-' || Text[at] == '+')) ++at;
    long long value = 0;
    if (!ReadDigits(Text, at, value)) return false;
    Seconds = negative ? -value : value;
    return true;
}

std::string ReplaceExtension(const std::string& FileName, const std::string& Extension) {
    const size_t slash = FileName.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = FileName.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return FileName + Extension;
    return FileName.substr(0, dot) + Extension;
}

std::string ResolveEntryPath(const std::string& PlaylistFile, const std::string& Entry) {
    if (Entry.empty() || Entry[0] == '/' || Entry.find("://") != std::string::npos) return Entry;
    const size_t slash = PlaylistFile.rfind('/');
    if (slash == std::string::npos) return Entry;
    return PlaylistFile.substr(0, slash + 1) + Entry;
}

std::string SingleLine(std::string Text) {
    for (char& c : Text)
        if (c == '\r' || c == '\n') c = ' ';
    return Text;
}
