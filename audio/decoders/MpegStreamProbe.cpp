#include "audio/decoders/MpegStreamProbe.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/FileSize.h"

namespace audio {
namespace {

// Enough for the confirming run at the largest frame size (2881 bytes).
constexpr size_t kProbeWindow = 16384;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool ReadAt(std::FILE* f, uint64_t offset, uint8_t* out, size_t size)
{
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0 && std::fread(out, 1, size, f) == size;
}

// Offset after the ID3v2 blocks at `offset`, or nothing when a block is
// malformed or runs past the end.
std::optional<uint64_t> SkipId3v2(std::FILE* f, uint64_t offset, uint64_t fileSize)
{
    uint8_t h[10];
    while (offset + 10 <= fileSize && ReadAt(f, offset, h, 10) && std::memcmp(h, "ID3", 3) == 0) {
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
uint64_t TrailingTagBytes(std::FILE* f, uint64_t start, uint64_t fileSize)
{
    uint64_t end = fileSize;
    uint8_t buf[32];
    if (end >= start + 128 && ReadAt(f, end - 128, buf, 3) && std::memcmp(buf, "TAG", 3) == 0)
        end -= 128;
    if (end >= start + 15 && ReadAt(f, end - 15, buf, 15) && std::memcmp(buf + 6, "LYRICS200", 9) == 0) {
        const uint64_t size = std::strtoull(std::string(reinterpret_cast<char*>(buf), 6).c_str(), nullptr, 10);
        if (size + 15 <= end - start)
            end -= size + 15;
    }
    if (end >= start + 32 && ReadAt(f, end - 32, buf, 32) && std::memcmp(buf, "APETAGEX", 8) == 0) {
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
    const auto fileSize = platform::FileSize(path);
    File f(std::fopen(path.c_str(), "rb"));
    if (!fileSize || !f)
        return std::nullopt;
    const auto start = SkipId3v2(f.get(), 0, *fileSize);
    if (!start)
        return std::nullopt;

    const size_t windowSize = static_cast<size_t>(std::min<uint64_t>(kProbeWindow, *fileSize - *start));
    std::vector<uint8_t> window(windowSize);
    if (!ReadAt(f.get(), *start, window.data(), windowSize))
        return std::nullopt;
    const auto first = ParseMpegFrameHeader(window.data(), windowSize);
    if (!first)
        return std::nullopt;

    const bool windowIsFileEnd = *start + windowSize == *fileSize;
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
    probe.audioBytes = *fileSize - *start - TrailingTagBytes(f.get(), *start, *fileSize);
    probe.vbr = ReadMpegVbrInfo(window.data(), windowSize, *first);
    return probe;
}

} // namespace audio
