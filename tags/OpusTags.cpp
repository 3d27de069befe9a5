#include "tags/OpusTags.h"

#include "tags/CommentReader.h"
#include "tags/OggPacketCursor.h"
#include "tags/TagReadStream.h"

bool ReadOpusTags(const std::string& FileName, TTagNames& Names) {
    try {
        TagReadStream stream(FileName);
        ogg::PacketCursor cursor(stream, 0);
        std::string magic;
        if (!cursor.Valid() || !cursor.Read(8, magic) || magic != "OpusHead") return false;
        if (cursor.NextPacket() && cursor.Read(8, magic) && magic == "OpusTags")
            Names = vorbiscomment::ReadFields(cursor);
        return true;
    } catch (const EFileError&) {
        return false;
    }
}
