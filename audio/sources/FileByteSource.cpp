#include "audio/sources/FileByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace audio {
namespace {

constexpr size_t kReadAheadBytes = 65536;

} // namespace

std::unique_ptr<FileByteSource> FileByteSource::open(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileByteSource>(new FileByteSource(fd, static_cast<uint64_t>(st.st_size)));
}

FileByteSource::~FileByteSource()
{
    ::close(fd_);
}

size_t FileByteSource::readAt(uint64_t offset, void* out, size_t size)
{
    if (size >= kReadAheadBytes)
        return readFile(offset, out, size);
    std::lock_guard<std::mutex> hold(bufferLock_);
    if (offset < bufferAt_ || offset + size > bufferAt_ + buffer_.size()) {
        buffer_.resize(kReadAheadBytes);
        buffer_.resize(readFile(offset, buffer_.data(), kReadAheadBytes));
        bufferAt_ = offset;
    }
    // The buffer now begins at or before offset and holds it, or ends there.
    const size_t got = std::min<uint64_t>(size, bufferAt_ + buffer_.size() - offset);
    if (got > 0)
        std::memcpy(out, buffer_.data() + (offset - bufferAt_), got);
    return got;
}

size_t FileByteSource::readFile(uint64_t offset, void* out, size_t size) const
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd_, static_cast<char*>(out) + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

} // namespace audio
