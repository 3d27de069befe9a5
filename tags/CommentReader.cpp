#include "tags/CommentReader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "tags/TagFile.h"
#include "tags/TagText.h"
#include "tags/VorbisComment.h"

namespace vorbiscomment {

namespace {

// What the reader sees of a comment (VorbisComment's Split).
constexpr size_t kItemLimit = 250;
// Enough for the longest wanted name, its "=" and leading blanks.
constexpr size_t kNamePeek = 32;

constexpr std::array<std::string_view, 9> kWanted = {"TITLE",   "ARTIST",      "PERFORMER",
                                                     "ALBUM",   "DATE",        "GENRE",
                                                     "COMMENT", "DESCRIPTION", "TRACKNUMBER"};

bool Wanted(std::string_view head) {
    std::optional<Field> field = Split(head);
    return field && std::find(kWanted.begin(), kWanted.end(), field->Name) != kWanted.end();
}

std::optional<uint32_t> ReadLe32(Source& source) {
    std::string bytes;
    if (!source.Read(4, bytes)) return std::nullopt;
    auto b = [&](int i) { return uint32_t(uint8_t(bytes[i])); };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

// The first bytes of the next comment, as many as the reader sees of it.
std::optional<std::string> ReadItem(Source& source) {
    std::optional<uint32_t> length = ReadLe32(source);
    if (!length) return std::nullopt;
    std::string item;
    size_t first = *length > kItemLimit ? kNamePeek : *length;
    if (!source.Read(first, item)) return std::nullopt;
    if (*length > kItemLimit && Wanted(item)) {
        std::string more;
        if (!source.Read(kItemLimit - kNamePeek, more)) return std::nullopt;
        item += more;
    }
    if (!source.Skip(*length - item.size())) return std::nullopt;
    return item;
}

void Store(TTagNames& names, std::string& performer, std::string& description, const Field& field) {
    std::string value = DecodeUtf8(field.Value);
    if (field.Name == "TITLE") names.Title = value;
    if (field.Name == "ARTIST") names.Artist = value;
    if (field.Name == "PERFORMER") performer = value;
    if (field.Name == "ALBUM") names.Album = value;
    if (field.Name == "DATE") names.Year = value;
    if (field.Name == "GENRE") names.Genre = value;
    if (field.Name == "COMMENT") names.Comment = value;
    if (field.Name == "DESCRIPTION") description = value;
    if (field.Name == "TRACKNUMBER") {
        int32_t track = tagtext::ParseDecimal(value.substr(0, value.find('/'))).value_or(0);
        names.Track = track > 0 ? std::to_string(track) : std::string();
    }
}

} // namespace

bool FileRegion::Read(size_t Count, std::string& Out) {
    if (uint64_t(end_ - at_) < Count) return false;
    Out.resize(Count);
    stream_.Seek(at_, soFromBeginning);
    if (stream_.Read(Out.data(), int64_t(Count)) != int64_t(Count)) return false;
    at_ += int64_t(Count);
    return true;
}

bool FileRegion::Skip(uint64_t Count) {
    if (uint64_t(end_ - at_) < Count) return false;
    at_ += int64_t(Count);
    return true;
}

TTagNames ReadFields(Source& Comment) {
    TTagNames names;
    std::string performer, description;
    std::optional<uint32_t> vendor = ReadLe32(Comment);
    if (!vendor || !Comment.Skip(*vendor)) return names;
    std::optional<uint32_t> count = ReadLe32(Comment);
    for (uint32_t i = 0; count && i < *count; ++i) {
        std::optional<std::string> item = ReadItem(Comment);
        if (!item) break;
        if (std::optional<Field> field = Split(*item)) Store(names, performer, description, *field);
    }
    if (names.Artist.empty()) names.Artist = performer;
    if (names.Comment.empty()) names.Comment = description;
    return names;
}

} // namespace vorbiscomment
