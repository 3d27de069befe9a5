#include "ID3v2.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/CodePage.h"
#include "tags/TagFile.h"
#include "tags/TagText.h"

using tagtext::Trim;

namespace {

constexpr int kFrameCount = 17;
constexpr int kWrittenFrames = 12;
constexpr int kHeaderSize = 10;
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

// What one operation learns of the file and builds for it.
struct TagInfo {
    char ID[3] = {};
    uint8_t Version = 0;
    uint8_t Revision = 0;
    uint8_t Flags = 0;
    uint8_t SizeBytes[4] = {};
    int64_t FileSize = 0;
    std::array<std::string, kFrameCount> Frame;
    bool NeedRewrite = false;
    int32_t PaddingSize = 0;

    bool HasBlock() const { return std::memcmp(ID, "ID3", 3) == 0; }
};

// Raises EFileError when the file cannot be read.
bool ReadHeader(TagStream& file, TagInfo& tag) {
    unsigned char header[kHeaderSize];
    if (file.Read(header, kHeaderSize) != kHeaderSize) return false;
    std::memcpy(tag.ID, header, 3);
    tag.Version = header[3];
    tag.Revision = header[4];
    tag.Flags = header[5];
    std::memcpy(tag.SizeBytes, header + 6, 4);
    tag.FileSize = file.Size();
    return true;
}

bool ReadHeader(const std::string& fileName, TagInfo& tag) {
    try {
        TagFileStream file(fileName, FileMode::ReadOnly | FileMode::ShareDenyWrite);
        return ReadHeader(file, tag);
    } catch (const EFileError&) {
        return false;
    }
}

// Four bytes of seven significant bits each, most significant first; the
// bytes are taken whole, as the size fields of damaged blocks demand.
int64_t SevenBitGroups(const uint8_t* bytes) {
    return (int64_t{bytes[0]} << 21) + (int64_t{bytes[1]} << 14) + (int64_t{bytes[2]} << 7) + bytes[3];
}

// The whole block, header and footer included; 0 when it claims more than
// the file holds, so such a block is never skipped or cut.
int32_t BlockSize(const TagInfo& tag) {
    if (!tag.HasBlock()) return 0;
    int64_t size = SevenBitGroups(tag.SizeBytes) + kHeaderSize + ((tag.Flags & 0x10) ? kHeaderSize : 0);
    return size > tag.FileSize ? 0 : static_cast<int32_t>(size);
}

int FrameIndex(std::string_view id, uint8_t version) {
    const auto& ids = version == 2 ? kFrameIdsV22 : kFrameIds;
    for (int i = 0; i < kFrameCount; ++i)
        if (id == ids[i]) return i;
    return -1;
}

// Each known frame's first 500 data bytes, zero-padded to 500; the source
// stands just after the header.
void ReadFrames(TagStream& source, TagInfo& tag, int64_t blockSize, uint8_t version) {
    const int headerSize = version == 2 ? 6 : 10;
    try {
        const int64_t fileSize = tag.FileSize;
        // One read of every byte the frames can reach (a last frame may run
        // past the block) instead of two small reads per frame; the header's
        // place is left blank.
        std::string bytes(static_cast<size_t>(std::min(fileSize, blockSize + headerSize + kMaxValue)), '\0');
        const int64_t read = source.Read(bytes.data() + kHeaderSize, static_cast<int64_t>(bytes.size()) - kHeaderSize);
        bytes.resize(static_cast<size_t>(kHeaderSize + read));
        TagStringStream file(std::move(bytes));
        file.Seek(kHeaderSize, soFromBeginning);
        // Each pass moves on by at least a frame header, so the loop ends.
        for (int64_t at = kHeaderSize; at < blockSize && at < fileSize; at = file.Position()) {
            unsigned char header[10] = {};
            if (file.Read(header, headerSize) != headerSize) return;
            if (header[0] < 'A' || header[0] > 'Z') return;
            int64_t size;
            if (version == 2)
                size = (int64_t{header[3]} << 16) | (header[4] << 8) | header[5];
            else if (version == 3)
                size = (int64_t{header[4]} << 24) | (header[5] << 16) | (header[6] << 8) | header[7];
            else
                size = SevenBitGroups(header + 4);
            const int64_t data = file.Position();
            std::string value(kMaxValue, '\0');
            file.Read(value.data(), std::min(size, kMaxValue));
            const bool compressed = version != 2 && (header[9] & 0x80);
            const int index = FrameIndex(std::string_view(reinterpret_cast<char*>(header), version == 2 ? 3 : 4), version);
            if (!compressed && index >= 0 && (value[0] == 0 || value[0] == 1)) tag.Frame[index] = std::move(value);
            file.Seek(data + size, soFromBeginning);
        }
    } catch (const EFileError&) {
    }
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 after the encoding byte: a leading byte-order mark picks the byte
// order (little-endian without one) and is dropped; the text ends at a zero
// unit or at a malformed surrogate.
std::string DecodeUtf16(std::string_view bytes) {
    const size_t units = bytes.size() / 2;
    bool bigEndian = false;
    auto unitAt = [&](size_t i) -> uint32_t {
        const uint32_t a = static_cast<unsigned char>(bytes[2 * i]);
        const uint32_t b = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    size_t i = 0;
    if (units > 0 && (unitAt(0) == 0xFEFF || unitAt(0) == 0xFFFE)) {
        bigEndian = unitAt(0) == 0xFFFE;
        i = 1;
    }
    std::string out;
    for (; i < units; ++i) {
        uint32_t c = unitAt(i);
        if (c == 0 || (c >= 0xDC00 && c <= 0xDFFF)) break;
        if (c >= 0xD800 && c <= 0xDBFF) {
            const uint32_t low = i + 1 < units ? unitAt(i + 1) : 0;
            if (low < 0xDC00 || low > 0xDFFF) break;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
        AppendUtf8(out, c);
    }
    return out;
}

// A stored value: its encoding byte (0 = legacy 8-bit, 1 = UTF-16), then the text.
std::string Decode(const std::string& value) {
    if (value.empty() || value[0] != 1) return platform::LegacyToUtf8(Trim(value));
    return Trim(DecodeUtf16(std::string_view(value).substr(1)));
}

// The part after the description (the comment frame also has a language
// before it). In UTF-16 the separator is a zero unit, found on unit boundaries.
std::string AfterDescription(const std::string& value, size_t prefix) {
    const std::string rest = value.size() > prefix ? value.substr(prefix) : std::string();
    size_t cut;
    if (value[0] == 1) {
        cut = std::min<size_t>(1, rest.size());
        for (size_t k = 0; k + 1 < rest.size(); k += 2) {
            if (rest[k] == 0 && rest[k + 1] == 0) {
                cut = k + 2;
                break;
            }
        }
    } else {
        const size_t zero = rest.find('\0');
        cut = zero == std::string::npos ? 0 : zero + 1;
    }
    return rest.substr(cut);
}

std::string DecodeComment(const std::string& value) {
    if (value.empty()) return {};
    return Decode(value[0] + AfterDescription(value, 4));
}

// A link's address is 8-bit text whatever the description's encoding.
std::string DecodeLink(const std::string& value) {
    if (value.empty()) return {};
    return Decode('\0' + AfterDescription(value, 1));
}

const std::string kUtf16Bom = "\xFF\xFE";

std::string Utf16Bytes(const std::string& text) {
    const std::u16string units = platform::Utf8ToUtf16(text);
    std::string bytes = kUtf16Bom;
    for (char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

// A text frame's value: legacy 8-bit when the code page holds every
// character, else UTF-16 so that nothing is lost.
std::string EncodeText(const std::string& text, const std::string& before8 = {},
                       const std::string& before16 = {}) {
    bool lossless = true;
    const std::string legacy = platform::Utf8ToLegacy(text, &lossless);
    if (lossless) return '\0' + before8 + legacy;
    return '\x01' + before16 + Utf16Bytes(text);
}

// An address the code page cannot hold keeps working with its other
// characters written as UTF-8 escapes.
std::string EncodeLink(const std::string& link) {
    bool lossless = true;
    std::string legacy = platform::Utf8ToLegacy(link, &lossless);
    if (!lossless) {
        legacy.clear();
        for (unsigned char c : link) {
            if (c < 0x80) {
                legacy += static_cast<char>(c);
            } else {
                char escape[4];
                std::snprintf(escape, sizeof escape, "%%%02X", c);
                legacy += escape;
            }
        }
    }
    return std::string(2, '\0') + legacy;
}

void PutBigEndian32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// Header, the non-empty frames of 1 to 12, padding: always version 2.3.
std::string AssembleBlock(const TagInfo& tag, int64_t totalSize) {
    TagStringStream block;
    const uint32_t bodySize = static_cast<uint32_t>(totalSize - kHeaderSize);
    std::string header("ID3\x03\x00\x00", 6);
    for (int shift = 21; shift >= 0; shift -= 7) header += static_cast<char>((bodySize >> shift) & 0x7F);
    block.WriteString(header);
    for (int i = 0; i < kWrittenFrames; ++i) {
        if (tag.Frame[i].empty()) continue;
        std::string frameHeader = kFrameIds[i];
        PutBigEndian32(frameHeader, static_cast<uint32_t>(tag.Frame[i].size()));
        frameHeader += std::string(2, '\0');
        block.WriteString(frameHeader);
        block.WriteString(tag.Frame[i]);
    }
    block.WriteString(std::string(static_cast<size_t>(tag.PaddingSize), '\0'));
    return block.DataString();
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
        File.Seek(0, soFromBeginning);
        if (!ReadHeader(File, tag)) return false;
    } catch (const EFileError&) {
        return false;
    }
    if (!tag.HasBlock()) return true;
    Exists = true;
    VersionID = tag.Version;
    Size = BlockSize(tag);
    if (VersionID < 2 || VersionID > 4 || Size == 0) return true;
    ReadFrames(File, tag, Size, VersionID);

    auto decode = [&](int first, int second) {
        std::string text = Decode(tag.Frame[first]);
        return text.empty() ? Decode(tag.Frame[second]) : text;
    };
    Title = decode(fTitle, fContentGroup);
    Artist = decode(fArtist, fOriginalArtist);
    Album = decode(fAlbum, fOriginalAlbum);
    TrackString = Decode(tag.Frame[fTrack]);
    const std::string number = TrackString.substr(0, TrackString.find('/'));
    Track = static_cast<uint16_t>(tagtext::ParseDecimal(number).value_or(0));
    Year = Decode(tag.Frame[fYear]);
    if (Year.empty()) Year = tagtext::FirstChars(Decode(tag.Frame[fRecordingTime]), 4);
    Genre = Decode(tag.Frame[fGenre]);
    if (size_t close = Genre.rfind(')'); close != std::string::npos) Genre = Trim(Genre.substr(close + 1));
    Comment = DecodeComment(tag.Frame[fComment]);
    Composer = Decode(tag.Frame[fComposer]);
    Encoder = Decode(tag.Frame[fEncoder]);
    Copyright = Decode(tag.Frame[fCopyright]);
    Language = Decode(tag.Frame[fLanguage]);
    Link = DecodeLink(tag.Frame[fLink]);
    AudioSizeText = Decode(tag.Frame[fSize]);
    return true;
}

bool TID3v2::SaveToFile(const std::string& FileName) {
    TagInfo tag;
    const bool headerRead = ReadHeader(FileName, tag);
    tag.Frame[fTitle] = Title.empty() ? "" : EncodeText(Title);
    tag.Frame[fArtist] = Artist.empty() ? "" : EncodeText(Artist);
    tag.Frame[fAlbum] = Album.empty() ? "" : EncodeText(Album);
    tag.Frame[fTrack] = Track == 0 ? "" : EncodeText(std::to_string(Track));
    tag.Frame[fYear] = Year.empty() ? "" : EncodeText(Year);
    tag.Frame[fGenre] = Genre.empty() ? "" : EncodeText(Genre);
    tag.Frame[fComment] = Comment.empty() ? "" : EncodeText(Comment, std::string("eng\0", 4),
                                                            "eng" + kUtf16Bom + std::string(2, '\0'));
    tag.Frame[fComposer] = Composer.empty() ? "" : EncodeText(Composer);
    tag.Frame[fEncoder] = Encoder.empty() ? "" : EncodeText(Encoder);
    tag.Frame[fCopyright] = Copyright.empty() ? "" : EncodeText(Copyright);
    tag.Frame[fLanguage] = Language.empty() ? "" : EncodeText(Language);
    tag.Frame[fLink] = Link.empty() ? "" : EncodeLink(Link);

    int64_t contentSize = kHeaderSize;
    for (int i = 0; i < kWrittenFrames; ++i)
        if (!tag.Frame[i].empty()) contentSize += static_cast<int64_t>(tag.Frame[i].size()) + 10;
    const int32_t oldSize = BlockSize(tag);
    tag.NeedRewrite = !(tag.HasBlock() && oldSize >= contentSize && oldSize <= kFixedBlockSize);
    const int64_t padding = (tag.NeedRewrite ? kFixedBlockSize : oldSize) - contentSize;
    tag.PaddingSize = static_cast<int32_t>(std::max<int64_t>(padding, 0));
    const int64_t totalSize = contentSize + tag.PaddingSize;
    if (totalSize > kMaxBlockSize) return false;

    if (!WideFileExists(FileName) || (tag.NeedRewrite && !headerRead) || !WideFileSetAttr(FileName, 0))
        return false;
    const std::string block = AssembleBlock(tag, totalSize);
    return tag.NeedRewrite ? RebuildFile(FileName, block, oldSize) : WriteInPlace(FileName, block);
}

bool TID3v2::RemoveFromFile(const std::string& FileName) {
    TagInfo tag;
    if (!ReadHeader(FileName, tag) || !tag.HasBlock()) return false;
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
