// A file opened for reading alone, read through a buffer: the read-only tag
// readers take a length or a field at a time, and a system call for each
// would cost more than the field.
#pragma once

#include <string>

#include "tags/TagFile.h"

class TagReadStream : public TagStream {
  public:
    // Raises EFileError when the file cannot be opened.
    explicit TagReadStream(const std::string& FileName);
    int64_t Read(void* Buffer, int64_t Count) override;
    // The stream is never written: both raise EFileError.
    void Write(const void* Buffer, int64_t Count) override;
    void SetSize(int64_t NewSize) override;
    int64_t Seek(int64_t Offset, int Origin) override;
    int64_t Size() override { return size_; }

  protected:
    std::string ErrorName() const override { return file_.FileName(); }

  private:
    TagFileStream file_;
    int64_t size_;
    int64_t position_ = 0;
    // The file's bytes from bufferStart_ on.
    std::string buffer_;
    int64_t bufferStart_ = 0;
    int64_t readAhead_ = 0;
};
