// The block a save of the ID3v2 class writes: the fields it changes in new
// frames, every other frame of the old block kept, and the padding that
// decides between a write in place and a rebuild of the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class TID3v2;

namespace id3v2 {

struct NewBlock {
    std::string bytes;
    // The old block's size: the bytes the new block replaces.
    int32_t oldSize = 0;
    // The old block has room for the new one, which then has its size.
    bool inPlace = false;
};

// Nothing when the file or its block cannot be read (a save then loses no
// frame by writing nothing) or when the block would be too large.
std::optional<NewBlock> BuildBlock(const TID3v2& tag, const std::string& fileName);

} // namespace id3v2
