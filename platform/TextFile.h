// Line-oriented text files: the settings/playlist line reader and an atomic
// CR LF writer.
#pragma once

#include <cstdio>
#include <string>
#include <sys/types.h>
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

// Replaces path with content through a new file beside it (CreateReplacement)
// and a rename, keeping the original's owner where allowed and its mode. A
// symbolic link stays a link and the file it leads to is replaced. False, with
// the original's bytes and mode untouched, on any failure.
bool WriteFileAtomic(const std::string& path, const std::string& content);

// The steps every whole-file replacement shares (settings, playlists, tag
// rebuilds).

// The file a replacement of path writes: the final target when path is a
// symbolic link, so that the link survives; path itself otherwise (also when
// nothing is there yet). Empty when the link leads nowhere.
std::string ReplacementTarget(const std::string& path);

// Creates the new file for a replacement of target: beside it, named target +
// "~" and random characters, with O_CREAT|O_EXCL|O_NOFOLLOW and mode 0600, and
// another name tried while a name is taken. An existing file or link of any
// name is never followed, overwritten or deleted. Returns the read-write
// descriptor and sets name, or -1 with errno set.
int CreateReplacement(const std::string& target, std::string& name);

// Gives a replacement's new file the original's mode, and its owner and group
// as far as the system allows: the owner only with privilege, the group when
// we belong to it. False when the mode cannot be set.
bool KeepOwnerAndMode(int fd, uid_t owner, gid_t group, mode_t mode);

// Makes a finished rename in path's folder durable; nothing can undo a rename
// whose folder fails to sync, so failures are ignored.
void SyncFolderOf(const std::string& path);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content);

} // namespace platform
