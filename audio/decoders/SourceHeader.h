// The first bytes of a source, read once by the creation call so that every
// decoder's probe can look at them before anything else is read or opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "audio/sources/ByteSource.h"

namespace audio {

struct SourceHeader {
    // The first kHeadBytes of the source (all of a shorter one).
    std::vector<uint8_t> head;
    // Where the ID3v2 blocks at the start end (0 without any), and the
    // kMpegWindowBytes from there, which an MPEG probe needs; nothing when
    // a block claims to run past the end of the source.
    std::optional<uint64_t> afterId3v2;
    std::vector<uint8_t> mpegWindow;
    std::optional<uint64_t> size;

    static constexpr size_t kHeadBytes = 16384;
    // Enough for a run of frames at the largest frame size (2881 bytes).
    static constexpr size_t kMpegWindowBytes = 16384;

    // The header's bytes at `offset`: a pointer to `wanted` of them, or
    // nullptr when the header does not hold them all.
    const uint8_t* at(uint64_t offset, size_t wanted) const;
    bool startsWith(const char* text, size_t length, size_t offset = 0) const;
    // An Ogg source whose first packet begins with `magic`.
    bool firstOggPacketIs(const char* magic, size_t length) const;
};

SourceHeader ReadSourceHeader(ByteSource& source);

// Offset after the ID3v2 blocks at the start of `head` (0 when there are
// none); nothing when a block is malformed or its size runs past `size`.
// Blocks that reach beyond `head` are followed through `source`.
std::optional<uint64_t> Id3v2End(ByteSource& source, const std::vector<uint8_t>& head, uint64_t size);

} // namespace audio
