// The 10-byte header that starts an ID3v2 block, and the size of the block
// it announces.
#pragma once

#include <cstdint>
#include <cstring>

class TagStream;

namespace id3v2 {

// The file's header as one operation reads it.
struct TagInfo {
    char ID[3] = {};
    uint8_t Version = 0;
    uint8_t Revision = 0;
    uint8_t Flags = 0;
    uint8_t SizeBytes[4] = {};
    int64_t FileSize = 0;

    bool HasBlock() const { return std::memcmp(ID, "ID3", 3) == 0; }
};

// False when the file has fewer than 10 bytes; raises EFileError when it
// cannot be read.
bool ReadHeader(TagStream& file, TagInfo& tag);

// The whole block, header and footer included; 0 when it claims more than
// the file holds, so such a block is never skipped or cut.
int32_t BlockSize(const TagInfo& tag);

// Whether the block has frames to read: versions 2.2 to 2.4, except a 2.2
// block flagged as compressed, which is to be ignored whole (no scheme was
// ever defined for it).
bool HasFrames(const TagInfo& tag, int32_t blockSize);

} // namespace id3v2
