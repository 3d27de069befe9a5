// The text rules shared by the playlist files: the seconds and title taken
// back out of a display text, numbers read from a file, and file names.
#pragma once

#include <string>

struct EntryTimeAndTitle {
    long long Seconds = 0;
    std::string Title;
};

// Display text "title (mm:ss)": the title is the text before the space in
// front of the last "(", the seconds come from the minutes and seconds in
// the parentheses (0 when there are none).
EntryTimeAndTitle TimeAndTitleFromDisplay(const std::string& DisplayText);

// A whole number of seconds at the start of Text (spaces and a sign allowed,
// any fraction dropped); false when Text does not start with one.
bool ParseSeconds(const std::string& Text, long long& Seconds);

// The file name with its extension (from the last "." of the name part)
// replaced by Extension, or Extension appended.
std::string ReplaceExtension(const std::string& FileName, const std::string& Extension);

// An entry path read from a playlist file: addresses and absolute paths as
// they are, relative paths taken from the playlist's folder.
std::string ResolveEntryPath(const std::string& PlaylistFile, const std::string& Entry);

// A title written into one line: line ends become spaces.
std::string SingleLine(std::string Text);
