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

// Reads lines ended by LF or CR LF (a lone last line without an end counts),
// through a buffer of its own: playlists run to a hundred thousand lines.
class LineReader {
  public:
    explicit LineReader(const std::string& path);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // False at the end of the file, when nothing more could be read.
    bool readLine(std::string& line, size_t maxLength = kMaxLineLength);
    bool atEnd();

  private:
    // False at the end of the file or on an error.
    bool fill();

    int fd_ = -1;
    std::vector<char> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
};

// The text after the last "=" of the next line, or the whole line; empty at
// the end of the file.
std::string ReadSettingLine(LineReader& reader);

// Joins lines with CR LF, without a line end after the last one.
std::string JoinCrLf(const std::vector<std::string>& lines);

// Replaces path with content (ReplaceFile).
bool WriteFileAtomic(const std::string& path, const std::string& content);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content);

} // namespace platform
