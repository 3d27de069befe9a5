#include "tags/ID3v2Save.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "tags/ID3v2.h"
#include "tags/ID3v2Fields.h"
#include "tags/ID3v2Frames.h"
#include "tags/ID3v2Header.h"
#include "tags/ID3v2Text.h"
#include "tags/ID3v2Unsync.h"
#include "tags/ID3v2Upgrade.h"
#include "tags/TagFile.h"

namespace id3v2 {

namespace {

constexpr int32_t kFixedBlockSize = 4096;
constexpr int64_t kMaxBlockSize = (int64_t{1} << 28) - 1 + kHeaderSize;

// A frame of the block a save writes.
struct OutFrame {
    std::string id;
    uint8_t status = 0;
    uint8_t format = 0;
    std::string body;
};

// The old block as a save needs it: its frames in the version the new
// block gets, and what the reader shows of them.
struct OldBlock {
    int32_t size = 0;
    bool hasBlock = false;
    // A 2.4 block stays 2.4, so its frames stay valid as they are; anything
    // else becomes 2.3.
    uint8_t version = 3;
    std::vector<OutFrame> frames;
    TID3v2 shown;
    int comment = -1; // the frames the reader shows as Comment and Link
    int link = -1;
};

// A frame as the new block keeps it; nothing for a frame without a valid
// identifier or a 2.2 frame that 2.3 has no place for. The unsynchronisation
// of 2.4 frames is undone, as the new block is written without it.
std::optional<OutFrame> KeptFrame(BlockBody& body, const FrameSlot& slot, uint8_t version, uint8_t flags) {
    OutFrame frame{slot.id, slot.status, slot.format, body.Read(slot.dataAt, slot.size)};
    if (version == 2) {
        if (!UpgradeFrame(frame.id, frame.body)) return std::nullopt;
        return frame;
    }
    if (!ValidFrameId(frame.id)) return std::nullopt;
    if (version == 4 && ((frame.format & kUnsynchronised24) || (flags & kUnsynchronisedBlock))) {
        frame.body = UndoUnsync(frame.body);
        frame.format &= ~kUnsynchronised24;
    }
    return frame;
}

// False when the file, or a block it has, cannot be read: a save then
// writes nothing rather than lose frames.
bool ReadOldBlock(const std::string& fileName, OldBlock& old) {
    try {
        TagFileStream file(fileName, FileMode::ReadOnly | FileMode::ShareDenyWrite);
        TagInfo tag;
        if (!ReadHeader(file, tag)) return false;
        old.hasBlock = tag.HasBlock();
        old.size = BlockSize(tag);
        if (!HasFrames(tag, old.size)) return true;
        if (tag.Version == 4) old.version = 4;
        std::unique_ptr<BlockBody> body = OpenBody(file, tag.Version, tag.Flags, old.size, true);
        std::vector<FrameSlot> slots;
        const FrameScan scan = ScanFrames(*body, tag.Version, tag.Flags, &slots);
        Derive(old.shown, scan);
        for (size_t n = 0; n < slots.size(); ++n) {
            std::optional<OutFrame> frame = KeptFrame(*body, slots[n], tag.Version, tag.Flags);
            if (!frame) continue;
            if (static_cast<int64_t>(n) == scan.from[fComment]) old.comment = static_cast<int>(old.frames.size());
            if (static_cast<int64_t>(n) == scan.from[fLink]) old.link = static_cast<int>(old.frames.size());
            old.frames.push_back(std::move(*frame));
        }
        return true;
    } catch (const EFileError&) {
        return false;
    }
}

using Written = std::array<bool, kWrittenFrames>;

// The language and description that identify a comment or link frame.
std::string Identity(const OutFrame& frame) {
    const size_t prefix = frame.id == "COMM" ? 4 : 1;
    const std::string_view body = frame.body;
    return std::string(body.substr(std::min<size_t>(1, body.size()), prefix - 1)) + '\0' +
           DecodeDescription(body, prefix);
}

// The written field a kept frame belongs to, -1 for none. Of the comments
// and links, only the one shown and those like it (same language and
// description) belong to the field.
int FieldOf(const OldBlock& old, const OutFrame& frame) {
    if (frame.id == "COMM") {
        return old.comment >= 0 && Identity(frame) == Identity(old.frames[old.comment]) ? fComment : -1;
    }
    if (frame.id == "WXXX") return old.link >= 0 && Identity(frame) == Identity(old.frames[old.link]) ? fLink : -1;
    // The year of a 2.4 block is its recording time.
    if (frame.id == "TDRC") return fYear;
    for (int i = 0; i < kWrittenFrames; ++i)
        if (frame.id == kFrameIds[i]) return i;
    return -1;
}

// The new value of a written field; empty for none.
std::string NewValue(const TID3v2& tag, const OldBlock& old, int field) {
    const TID3v2& shown = old.shown;
    switch (field) {
    case fTrack: {
        if (tag.Track == 0) return {};
        // A total after the number stays.
        const size_t slash = shown.TrackString.find('/');
        const std::string total = slash == std::string::npos ? "" : shown.TrackString.substr(slash);
        return EncodeText(std::to_string(tag.Track) + total);
    }
    case fComment: {
        if (tag.Comment.empty()) return {};
        if (old.comment < 0) return EncodeComment("eng", "", tag.Comment);
        const std::string& body = old.frames[old.comment].body;
        std::string language = body.substr(std::min<size_t>(1, body.size()), 3);
        language.resize(3, ' ');
        return EncodeComment(language, DecodeDescription(body, 4), tag.Comment);
    }
    case fLink:
        if (tag.Link.empty()) return {};
        return EncodeLink(old.link < 0 ? "" : DecodeDescription(old.frames[old.link].body, 1), tag.Link);
    }
    const std::string* texts[] = {&tag.Title, &tag.Artist, &tag.Album, nullptr, &tag.Year, &tag.Genre,
                                  nullptr, &tag.Composer, &tag.Encoder, &tag.Copyright, &tag.Language};
    const std::string& text = *texts[field];
    return text.empty() ? std::string() : EncodeText(text);
}

// Which fields differ between two objects.
Written Differences(const TID3v2& a, const TID3v2& b) {
    return {a.Title != b.Title, a.Artist != b.Artist, a.Album != b.Album, a.Track != b.Track,
            a.Year != b.Year, a.Genre != b.Genre, a.Comment != b.Comment, a.Composer != b.Composer,
            a.Encoder != b.Encoder, a.Copyright != b.Copyright, a.Language != b.Language, a.Link != b.Link};
}

// The old frames in their order, where a rewritten field's new frame takes
// the place of the first of its old ones and the others go; new frames of
// fields that had none follow in table order. The reader's choice of the
// last frame of a kind thus stays the same.
std::vector<OutFrame> NewFrames(const TID3v2& tag, const OldBlock& old, const Written& rewrite) {
    std::array<std::optional<OutFrame>, kWrittenFrames> fresh;
    for (int i = 0; i < kWrittenFrames; ++i) {
        if (!rewrite[i]) continue;
        std::string body = NewValue(tag, old, i);
        const char* id = i == fYear && old.version == 4 ? "TDRC" : kFrameIds[i];
        if (!body.empty()) fresh[i] = OutFrame{id, 0, 0, std::move(body)};
    }
    std::vector<OutFrame> frames;
    Written placed{};
    for (const OutFrame& frame : old.frames) {
        const int field = FieldOf(old, frame);
        if (field < 0 || !rewrite[field]) {
            frames.push_back(frame);
            continue;
        }
        if (!placed[field] && fresh[field]) frames.push_back(*fresh[field]);
        placed[field] = true;
    }
    for (int i = 0; i < kWrittenFrames; ++i)
        if (!placed[i] && fresh[i]) frames.push_back(*fresh[i]);
    return frames;
}

void PutBigEndian32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void PutSevenBitGroups(std::string& out, uint32_t value) {
    for (int shift = 21; shift >= 0; shift -= 7) out += static_cast<char>((value >> shift) & 0x7F);
}

std::string FrameBytes(const std::vector<OutFrame>& frames, uint8_t version) {
    std::string out;
    for (const OutFrame& frame : frames) {
        out += frame.id;
        if (version == 4)
            PutSevenBitGroups(out, static_cast<uint32_t>(frame.body.size()));
        else
            PutBigEndian32(out, static_cast<uint32_t>(frame.body.size()));
        out += static_cast<char>(frame.status);
        out += static_cast<char>(frame.format);
        out += frame.body;
    }
    return out;
}

// What the reader shows of frames the save is about to write.
TID3v2 ReadBack(const std::string& frameBytes, uint8_t version) {
    MemoryBody body(frameBytes);
    TID3v2 back;
    Derive(back, ScanFrames(body, version, 0, nullptr));
    return back;
}

} // namespace

std::optional<NewBlock> BuildBlock(const TID3v2& tag, const std::string& fileName) {
    OldBlock old;
    if (!ReadOldBlock(fileName, old)) return std::nullopt;
    // A field the save leaves as the reader shows it keeps its frames as they
    // are. A kept frame that would read back otherwise (a 2.2 original year
    // that 2.3 does not read as the year, say) is written anew.
    Written rewrite = Differences(tag, old.shown);
    std::vector<OutFrame> frames = NewFrames(tag, old, rewrite);
    const Written missed = Differences(tag, ReadBack(FrameBytes(frames, old.version), old.version));
    if (missed != Written{}) {
        for (int i = 0; i < kWrittenFrames; ++i) rewrite[i] = rewrite[i] || missed[i];
        frames = NewFrames(tag, old, rewrite);
    }
    const std::string frameBytes = FrameBytes(frames, old.version);

    const int64_t contentSize = kHeaderSize + static_cast<int64_t>(frameBytes.size());
    NewBlock block;
    block.oldSize = old.size;
    block.inPlace = old.hasBlock && old.size >= contentSize && old.size <= kFixedBlockSize;
    const int64_t padding = std::max<int64_t>((block.inPlace ? old.size : kFixedBlockSize) - contentSize, 0);
    const int64_t totalSize = contentSize + padding;
    if (totalSize > kMaxBlockSize) return std::nullopt;
    block.bytes = std::string("ID3", 3) + static_cast<char>(old.version) + std::string(2, '\0');
    PutSevenBitGroups(block.bytes, static_cast<uint32_t>(totalSize - kHeaderSize));
    block.bytes += frameBytes;
    block.bytes.append(static_cast<size_t>(padding), '\0');
    return block;
}

} // namespace id3v2
