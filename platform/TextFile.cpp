#include "TextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

LineReader::LineReader(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ >= 0) buffer_.resize(64 * 1024);
}

LineReader::~LineReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool LineReader::fill() {
    if (begin_ < end_) return true;
    if (fd_ < 0) return false;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        begin_ = 0;
        end_ = static_cast<size_t>(n);
        return true;
    }
}

bool LineReader::readLine(std::string& line, size_t maxLength) {
    line.clear();
    if (!fill()) return false;
    do {
        const char* start = buffer_.data() + begin_;
        const size_t available = end_ - begin_;
        const auto* lineEnd = static_cast<const char*>(std::memchr(start, '\n', available));
        const size_t length = lineEnd ? static_cast<size_t>(lineEnd - start) : available;
        // The rest of a longer line is skipped, not read as the next line.
        if (line.size() < maxLength) line.append(start, std::min(length, maxLength - line.size()));
        begin_ += length;
        if (lineEnd) {
            ++begin_;
            break;
        }
    } while (fill());
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

bool LineReader::atEnd() {
    return !fill();
}

std::string ReadSettingLine(LineReader& reader) {
    std::string line;
    reader.readLine(line);
    auto eq = line.rfind('=');
    return eq == std::string::npos ? line : line.substr(eq + 1);
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out += "\r\n";
        out += lines[i];
    }
    return out;
}

static bool WriteAll(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool WriteFileAtomic(const std::string& path, const std::string& content) {
    const std::string target = ReplacementTarget(path);
    if (target.empty()) return false;
    std::string tmp;
    int fd = CreateReplacement(target, tmp);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::stat(target.c_str(), &st) == 0 ? KeepOwnerAndMode(fd, st.st_uid, st.st_gid, st.st_mode & 07777)
                                                : ::fchmod(fd, 0644) == 0;
    ok = ok && WriteAll(fd, content) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(tmp.c_str(), target.c_str()) == 0) {
        SyncFolderOf(target);
        return true;
    }
    ::unlink(tmp.c_str());
    return false;
}

std::string ReplacementTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string target = real;
    std::free(real);
    return target;
}

int CreateReplacement(const std::string& target, std::string& name) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    // Taken names are someone else's; a hundred in a row is not chance.
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + "~";
        for (int i = 0; i < 8; ++i) name += kLetters[pick(random)];
        int fd;
        do fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool KeepOwnerAndMode(int fd, uid_t owner, gid_t group, mode_t mode) {
    // The owner first: a change of owner clears the set-id bits.
    if (::fchown(fd, owner, group) != 0 && ::fchown(fd, static_cast<uid_t>(-1), group) != 0) {
        // Without privilege and outside the group the copy stays ours, as any new file would.
    }
    return ::fchmod(fd, mode) == 0;
}

void SyncFolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool ReadWholeFile(const std::string& path, std::string& content) {
    content.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) content.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

} // namespace platform
