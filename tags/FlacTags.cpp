#include "tags/FlacTags.h"

#include <cstring>

#include "tags/CommentReader.h"
#include "tags/ID3v2Header.h"
#include "tags/OggPacketCursor.h"
#include "tags/TagReadStream.h"

namespace {

constexpr int kVorbisCommentBlock = 4;
constexpr int kInvalidBlock = 127;
constexpr int64_t kBlockHeaderSize = 4;

struct BlockHeader {
    bool Last = false;
    int Type = 0;
    uint32_t Size = 0;
};

BlockHeader ParseBlockHeader(const std::string& bytes) {
    auto b = [&](int i) { return uint32_t(uint8_t(bytes[i])); };
    return {(b(0) & 0x80) != 0, int(b(0) & 0x7F), b(1) << 16 | b(2) << 8 | b(3)};
}

int64_t LeadingID3v2Size(TagStream& stream) {
    id3v2::TagInfo tag;
    return id3v2::ReadHeader(stream, tag) ? id3v2::BlockSize(tag) : 0;
}

// Each block costs at least its header, so the walk ends within the file.
bool ReadNative(TagStream& stream, int64_t at, TTagNames& names) {
    const int64_t size = stream.Size();
    for (bool last = false; !last;) {
        std::string bytes;
        vorbiscomment::FileRegion header(stream, at, size);
        if (!header.Read(kBlockHeaderSize, bytes)) return true;
        BlockHeader block = ParseBlockHeader(bytes);
        int64_t body = at + kBlockHeaderSize;
        if (block.Type == kInvalidBlock || size - body < block.Size) return true;
        if (block.Type == kVorbisCommentBlock) {
            vorbiscomment::FileRegion comment(stream, body, body + block.Size);
            names = vorbiscomment::ReadFields(comment);
            return true;
        }
        at = body + block.Size;
        last = block.Last;
    }
    return true;
}

// The first packet names the mapping; the second is the comment block.
bool ReadInOgg(TagStream& stream, int64_t at, TTagNames& names) {
    ogg::PacketCursor cursor(stream, at);
    std::string bytes;
    if (!cursor.Valid() || !cursor.Read(5, bytes) ||
        bytes != "\x7F"
                 "FLAC")
        return false;
    if (cursor.NextPacket() && cursor.Read(kBlockHeaderSize, bytes) &&
        ParseBlockHeader(bytes).Type == kVorbisCommentBlock)
        names = vorbiscomment::ReadFields(cursor);
    return true;
}

} // namespace

bool ReadFlacTags(const std::string& FileName, TTagNames& Names) {
    try {
        TagReadStream stream(FileName);
        const int64_t start = LeadingID3v2Size(stream);
        std::string magic;
        vorbiscomment::FileRegion region(stream, start, stream.Size());
        if (!region.Read(4, magic)) return false;
        if (magic == "fLaC") return ReadNative(stream, start + 4, Names);
        return magic == "OggS" && ReadInOgg(stream, start, Names);
    } catch (const EFileError&) {
        return false;
    }
}
