// Line-oriented text files: the settings/playlist line reader and an atomic
// CR LF writer.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// Longest line the settings and playlist readers take; the rest of a longer
// line is skipped so that positional formats stay aligned.
constexpr size_t kMaxLineLength = 255;

// Reads lines ended by LF or CR LF (a lone last line without an end counts).
class LineReader {
  public:
    explicit LineReader(const std::string& path);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    // False at the end of the file, when nothing more could be read.
    bool readLine(std::string& line, size_t maxLength = kMaxLineLength);
    bool atEnd();

  private:
    std::FILE* file_ = nullptr;
};

// The text after the last "=" of the next line, or the whole line; empty at
// the end of the file.
std::string ReadSettingLine(LineReader& reader);

// Joins lines with CR LF, without a line end after the last one.
std::string JoinCrLf(const std::vector<std::string>& lines);

// Replaces path with content through a temporary file in the same folder and
// a rename, keeping the original's permissions. False (and the original
// untouched) on any failure.
bool WriteFileAtomic(const std::string& path, const std::string& content);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content);

} // namespace platform
