#include "ID3v2.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "tags/ID3v2Frames.h"
#include "tags/ID3v2Text.h"
#include "tags/ID3v2Unsync.h"
#include "tags/ID3v2Upgrade.h"
#include "tags/TagFile.h"
#include "tags/TagText.h"

using namespace id3v2;
using tagtext::Trim;

namespace {

constexpr int kFrameCount = 17;
constexpr int kWrittenFrames = 12;
constexpr int64_t kMaxValue = 500;
constexpr int32_t kFixedBlockSize = 4096;
constexpr int64_t kMaxBlockSize = (int64_t{1} << 28) - 1 + kHeaderSize;

enum Frame { fTitle, fArtist, fAlbum, fTrack, fYear, fGenre, fComment, fComposer, fEncoder, fCopyright,
             fLanguage, fLink, fRecordingTime, fOriginalArtist, fContentGroup, fOriginalAlbum, fSize };

constexpr std::array<const char*, kFrameCount> kFrameIds = {
    "TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM", "TCOM", "TENC",
    "TCOP", "TLAN", "WXXX", "TDRC", "TOPE", "TIT1", "TOAL", "TSIZ"};
constexpr std::array<const char*, kFrameCount> kFrameIdsV22 = {
    "TT2", "TP1", "TAL", "TRK", "TYE", "TCO", "COM", "TCM", "TEN",
    "TCR", "TLA", "WXX", "TOR", "TOA", "TT1", "TOT", "TSI"};

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

// Raises EFileError when the file cannot be read.
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

// The whole block, header and footer included; 0 when it claims more than
// the file holds, so such a block is never skipped or cut.
int32_t BlockSize(const TagInfo& tag) {
    if (!tag.HasBlock()) return 0;
    int64_t size = SevenBitGroups(tag.SizeBytes) + kHeaderSize + ((tag.Flags & kFooter) ? kHeaderSize : 0);
    return size > tag.FileSize ? 0 : static_cast<int32_t>(size);
}

// A 2.2 block flagged as compressed is to be ignored whole: no scheme was
// ever defined for it.
bool HasFrames(const TagInfo& tag, int32_t blockSize) {
    return tag.HasBlock() && tag.Version >= 2 && tag.Version <= 4 && blockSize > 0 &&
           !(tag.Version == 2 && (tag.Flags & kCompressedBlock22));
}

int FrameIndex(std::string_view id, uint8_t version) {
    const auto& ids = version == 2 ? kFrameIdsV22 : kFrameIds;
    for (int i = 0; i < kFrameCount; ++i)
        if (id == ids[i]) return i;
    return -1;
}

// Each known frame's first 500 data bytes, zero-padded to 500, and the
// place of the frame it came from in the walk (-1 for none).
struct FrameScan {
    std::array<std::string, kFrameCount> values;
    std::array<int64_t, kFrameCount> from;
};

bool DescribedComment(const std::string& value) {
    return !DecodeDescription(value, 4).empty();
}

// A later frame replaces an earlier one, except that a comment with a
// description (iTunes keeps its figures in such) never replaces one without.
// Only frames of a known kind are read. Slots, when given, gets every frame.
FrameScan ScanFrames(BlockBody& body, uint8_t version, uint8_t flags, std::vector<FrameSlot>* slots) {
    FrameScan scan;
    scan.from.fill(-1);
    int64_t place = 0;
    try {
        WalkFrames(body, version, FramesStart(body, version, flags), [&](const FrameSlot& frame) {
            const int64_t here = place++;
            if (slots) slots->push_back(frame);
            const int index = FrameIndex(frame.id, version);
            if (index < 0) return;
            std::optional<std::string> value = FrameContent(body, frame, version, flags, kMaxValue);
            if (!value) return;
            value->resize(kMaxValue, '\0');
            if (static_cast<unsigned char>((*value)[0]) > 3) return;
            if (index == fComment && scan.from[fComment] >= 0 && !DescribedComment(scan.values[fComment]) &&
                DescribedComment(*value))
                return;
            scan.values[index] = std::move(*value);
            scan.from[index] = here;
        });
    } catch (const EFileError&) {
        // A read failure ends the scan with the frames found so far.
    }
    return scan;
}

void Derive(TID3v2& tag, const FrameScan& scan) {
    const auto& frame = scan.values;
    auto decode = [&](int first, int second) {
        std::string text = Decode(frame[first]);
        return text.empty() ? Decode(frame[second]) : text;
    };
    tag.Title = decode(fTitle, fContentGroup);
    tag.Artist = decode(fArtist, fOriginalArtist);
    tag.Album = decode(fAlbum, fOriginalAlbum);
    tag.TrackString = Decode(frame[fTrack]);
    const std::string number = tag.TrackString.substr(0, tag.TrackString.find('/'));
    tag.Track = static_cast<uint16_t>(tagtext::ParseDecimal(number).value_or(0));
    tag.Year = Decode(frame[fYear]);
    if (tag.Year.empty()) tag.Year = tagtext::FirstChars(Decode(frame[fRecordingTime]), 4);
    tag.Genre = Decode(frame[fGenre]);
    if (size_t close = tag.Genre.rfind(')'); close != std::string::npos) tag.Genre = Trim(tag.Genre.substr(close + 1));
    tag.Comment = DecodeComment(frame[fComment]);
    tag.Composer = Decode(frame[fComposer]);
    tag.Encoder = Decode(frame[fEncoder]);
    tag.Copyright = Decode(frame[fCopyright]);
    tag.Language = Decode(frame[fLanguage]);
    tag.Link = DecodeLink(frame[fLink]);
    tag.AudioSizeText = Decode(frame[fSize]);
}

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

// Overwrites the old block, which has the new one's size; on failure the
// old bytes go back.
bool WriteInPlace(const std::string& fileName, const std::string& block) {
    try {
        TagFileStream file(fileName, FileMode::ReadWrite);
        std::string old(block.size(), '\0');
        file.ReadBuffer(old.data(), static_cast<int64_t>(old.size()));
        try {
            file.Seek(0, soFromBeginning);
            file.WriteString(block);
            file.Flush();
        } catch (const EFileError&) {
            file.Seek(0, soFromBeginning);
            file.WriteString(old);
            return false;
        }
        return true;
    } catch (const EFileError&) {
        return false;
    }
}

} // namespace

TID3v2::TID3v2() {
    ResetData();
}

void TID3v2::ResetData() {
    Exists = false;
    VersionID = 0;
    Size = 0;
    Track = 0;
    for (std::string* text : {&Title, &Artist, &Album, &TrackString, &Year, &Genre, &Comment, &Composer,
                              &Encoder, &Copyright, &Language, &Link, &AudioSizeText})
        text->clear();
}

bool TID3v2::ReadFromFile(const std::string& FileName) {
    ResetData();
    try {
        TagFileStream file(FileName, FileMode::ReadOnly | FileMode::ShareDenyWrite);
        return ReadFromStream(file);
    } catch (const EFileError&) {
        return false;
    }
}

bool TID3v2::ReadFromStream(TagStream& File) {
    ResetData();
    TagInfo tag;
    try {
        if (!ReadHeader(File, tag)) return false;
    } catch (const EFileError&) {
        return false;
    }
    if (!tag.HasBlock()) return true;
    Exists = true;
    VersionID = tag.Version;
    Size = BlockSize(tag);
    if (!HasFrames(tag, Size)) return true;
    try {
        std::unique_ptr<BlockBody> body = OpenBody(File, VersionID, tag.Flags, Size, false);
        Derive(*this, ScanFrames(*body, VersionID, tag.Flags, nullptr));
    } catch (const EFileError&) {
        // A block that cannot be read shows no frames.
    }
    return true;
}

bool TID3v2::SaveToFile(const std::string& FileName) {
    OldBlock old;
    if (!ReadOldBlock(FileName, old)) return false;
    // A field the save leaves as the reader shows it keeps its frames as they
    // are. A kept frame that would read back otherwise (a 2.2 original year
    // that 2.3 does not read as the year, say) is written anew.
    Written rewrite = Differences(*this, old.shown);
    std::vector<OutFrame> frames = NewFrames(*this, old, rewrite);
    const Written missed = Differences(*this, ReadBack(FrameBytes(frames, old.version), old.version));
    if (missed != Written{}) {
        for (int i = 0; i < kWrittenFrames; ++i) rewrite[i] = rewrite[i] || missed[i];
        frames = NewFrames(*this, old, rewrite);
    }
    const std::string frameBytes = FrameBytes(frames, old.version);

    const int64_t contentSize = kHeaderSize + static_cast<int64_t>(frameBytes.size());
    const bool needRewrite = !(old.hasBlock && old.size >= contentSize && old.size <= kFixedBlockSize);
    const int64_t padding = std::max<int64_t>((needRewrite ? kFixedBlockSize : old.size) - contentSize, 0);
    const int64_t totalSize = contentSize + padding;
    if (totalSize > kMaxBlockSize) return false;
    if (!WideFileExists(FileName) || !WideFileSetAttr(FileName, 0)) return false;

    std::string block("ID3", 3);
    block += static_cast<char>(old.version);
    block += std::string(2, '\0');
    PutSevenBitGroups(block, static_cast<uint32_t>(totalSize - kHeaderSize));
    block += frameBytes;
    block.append(static_cast<size_t>(padding), '\0');
    return needRewrite ? RebuildFile(FileName, block, old.size) : WriteInPlace(FileName, block);
}

bool TID3v2::RemoveFromFile(const std::string& FileName) {
    TagInfo tag;
    try {
        TagFileStream file(FileName, FileMode::ReadOnly | FileMode::ShareDenyWrite);
        if (!ReadHeader(file, tag) || !tag.HasBlock()) return false;
    } catch (const EFileError&) {
        return false;
    }
    if (!WideFileExists(FileName) || !WideFileSetAttr(FileName, 0)) return false;
    // A block claiming more than the file holds cannot be told from the audio.
    const int32_t size = BlockSize(tag);
    return size > 0 && RebuildFile(FileName, std::string(), size);
}

void TID3v2::FSetTitle(const std::string& Value) {
    Title = Trim(Value);
}

void TID3v2::FSetArtist(const std::string& Value) {
    Artist = Trim(Value);
}

void TID3v2::FSetAlbum(const std::string& Value) {
    Album = Trim(Value);
}

void TID3v2::FSetYear(const std::string& Value) {
    Year = Trim(Value);
}

void TID3v2::FSetGenre(const std::string& Value) {
    Genre = Trim(Value);
}

void TID3v2::FSetComment(const std::string& Value) {
    Comment = Trim(Value);
}

void TID3v2::FSetComposer(const std::string& Value) {
    Composer = Trim(Value);
}

void TID3v2::FSetEncoder(const std::string& Value) {
    Encoder = Trim(Value);
}

void TID3v2::FSetCopyright(const std::string& Value) {
    Copyright = Trim(Value);
}

void TID3v2::FSetLanguage(const std::string& Value) {
    Language = Trim(Value);
}

void TID3v2::FSetLink(const std::string& Value) {
    Link = Trim(Value);
}
