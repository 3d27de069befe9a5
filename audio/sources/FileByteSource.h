// A local file as a byte source, opened once and read with pread.
#pragma once

#include <memory>
#include <string>

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
    int fd_;
    uint64_t size_;
};

} // namespace audio
