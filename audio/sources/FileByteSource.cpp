#include "audio/sources/FileByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace audio {

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
