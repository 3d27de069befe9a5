#include "tags/TagReadStream.h"

#include <algorithm>
#include <cstring>

namespace {

// The first read takes the start of the file, where most tags are. A read
// away from the buffer then starts a small one, and reads that go on from it
// double it: a walk past skipped blocks (a cover, Ogg page bodies) reads
// little more than their headers, and a run of fields takes few calls.
constexpr int64_t kOpeningReadAhead = 4096;
constexpr int64_t kFirstReadAhead = 64;
constexpr int64_t kMostReadAhead = 65536;

} // namespace

TagReadStream::TagReadStream(const std::string& FileName)
    : file_(FileName, FileMode::ReadOnly | FileMode::ShareDenyWrite), size_(file_.Size()) {}

int64_t TagReadStream::Read(void* Buffer, int64_t Count) {
    if (Count <= 0) return 0;
    const int64_t bufferEnd = bufferStart_ + static_cast<int64_t>(buffer_.size());
    if (position_ < bufferStart_ || position_ + Count > bufferEnd) {
        if (buffer_.empty())
            readAhead_ = kOpeningReadAhead;
        else if (position_ < bufferStart_ || position_ > bufferEnd)
            readAhead_ = kFirstReadAhead;
        else
            readAhead_ = std::min(readAhead_ * 2, kMostReadAhead);
        file_.Seek(position_, soFromBeginning);
        if (Count >= readAhead_) {
            const int64_t got = file_.Read(Buffer, Count);
            position_ += got;
            return got;
        }
        buffer_.resize(static_cast<size_t>(readAhead_));
        buffer_.resize(static_cast<size_t>(file_.Read(buffer_.data(), readAhead_)));
        bufferStart_ = position_;
    }
    const int64_t from = position_ - bufferStart_;
    const int64_t got = std::min(Count, static_cast<int64_t>(buffer_.size()) - from);
    std::memcpy(Buffer, buffer_.data() + from, static_cast<size_t>(got));
    position_ += got;
    return got;
}

void TagReadStream::Write(const void*, int64_t) {
    throw EFileError(ErrorName(), "the file is open for reading only");
}

void TagReadStream::SetSize(int64_t) {
    throw EFileError(ErrorName(), "the file is open for reading only");
}

int64_t TagReadStream::Seek(int64_t Offset, int Origin) { return SeekHeld(position_, Offset, Origin); }
