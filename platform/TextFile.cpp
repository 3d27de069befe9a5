#include "TextFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

LineReader::LineReader(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}

LineReader::~LineReader() {
    if (file_) std::fclose(file_);
}

bool LineReader::readLine(std::string& line, size_t maxLength) {
    line.clear();
    if (!file_) return false;
    int c = std::fgetc(file_);
    if (c == EOF) return false;
    for (; c != EOF && c != '\n'; c = std::fgetc(file_)) {
        if (line.size() < maxLength) line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

bool LineReader::atEnd() {
    if (!file_) return true;
    int c = std::fgetc(file_);
    if (c == EOF) return true;
    std::ungetc(c, file_);
    return false;
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
    std::string tmp = path + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    struct stat st {};
    mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, content) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(tmp.c_str(), path.c_str()) == 0) return true;
    ::unlink(tmp.c_str());
    return false;
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
