#include "TextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/FileReplacement.h"

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
    return ReplaceFile(path, [&](int fd, const std::string&) { return WriteAll(fd, content); });
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
