#include "audio/decoders/MpegStreamProbe.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace audio {
namespace {

// Enough for the confirming run at the largest frame size (2881 bytes).
constexpr size_t kProbeWindow = 16384;

bool ReadAt(int fd, uint64_t offset, uint8_t* out, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The probe's reads through its first and last bytes, each fetched once:
// most of them land there, and system calls are what checking a file costs.
class ProbeFile {
  public:
    ProbeFile(int fd, uint64_t size) : fd_(fd), size_(size) {}

    bool read(uint64_t offset, uint8_t* out, size_t size)
    {
        if (offset + size <= std::min<uint64_t>(kHeadBytes, size_) && Load(head_, 0, size_)) {
            Copy(head_, 0, offset, out, size);
            return true;
        }
        const uint64_t tailStart = size_ - std::min<uint64_t>(kTailBytes, size_);
        if (offset >= tailStart && offset + size <= size_ && Load(tail_, tailStart, size_ - tailStart)) {
            Copy(tail_, tailStart, offset, out, size);
            return true;
        }
        return ReadAt(fd_, offset, out, size);
    }

  private:
    // A frame-confirming window behind a small ID3v2 block.
    static constexpr uint64_t kHeadBytes = 4096 + kProbeWindow;
    // ID3v1, the Lyrics3 end mark and an APE footer.
    static constexpr uint64_t kTailBytes = 128 + 15 + 32;

    bool Load(std::vector<uint8_t>& buffer, uint64_t start, uint64_t available)
    {
        if (buffer.empty()) {
            buffer.resize(static_cast<size_t>(std::min(available, start == 0 ? kHeadBytes : kTailBytes)));
            if (!ReadAt(fd_, start, buffer.data(), buffer.size()))
                buffer.clear();
        }
        return !buffer.empty();
    }

    static void Copy(const std::vector<uint8_t>& buffer, uint64_t start, uint64_t offset, uint8_t* out, size_t size)
    {
        if (size > 0)
            std::memcpy(out, buffer.data() + (offset - start), size);
    }

    int fd_;
    uint64_t size_;
    std::vector<uint8_t> head_;
    std::vector<uint8_t> tail_;
};

// Offset after the ID3v2 blocks at `offset`, or nothing when a block is
// malformed or runs past the end.
std::optional<uint64_t> SkipId3v2(ProbeFile& file, uint64_t offset, uint64_t fileSize)
{
    uint8_t h[10];
    while (offset + 10 <= fileSize && file.read(offset, h, 10) && std::memcmp(h, "ID3", 3) == 0) {
        if ((h[6] | h[7] | h[8] | h[9]) & 0x80)
            return std::nullopt;
        const uint64_t size = (uint64_t(h[6]) << 21) | (uint64_t(h[7]) << 14) | (uint64_t(h[8]) << 7) | h[9];
        offset += 10 + size + ((h[5] & 0x10) ? 10 : 0);
        if (offset > fileSize)
            return std::nullopt;
    }
    return offset;
}

// Bytes of ID3v1, Lyrics3 and APE blocks at the end, so that the audio's own
// size can be compared with what a Xing header claims.
uint64_t TrailingTagBytes(ProbeFile& file, uint64_t start, uint64_t fileSize)
{
    uint64_t end = fileSize;
    uint8_t buf[32];
    if (end >= start + 128 && file.read(end - 128, buf, 3) && std::memcmp(buf, "TAG", 3) == 0)
        end -= 128;
    if (end >= start + 15 && file.read(end - 15, buf, 15) && std::memcmp(buf + 6, "LYRICS200", 9) == 0) {
        const uint64_t size = std::strtoull(std::string(reinterpret_cast<char*>(buf), 6).c_str(), nullptr, 10);
        if (size + 15 <= end - start)
            end -= size + 15;
    }
    if (end >= start + 32 && file.read(end - 32, buf, 32) && std::memcmp(buf, "APETAGEX", 8) == 0) {
        const uint64_t size = uint64_t(buf[12]) | (uint64_t(buf[13]) << 8) | (uint64_t(buf[14]) << 16)
            | (uint64_t(buf[15]) << 24);
        const uint64_t withHeader = size + ((buf[23] & 0x80) ? 32 : 0);
        if (withHeader <= end - start)
            end -= withHeader;
    }
    return fileSize - end;
}

bool TagStartsAt(const uint8_t* p, size_t left)
{
    return (left >= 3 && std::memcmp(p, "TAG", 3) == 0) || (left >= 8 && std::memcmp(p, "APETAGEX", 8) == 0)
        || (left >= 11 && std::memcmp(p, "LYRICSBEGIN", 11) == 0);
}

} // namespace

std::optional<MpegStreamProbe> ProbeMpegStream(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    auto probe = ProbeMpegStream(fd);
    ::close(fd);
    return probe;
}

std::optional<MpegStreamProbe> ProbeMpegStream(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    ProbeFile file(fd, fileSize);
    const auto start = SkipId3v2(file, 0, fileSize);
    if (!start)
        return std::nullopt;

    const size_t windowSize = static_cast<size_t>(std::min<uint64_t>(kProbeWindow, fileSize - *start));
    std::vector<uint8_t> window(windowSize);
    if (!file.read(*start, window.data(), windowSize))
        return std::nullopt;
    const auto first = ParseMpegFrameHeader(window.data(), windowSize);
    if (!first)
        return std::nullopt;

    const bool windowIsFileEnd = *start + windowSize == fileSize;
    size_t at = 0;
    int complete = 0;
    bool confirmed = false;
    while (!confirmed) {
        const auto h = ParseMpegFrameHeader(window.data() + at, windowSize - at);
        if (!h || !h->sameStream(*first)) {
            // A short stream may end in a tag or at the end of the file.
            confirmed = complete > 0 && windowIsFileEnd && (at >= windowSize || TagStartsAt(window.data() + at, windowSize - at));
            break;
        }
        if (at + h->frameBytes > windowSize) {
            // A last frame cut short still confirms a stream that ends here.
            confirmed = complete > 0 && windowIsFileEnd;
            break;
        }
        at += h->frameBytes;
        confirmed = ++complete >= kMpegFramesToConfirm;
    }
    if (!confirmed)
        return std::nullopt;

    MpegStreamProbe probe;
    probe.first = *first;
    probe.audioStart = *start;
    probe.audioBytes = fileSize - *start - TrailingTagBytes(file, *start, fileSize);
    probe.vbr = ReadMpegVbrInfo(window.data(), windowSize, *first);
    return probe;
}

} // namespace audio
