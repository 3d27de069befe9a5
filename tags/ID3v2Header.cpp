#include "tags/ID3v2Header.h"

#include "tags/ID3v2Frames.h"
#include "tags/TagFile.h"

namespace id3v2 {

bool ReadHeader(TagStream& file, TagInfo& tag) {
    unsigned char header[kHeaderSize];
    file.Seek(0, soFromBeginning);
    if (file.Read(header, kHeaderSize) != kHeaderSize) return false;
    std::memcpy(tag.ID, header, 3);
    tag.Version = header[3];
    tag.Revision = header[4];
    tag.Flags = header[5];
    std::memcpy(tag.SizeBytes, header + 6, 4);
    tag.FileSize = file.Size();
    return true;
}

int32_t BlockSize(const TagInfo& tag) {
    if (!tag.HasBlock()) return 0;
    int64_t size = SevenBitGroups(tag.SizeBytes) + kHeaderSize + ((tag.Flags & kFooter) ? kHeaderSize : 0);
    return size > tag.FileSize ? 0 : static_cast<int32_t>(size);
}

bool HasFrames(const TagInfo& tag, int32_t blockSize) {
    return tag.HasBlock() && tag.Version >= 2 && tag.Version <= 4 && blockSize > 0 &&
           !(tag.Version == 2 && (tag.Flags & kCompressedBlock22));
}

} // namespace id3v2
