#include "audio/decoders/MpegStreamProbe.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace audio {
namespace {

// ID3v1, the Lyrics3 end mark and an APE footer.
constexpr size_t kTailBytes = 128 + 15 + 32;

// Bytes of ID3v1, Lyrics3 and APE blocks at the end, so that the audio's own
// size can be compared with what a Xing header claims. `tail` holds the
// source's last bytes, up to `end`.
uint64_t TrailingTagBytes(const uint8_t* tail, size_t tailSize, uint64_t start, uint64_t size)
{
    uint64_t end = size;
    // The tail's bytes at the source's offset `at`, when it holds `n` of them.
    const auto at = [&](uint64_t offset, size_t n) -> const uint8_t* {
        const uint64_t tailStart = size - tailSize;
        return offset >= tailStart && offset + n <= size ? tail + (offset - tailStart) : nullptr;
    };
    const uint8_t* p = nullptr;
    if (end >= start + 128 && (p = at(end - 128, 3)) && std::memcmp(p, "TAG", 3) == 0)
        end -= 128;
    if (end >= start + 15 && (p = at(end - 15, 15)) && std::memcmp(p + 6, "LYRICS200", 9) == 0) {
        const uint64_t lyrics = std::strtoull(std::string(reinterpret_cast<const char*>(p), 6).c_str(), nullptr, 10);
        if (lyrics + 15 <= end - start)
            end -= lyrics + 15;
    }
    if (end >= start + 32 && (p = at(end - 32, 32)) && std::memcmp(p, "APETAGEX", 8) == 0) {
        const uint64_t ape = uint64_t(p[12]) | (uint64_t(p[13]) << 8) | (uint64_t(p[14]) << 16) | (uint64_t(p[15]) << 24);
        const uint64_t withHeader = ape + ((p[23] & 0x80) ? 32 : 0);
        if (withHeader <= end - start)
            end -= withHeader;
    }
    return size - end;
}

bool TagStartsAt(const uint8_t* p, size_t left)
{
    return (left >= 3 && std::memcmp(p, "TAG", 3) == 0) || (left >= 8 && std::memcmp(p, "APETAGEX", 8) == 0)
        || (left >= 11 && std::memcmp(p, "LYRICSBEGIN", 11) == 0);
}

// Whether a run of frames of one stream starts at `window`; `isEnd` when the
// source ends where the window does.
bool RunStartsAt(const uint8_t* window, size_t size, bool isEnd)
{
    const auto first = ParseMpegFrameHeader(window, size);
    if (!first)
        return false;
    size_t at = 0;
    int complete = 0;
    for (;;) {
        const auto h = ParseMpegFrameHeader(window + at, size - at);
        // A short stream may end in a tag or at the end of the source.
        if (!h || !h->sameStream(*first))
            return complete > 0 && isEnd && (at >= size || TagStartsAt(window + at, size - at));
        // A last frame cut short still confirms a stream that ends here.
        if (at + h->frameBytes > size)
            return complete > 0 && isEnd;
        at += h->frameBytes;
        if (++complete >= kMpegFramesToConfirm)
            return true;
    }
}

// Where the audio starts: right after the ID3v2 blocks, or, when a block
// claims more bytes than the source has, at the first run of frames after
// its header (as far as the header reaches).
std::optional<uint64_t> AudioStart(const SourceHeader& header, uint64_t size)
{
    if (header.afterId3v2) {
        const uint64_t start = *header.afterId3v2;
        const size_t window = static_cast<size_t>(std::min<uint64_t>(SourceHeader::kMpegWindowBytes, size - start));
        const uint8_t* bytes = header.at(start, window);
        if (bytes && RunStartsAt(bytes, window, start + window == size))
            return start;
        return std::nullopt;
    }
    if (!header.startsWith("ID3", 3))
        return std::nullopt;
    const std::vector<uint8_t>& head = header.head;
    for (size_t at = 10; at + 4 <= head.size(); ++at) {
        if (head[at] != 0xFF)
            continue;
        const size_t window = std::min(SourceHeader::kMpegWindowBytes, head.size() - at);
        if (RunStartsAt(head.data() + at, window, at + window == size))
            return at;
    }
    return std::nullopt;
}

} // namespace

std::optional<MpegStreamProbe> ProbeMpegStream(ByteSource& source, const SourceHeader& header)
{
    const uint64_t size = header.size.value_or(header.head.size());
    const auto start = AudioStart(header, size);
    if (!start)
        return std::nullopt;
    size_t window = static_cast<size_t>(std::min<uint64_t>(SourceHeader::kMpegWindowBytes, size - *start));
    const uint8_t* bytes = header.at(*start, window);
    // A run found by resynchronising lies in the head, however far it reaches.
    if (!bytes && *start < header.head.size()) {
        window = header.head.size() - static_cast<size_t>(*start);
        bytes = header.head.data() + *start;
    }
    if (!bytes)
        return std::nullopt;

    uint8_t tail[kTailBytes];
    const size_t tailSize = static_cast<size_t>(std::min<uint64_t>(kTailBytes, size));
    const uint8_t* tailBytes = header.at(size - tailSize, tailSize);
    if (!tailBytes) {
        if (source.readAt(size - tailSize, tail, tailSize) != tailSize)
            return std::nullopt;
        tailBytes = tail;
    }

    MpegStreamProbe probe;
    probe.first = *ParseMpegFrameHeader(bytes, window);
    probe.audioStart = *start;
    probe.audioBytes = size - *start - TrailingTagBytes(tailBytes, tailSize, *start, size);
    probe.vbr = ReadMpegVbrInfo(bytes, window, probe.first);
    return probe;
}

} // namespace audio
