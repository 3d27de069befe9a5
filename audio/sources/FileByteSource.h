// A local file as a byte source, opened once and read with pread. Small
// reads go through a read-ahead buffer: decoder libraries read a few hundred
// bytes or kilobytes at a time, and opening a short file then costs one
// system call instead of dozens.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/sources/ByteSource.h"

namespace audio {

class FileByteSource final : public ByteSource {
  public:
    // nullptr when the file cannot be opened for reading or is no regular file.
    static std::unique_ptr<FileByteSource> open(const std::string& path);
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    size_t readAt(uint64_t offset, void* out, size_t size) override;
    std::optional<uint64_t> size() const override { return size_; }

  private:
    FileByteSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    size_t readFile(uint64_t offset, void* out, size_t size) const;
    int fd_;
    uint64_t size_;
    // A probe on one thread and the decoder on another may read at once.
    std::mutex bufferLock_;
    std::vector<char> buffer_;
    uint64_t bufferAt_ = 0;
};

} // namespace audio
