#include "tags/OggVorbis.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/CodePage.h"
#include "tags/TagFile.h"
#include "tags/TagText.h"

namespace {

constexpr int64_t kPageFixedSize = 27;
constexpr int64_t kPageHeaderMax = kPageFixedSize + 255;
constexpr int64_t kIdentificationSize = 30;
constexpr int64_t kItemLimit = 250;
constexpr int64_t kLastPageWindows = 50;
constexpr int64_t kWindowStep = 241;
constexpr int64_t kWindowSize = 251;

// Position 0 of the comment table holds the vendor string.
enum CommentPosition { cVendor, cTitle, cArtist, cAlbum, cTrack, cDate, cGenre, cComment, cPerformer, cDescription };
constexpr int kCommentPositions = 10;
constexpr std::array<const char*, kCommentPositions> kCommentNames = {
    "", "TITLE", "ARTIST", "ALBUM", "TRACKNUMBER", "DATE", "GENRE", "COMMENT", "PERFORMER", "DESCRIPTION"};

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += char(v >> (8 * i));
}

std::string AsciiUpper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

// Surrogate code points have no UTF-8 form; they become "?" as an
// unconvertible character would.
void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | code >> 6);
        out += char(0x80 | (code & 0x3F));
    } else if (code >= 0xD800 && code <= 0xDFFF) {
        out += '?';
    } else if (code < 0x10000) {
        out += char(0xE0 | code >> 12);
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | code >> 18);
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

struct PageHeader {
    std::array<uint8_t, kPageHeaderMax> bytes{};
    // "OggS" and all of its lacing values lie within the file.
    bool whole = false;

    int segments() const { return bytes[26]; }
    const uint8_t* lacing() const { return bytes.data() + kPageFixedSize; }
    int64_t size() const { return kPageFixedSize + segments(); }
    int64_t dataSize() const {
        int64_t sum = 0;
        for (int i = 0; i < segments(); ++i) sum += lacing()[i];
        return sum;
    }
};

bool ReadPageHeader(TagStream& stream, PageHeader& page) {
    int64_t got = stream.Read(page.bytes.data(), kPageHeaderMax);
    page.whole = got >= kPageFixedSize && std::memcmp(page.bytes.data(), "OggS", 4) == 0 &&
                 got >= page.size();
    return page.whole;
}

struct FileInfo {
    PageHeader FPage;
    PageHeader SPage;
    PageHeader LPage;
    std::array<uint8_t, kIdentificationSize> VorbisHeader{};
    std::array<std::string, kCommentPositions> Tag;
    int64_t FileSize = 0;
    uint32_t Samples = 0;
    int64_t ID3v2Size = 0;
    int64_t SPagePos = 0;
    int64_t TagEndPos = 0;
    // Every length of the comment header stayed within the file.
    bool CommentsWhole = false;
};

int64_t ReadID3v2Size(TagStream& stream, int64_t fileSize) {
    uint8_t h[10] = {};
    if (stream.Read(h, 10) != 10 || std::memcmp(h, "ID3", 3) != 0) return 0;
    int64_t size = (int64_t(h[6]) << 21) + (int64_t(h[7]) << 14) + (int64_t(h[8]) << 7) + h[9];
    size += (h[5] & 0x10) ? 20 : 10;
    return size > fileSize ? 0 : size;
}

// Decodes the value's UTF-8 as far as it is well formed: the first malformed
// or cut-off sequence ends the value.
std::string DecodeUtf8(const std::string& value) {
    std::string out;
    size_t i = 0;
    while (i < value.size()) {
        uint8_t lead = value[i];
        if (lead < 0x80) {
            out += char(lead);
            ++i;
            continue;
        }
        size_t length;
        uint32_t code;
        if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else if (lead & 0x20) {
            length = 3;
            code = lead & 0x0F;
        } else {
            length = 2;
            code = lead & 0x1F;
        }
        if (i + length > value.size()) break;
        bool wellFormed = true;
        for (size_t k = 1; k < length && wellFormed; ++k) {
            uint8_t next = value[i + k];
            wellFormed = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        if (!wellFormed || (length == 4 && (code < 0x10000 || code > 0x10FFFF))) break;
        AppendUtf8(out, code);
        i += length;
    }
    return out;
}

// Our texts are UTF-8 already; bytes that are not become "?".
std::string EncodeUtf8(const std::string& text) {
    return platform::IsValidUtf8(text) ? text : platform::ConvertText(text, "UTF-8", "UTF-8");
}

void StoreItem(FileInfo& info, const std::string& item) {
    size_t eq = item.find('=');
    if (eq == std::string::npos) {
        if (info.Tag[cVendor].empty()) info.Tag[cVendor] = item;
        return;
    }
    std::string name = AsciiUpper(item.substr(0, eq));
    for (int k = cTitle; k < kCommentPositions; ++k)
        if (name == kCommentNames[k]) info.Tag[k] = DecodeUtf8(tagtext::Trim(item.substr(eq + 1)));
}

// Each item costs at least its 4-byte length, and a length reaching past the
// end of the file ends the header, so damaged counts cannot run away.
void ReadComments(TagStream& stream, FileInfo& info) {
    uint64_t count = 0;
    info.CommentsWhole = true;
    for (uint64_t i = 0; i <= count; ++i) {
        uint8_t word[4];
        if (stream.Read(word, 4) != 4) {
            info.CommentsWhole = false;
            break;
        }
        int64_t length = Le32(word);
        int64_t start = stream.Position();
        if (start + length > info.FileSize) {
            info.CommentsWhole = false;
            break;
        }
        std::string item(kItemLimit, '\0');
        stream.Read(item.data(), std::min(length, kItemLimit));
        StoreItem(info, tagtext::Trim(item));
        stream.Seek(start + length, soFromBeginning);
        if (i == 0) {
            if (stream.Read(word, 4) != 4) {
                info.CommentsWhole = false;
                break;
            }
            count = Le32(word);
        }
    }
    info.TagEndPos = stream.Position();
}

// Searches backwards from the end in small overlapping windows instead of
// reading the whole file.
void FindLastPage(TagStream& stream, FileInfo& info) {
    for (int64_t n = 1; n <= kLastPageWindows; ++n) {
        int64_t start = info.FileSize - kWindowStep * n - 10;
        if (start + kWindowStep < 0) return;
        int64_t from = std::max<int64_t>(start, 0);
        std::array<uint8_t, kWindowSize> window{};
        stream.Seek(from, soFromBeginning);
        int64_t got = stream.Read(window.data(), kWindowSize - (from - start));
        for (int64_t offset = kWindowStep; offset >= 0; --offset) {
            int64_t at = start + offset - from;
            if (at < 0 || at + 4 > got || std::memcmp(window.data() + at, "OggS", 4) != 0) continue;
            stream.Seek(start + offset, soFromBeginning);
            ReadPageHeader(stream, info.LPage);
            info.Samples = Le32(info.LPage.bytes.data() + 6);
            return;
        }
    }
}

bool ReadFileInfo(const std::string& fileName, FileInfo& info) {
    TagFileStream stream(fileName, FileMode::ShareDenyWrite);
    info.FileSize = stream.Size();
    info.ID3v2Size = ReadID3v2Size(stream, info.FileSize);
    stream.Seek(info.ID3v2Size, soFromBeginning);
    if (!ReadPageHeader(stream, info.FPage)) return false;
    stream.Seek(info.ID3v2Size + info.FPage.size(), soFromBeginning);
    if (stream.Read(info.VorbisHeader.data(), kIdentificationSize) != kIdentificationSize ||
        std::memcmp(info.VorbisHeader.data(), "\x01vorbis", 7) != 0)
        return false;
    info.SPagePos = stream.Position();
    if (ReadPageHeader(stream, info.SPage)) {
        stream.Seek(info.SPagePos + info.SPage.size(), soFromBeginning);
        uint8_t type[7] = {};
        if (stream.Read(type, 7) == 7 && std::memcmp(type, "\x03vorbis", 7) == 0) ReadComments(stream, info);
    }
    FindLastPage(stream, info);
    return true;
}

std::string BuildCommentPacket(const FileInfo& info) {
    std::string packet = "\x03vorbis";
    std::string vendor = tagtext::Trim(info.Tag[cVendor]).substr(0, kItemLimit);
    PutLe32(packet, uint32_t(vendor.size()));
    packet += vendor;
    std::vector<std::string> fields;
    for (int k = cTitle; k < kCommentPositions; ++k)
        if (!info.Tag[k].empty()) fields.push_back(std::string(kCommentNames[k]) + "=" + EncodeUtf8(info.Tag[k]));
    PutLe32(packet, uint32_t(fields.size()));
    for (const std::string& field : fields) {
        PutLe32(packet, uint32_t(field.size()));
        packet += field;
    }
    return packet;
}

// The second page's header with the comment packet's lacing values replaced
// for a packet of packetSize bytes (framing byte and any trailing bytes of
// the old packet added). Nothing when the old packet does not end in this
// page, the header was read past the packet's end, or the new table would not
// fit in one page.
std::optional<std::string> RebuildSecondPageHeader(const FileInfo& info, int64_t packetSize) {
    const PageHeader& page = info.SPage;
    const uint8_t* lacing = page.lacing();
    int segments = page.segments();
    int last = 0;
    while (last < segments && lacing[last] == 255) ++last;
    if (last == segments) return std::nullopt;
    int64_t oldSize = 0;
    for (int i = 0; i <= last; ++i) oldSize += lacing[i];
    int64_t consumed = info.TagEndPos - info.SPagePos - page.size();
    if (consumed > oldSize) return std::nullopt;
    int64_t newSize = oldSize + packetSize - consumed;
    int64_t newSegments = newSize / 255 + (segments - last - 1) + 1;
    if (newSegments > 255) return std::nullopt;
    std::string header(reinterpret_cast<const char*>(page.bytes.data()), kPageFixedSize);
    std::memset(header.data() + 22, 0, 4);
    header[26] = char(newSegments);
    header.append(size_t(newSize / 255), char(255));
    header += char(newSize % 255);
    header.append(reinterpret_cast<const char*>(lacing) + last + 1, size_t(segments - last - 1));
    return header;
}

// The Ogg page checksum: CRC-32 with generator 0x04C11DB7, most significant
// bit first, initial value 0 and no final inversion.
uint32_t OggPageChecksum(const std::string& page) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    uint32_t crc = 0;
    for (unsigned char byte : page) crc = table[(crc >> 24) ^ byte] ^ (crc << 8);
    return crc;
}

} // namespace

void TOggVorbis::FResetData() { *this = TOggVorbis(); }

bool TOggVorbis::ReadFromFile(const std::string& FileName) {
    FResetData();
    FileInfo info;
    if (!ReadFileInfo(FileName, info)) return false;
    FileSize = info.FileSize;
    ID3v2Size = int32_t(info.ID3v2Size);
    Samples = int32_t(info.Samples);
    const uint8_t* id = info.VorbisHeader.data();
    ChannelModeID = id[11];
    SampleRate = int32_t(Le32(id + 12));
    BitRateNominal = uint16_t(Le32(id + 20) / 1000);
    Title = info.Tag[cTitle];
    Artist = info.Tag[cArtist].empty() ? info.Tag[cPerformer] : info.Tag[cArtist];
    Album = info.Tag[cAlbum];
    const std::string& track = info.Tag[cTrack];
    Track = uint8_t(tagtext::ParseDecimal(track.substr(0, track.find('/'))).value_or(0));
    Date = info.Tag[cDate];
    Genre = info.Tag[cGenre];
    Comment = info.Tag[cComment].empty() ? info.Tag[cDescription] : info.Tag[cComment];
    Vendor = info.Tag[cVendor];
    return true;
}

bool TOggVorbis::SaveTag(const std::string& FileName) {
    FileInfo info;
    if (!ReadFileInfo(FileName, info) || info.TagEndPos == 0 || !info.CommentsWhole) return false;
    info.Tag[cTitle] = tagtext::Trim(Title);
    info.Tag[cArtist] = tagtext::Trim(Artist);
    info.Tag[cAlbum] = tagtext::Trim(Album);
    info.Tag[cTrack] = Track ? std::to_string(Track) : std::string();
    info.Tag[cDate] = tagtext::Trim(Date);
    info.Tag[cGenre] = tagtext::Trim(Genre);
    info.Tag[cComment] = tagtext::Trim(Comment);
    info.Tag[cPerformer].clear();
    info.Tag[cDescription].clear();
    std::string packet = BuildCommentPacket(info);
    std::optional<std::string> header = RebuildSecondPageHeader(info, int64_t(packet.size()));
    int64_t pageEnd = info.SPagePos + info.SPage.size() + info.SPage.dataSize();
    if (!header || pageEnd > info.FileSize) return false;
    if (!WideFileExists(FileName) || !WideFileSetAttr(FileName, 0)) return false;
    return RebuildFile(FileName, [&](TagFileStream& source, TagFileStream& temp) {
        std::string rest(size_t(pageEnd - info.TagEndPos), '\0');
        source.Seek(info.TagEndPos, soFromBeginning);
        source.ReadBuffer(rest.data(), int64_t(rest.size()));
        std::string page = *header + packet + rest;
        uint32_t crc = OggPageChecksum(page);
        for (int i = 0; i < 4; ++i) (*header)[22 + i] = char(crc >> (8 * i));
        source.Seek(0, soFromBeginning);
        temp.CopyFrom(source, info.SPagePos);
        temp.Write(header->data(), int64_t(header->size()));
        temp.Write(packet.data(), int64_t(packet.size()));
        source.Seek(info.TagEndPos, soFromBeginning);
        if (info.FileSize > info.TagEndPos) temp.CopyFrom(source, info.FileSize - info.TagEndPos);
    });
}

bool TOggVorbis::ClearTag(const std::string& FileName) {
    Title.clear();
    Artist.clear();
    Album.clear();
    Date.clear();
    Genre.clear();
    Comment.clear();
    Track = 0;
    return SaveTag(FileName);
}
