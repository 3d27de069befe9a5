#include "ID3v1.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/CodePage.h"
#include "tags/TagFile.h"
#include "tags/TagText.h"

using tagtext::Trim;
using tagtext::TrimRight;

const std::array<const char*, MAX_MUSIC_GENRES> aTAG_MusicGenre = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop",
    "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game",
    "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative",
    "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial",
    "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta",
    "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American", "Cabaret", "New Wave",
    "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka",
    "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk", "Folk-Rock", "National Folk", "Swing",
    "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock",
    "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock", "Big Band", "Chorus",
    "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera", "Chamber Music", "Sonata",
    "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba",
    "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo",
    "A capella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror",
    "Indie", "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Thrash Metal", "Anime", "JPop", "Synthpop"};

namespace {

constexpr int kRecordSize = 128;
constexpr int kMarkSize = 15; // 6-digit size and "LYRICS200"
constexpr char kLyricsBegin[] = "LYRICSBEGIN";
constexpr int kLyricsBeginSize = 11;
constexpr int kMaxFieldSize = 99999;
constexpr int kMaxBlockSize = 999999;
constexpr int kFieldHeaderSize = 8; // 3-character name, 5-digit size

std::string FromFile(std::string_view raw) {
    return platform::LegacyToUtf8(raw);
}

std::string ToFile(const std::string& text) {
    return platform::Utf8ToLegacy(text);
}

// A field of the record: at most size bytes of the text in the file's code page.
void PutField(char* at, const std::string& text, size_t size) {
    std::string bytes = ToFile(text);
    std::memcpy(at, bytes.data(), std::min(bytes.size(), size));
}

void SetWithExtended(std::string& plain, std::string& extended, const std::string& value) {
    plain = TrimRight(value);
    extended = ToFile(plain).size() >= 31 ? plain : std::string();
}

bool IsVersion11(const unsigned char* record) {
    const unsigned char c28 = record[125], c29 = record[126];
    return (c28 == 0 && c29 != 0) || (c28 == 0x20 && c29 != 0x20);
}

// "LYR" data as the reader keeps it: trimmed, every line ended by CR LF.
std::string LyricsText(std::string_view data) {
    std::string lines = tagtext::ReplaceAll(Trim(data), "\r", "\r\n");
    return FromFile(tagtext::ReplaceAll(lines, "\r\n\n", "\r\n"));
}

// A field as stored: name, five-digit size, data. Five digits cannot give a
// longer size; the save is refused rather than cutting the text.
std::string FieldBytes(const std::string& name, const std::string& data) {
    if (data.size() > kMaxFieldSize) throw EFileError(name, "Lyrics3 field too long");
    char size[6];
    std::snprintf(size, sizeof size, "%05zu", data.size());
    return name + size + data;
}

// The start mark, the fields and the end mark with the block's size.
std::string WrapLyrics3(const std::string& fields) {
    const std::string block = kLyricsBegin + fields;
    if (block.size() > kMaxBlockSize) throw EFileError("LYRICSBEGIN", "Lyrics3 block too long");
    char mark[7];
    std::snprintf(mark, sizeof mark, "%06zu", block.size());
    return block + mark + "LYRICS200";
}

struct RawField {
    std::string name;
    std::string data;
};

// The fields of a Lyrics3 block as stored, and the bytes after the last one
// that parses, which are kept as they are. A field whose size runs past the
// block is not one: its data would be the end mark and the record after it.
std::vector<RawField> SplitFields(const std::string& bytes, std::string& rest) {
    std::vector<RawField> fields;
    size_t at = 0;
    while (bytes.size() - at >= kFieldHeaderSize) {
        const int32_t size = tagtext::ParseDecimal(std::string_view(bytes.data() + at + 3, 5)).value_or(-1);
        if (size < 0 || bytes.size() - at - kFieldHeaderSize < size_t(size)) break;
        fields.push_back({bytes.substr(at, 3), bytes.substr(at + kFieldHeaderSize, size_t(size))});
        at += kFieldHeaderSize + size_t(size);
    }
    rest = bytes.substr(at);
    return fields;
}

} // namespace

TID3v1::TID3v1() {
    ResetData();
}

void TID3v1::ResetData() {
    Exists = false;
    VersionID = 1;
    Title.clear();
    Artist.clear();
    Album.clear();
    Year.clear();
    Comment.clear();
    Track = 0;
    GenreID = 255;
    HasLyrics3 = false;
    Lyrics3Size = 0;
    ExtArtist.clear();
    ExtAlbum.clear();
    ExtTitle.clear();
    ExtComment.clear();
    Image.clear();
    Author.clear();
    Lyrics.clear();
}

bool TID3v1::ReadFromFile(const std::string& FileName) {
    ResetData();
    return ReadTag(FileName, true);
}

bool TID3v1::ReadFromStream(TagStream& File) {
    ResetData();
    try {
        ReadTagFrom(File, true);
        return true;
    } catch (const EFileError&) {
        return false;
    }
}

bool TID3v1::ReadTag(const std::string& FileName, bool Parse) {
    try {
        TagFileStream file(FileName, FileMode::ReadOnly | FileMode::ShareDenyWrite);
        ReadTagFrom(file, Parse);
        return true;
    } catch (const EFileError&) {
        return false;
    }
}

void TID3v1::ReadTagFrom(TagStream& file, bool Parse) {
    const int64_t size = file.Size();
    // The record and the Lyrics3 end mark before it, in one read.
    unsigned char end[kRecordSize + kMarkSize] = {};
    const int64_t endSize = std::min<int64_t>(size, sizeof end);
    file.Seek(size - endSize, soFromBeginning);
    file.Read(end, endSize);
    // A file shorter than a block it seems to hold has no such block.
    if (size >= kRecordSize) {
        const unsigned char* record = end + endSize - kRecordSize;
        if (std::memcmp(record, "TAG", 3) == 0) Exists = true;
        if (Exists && Parse) ParseRecord(record);
    }
    const int64_t skip = Exists ? kRecordSize + kMarkSize : kMarkSize;
    if (size < skip) return;
    const char* mark = reinterpret_cast<const char*>(end + endSize - skip);
    if (std::memcmp(mark + 6, "LYRICS200", 9) != 0) return;
    Lyrics3Size = tagtext::ParseDecimal(std::string_view(mark, 6)).value_or(0);
    if (Lyrics3Size <= 0) return;
    const int64_t start = size - Lyrics3Size - skip;
    char begin[kLyricsBeginSize] = {};
    if (start >= 0) {
        file.Seek(start, soFromBeginning);
        file.Read(begin, kLyricsBeginSize);
    }
    HasLyrics3 = std::memcmp(begin, kLyricsBegin, kLyricsBeginSize) == 0;
    if (!HasLyrics3) {
        Lyrics3Size = 0;
        return;
    }
    if (Parse) ReadLyrics3Fields(file);
}

void TID3v1::ParseRecord(const unsigned char* record) {
    auto text = [&](int offset, int size) {
        return FromFile(TrimRight(std::string_view(reinterpret_cast<const char*>(record) + offset, size)));
    };
    VersionID = IsVersion11(record) ? 2 : 1;
    FSetTitle(text(3, 30));
    FSetArtist(text(33, 30));
    FSetAlbum(text(63, 30));
    FSetYear(text(93, 4));
    if (VersionID == 1) {
        FSetComment(text(97, 30));
    } else {
        FSetComment(text(97, 28));
        Track = record[126];
    }
    GenreID = record[127];
}

void TID3v1::ReadLyrics3Fields(TagStream& file) {
    std::string body(static_cast<size_t>(std::max(0, Lyrics3Size - kLyricsBeginSize)), '\0');
    body.resize(static_cast<size_t>(file.Read(body.data(), static_cast<int64_t>(body.size()))));
    std::string rest;
    for (const RawField& field : SplitFields(body, rest)) {
        const std::string& data = field.data;
        if (field.name == "IND") {
        } else if (field.name == "LYR") {
            Lyrics = LyricsText(data);
        } else if (field.name == "INF") {
            FSetComment(FromFile(Trim(data)));
        } else if (field.name == "AUT") {
            Author = FromFile(Trim(data));
        } else if (field.name == "EAL") {
            FSetAlbum(FromFile(Trim(data)));
        } else if (field.name == "EAR") {
            FSetArtist(FromFile(Trim(data)));
        } else if (field.name == "ETT") {
            FSetTitle(FromFile(Trim(data)));
        } else if (field.name == "IMG") {
            Image = FromFile(data);
        } else {
            return;
        }
    }
}

std::string TID3v1::BuildLyrics3Block() const {
    const bool anyContent = !Lyrics.empty() || !Author.empty() || !Image.empty();
    const bool anyText = !Lyrics.empty() || !Author.empty() || !ExtArtist.empty() || !ExtAlbum.empty() ||
                         !ExtComment.empty() || !ExtTitle.empty();
    if (!anyContent || !anyText) return {};
    std::string fields = Lyrics.empty() ? "IND0000200" : "IND0000210";
    const std::pair<const char*, const std::string*> values[] = {
        {"EAL", &ExtAlbum}, {"EAR", &ExtArtist}, {"ETT", &ExtTitle}, {"INF", &ExtComment},
        {"AUT", &Author},   {"LYR", &Lyrics},    {"IMG", &Image}};
    for (const auto& [name, value] : values)
        if (!Trim(*value).empty()) fields += FieldBytes(name, ToFile(*value));
    return WrapLyrics3(fields);
}

std::string TID3v1::MergeLyrics3Block(const std::string& OldFields) const {
    struct Known {
        const char* name;
        std::string shown; // what the object holds, as a read of the field would give it
        std::string value; // written when it differs; empty drops the field
        bool onlyWhenSet;  // an empty value keeps the file's field
    };
    const Known known[] = {
        {"EAL", FGetAlbum(), ExtAlbum, false}, {"EAR", FGetArtist(), ExtArtist, false},
        {"ETT", FGetTitle(), ExtTitle, false}, {"INF", FGetComment(), ExtComment, false},
        {"AUT", Author, Author, true},         {"LYR", Lyrics, Lyrics, true},
        {"IMG", Image, Image, true}};
    std::string rest;
    std::vector<RawField> fields = SplitFields(OldFields, rest);
    auto shownByFile = [](const RawField& field) {
        if (field.name == "LYR") return LyricsText(field.data);
        if (field.name == "IMG") return FromFile(field.data);
        return FromFile(Trim(field.data));
    };
    size_t insertAt = !fields.empty() && fields.front().name == "IND" ? 1 : 0;
    for (const Known& k : known) {
        const bool set = !Trim(k.value).empty();
        if (k.onlyWhenSet && !set) continue;
        auto last = std::find_if(fields.rbegin(), fields.rend(), [&](const RawField& f) { return f.name == k.name; });
        if (last != fields.rend() && shownByFile(*last) == k.shown) continue;
        auto first = std::find_if(fields.begin(), fields.end(), [&](const RawField& f) { return f.name == k.name; });
        const bool present = first != fields.end();
        size_t at = present ? size_t(first - fields.begin()) : insertAt;
        std::erase_if(fields, [&](const RawField& f) { return f.name == k.name; });
        if (!set) continue;
        fields.insert(fields.begin() + long(at), {k.name, ToFile(k.value)});
        if (!present) ++insertAt;
    }
    std::string bytes;
    bool content = !rest.empty();
    for (const RawField& field : fields) {
        bytes += FieldBytes(field.name, field.data);
        content = content || field.name != "IND";
    }
    return content ? WrapLyrics3(bytes + rest) : std::string();
}

std::string TID3v1::BuildRecord(uint8_t TrackNumber) const {
    char record[kRecordSize] = {};
    std::memcpy(record, "TAG", 3);
    PutField(record + 3, TrimRight(FGetTitle()), 30);
    PutField(record + 33, TrimRight(FGetArtist()), 30);
    PutField(record + 63, TrimRight(FGetAlbum()), 30);
    PutField(record + 93, Year, 4);
    PutField(record + 97, TrimRight(FGetComment()), 30);
    if (TrackNumber != 0) {
        record[125] = 0;
        record[126] = static_cast<char>(TrackNumber);
    }
    record[127] = static_cast<char>(GenreID);
    return std::string(record, kRecordSize);
}

bool TID3v1::ReplaceTail(const std::string& FileName, int64_t CutBytes, const std::string& Tail) {
    if (!WideFileSetAttr(FileName, 0)) return false;
    try {
        TagFileStream file(FileName, FileMode::ReadWrite | FileMode::ShareDenyWrite);
        const int64_t size = file.Size();
        const int64_t from = size - CutBytes;
        if (from < 0) return false;
        std::string old(static_cast<size_t>(CutBytes), '\0');
        file.Seek(from, soFromBeginning);
        file.ReadBuffer(old.data(), CutBytes);
        try {
            file.Seek(from, soFromBeginning);
            file.WriteString(Tail);
            file.SetSize(from + static_cast<int64_t>(Tail.size()));
            file.Flush();
        } catch (const EFileError&) {
            // The old blocks go back where they were: that space was the
            // file's before, so a full disk does not stop it.
            file.Seek(from, soFromBeginning);
            file.WriteString(old);
            file.SetSize(size);
            return false;
        }
        return true;
    } catch (const EFileError&) {
        return false;
    }
}

bool TID3v1::WriteBlocks(const std::string& FileName, int64_t CutBytes, bool Lyrics3Allowed) {
    std::string lyrics;
    try {
        if (Lyrics3Allowed) lyrics = BuildLyrics3Block();
    } catch (const EFileError&) {
        return false;
    }
    if (!ReplaceTail(FileName, CutBytes, lyrics + BuildRecord(Track))) return false;
    HasLyrics3 = HasLyrics3 || !lyrics.empty();
    if (!lyrics.empty()) Lyrics3Size = static_cast<int32_t>(lyrics.size()) - kMarkSize;
    return true;
}

bool TID3v1::SaveTag(const std::string& FileName, bool Lyrics3Allowed) {
    return WriteBlocks(FileName, 0, Lyrics3Allowed);
}

bool TID3v1::ExamineFile(const std::string& FileName, std::string* Record, std::string* Lyrics3,
                         bool* Lyrics3Stacked) {
    Exists = false;
    HasLyrics3 = false;
    Lyrics3Size = 0;
    try {
        TagFileStream file(FileName, FileMode::ReadOnly | FileMode::ShareDenyWrite);
        ReadTagFrom(file, false);
        const int64_t size = file.Size();
        if (Record && Exists) {
            Record->resize(kRecordSize);
            file.Seek(size - kRecordSize, soFromBeginning);
            file.ReadBuffer(Record->data(), kRecordSize);
        }
        if (Lyrics3 && HasLyrics3 && Lyrics3Size >= kLyricsBeginSize) {
            const int64_t start = size - (Exists ? kRecordSize : 0) - kMarkSize - Lyrics3Size;
            Lyrics3->resize(static_cast<size_t>(Lyrics3Size - kLyricsBeginSize));
            file.Seek(start + kLyricsBeginSize, soFromBeginning);
            file.ReadBuffer(Lyrics3->data(), static_cast<int64_t>(Lyrics3->size()));
            if (Lyrics3Stacked && start >= kMarkSize) {
                char mark[kMarkSize];
                file.Seek(start - kMarkSize, soFromBeginning);
                file.ReadBuffer(mark, kMarkSize);
                *Lyrics3Stacked = std::memcmp(mark + 6, "LYRICS200", 9) == 0;
            }
        }
        return true;
    } catch (const EFileError&) {
        return false;
    }
}

bool TID3v1::RemoveFromFile(const std::string& FileName, bool Rewrite) {
    if (!ExamineFile(FileName)) return false;
    if (!Exists && !HasLyrics3) return true;
    const int64_t cut = FGetTagSize();
    if (!ReplaceTail(FileName, cut, Rewrite ? BuildRecord(Track) : std::string())) return false;
    Exists = Rewrite;
    HasLyrics3 = false;
    Lyrics3Size = 0;
    return true;
}

bool TID3v1::SaveToFile(const std::string& FileName) {
    std::string oldRecord, oldLyrics3;
    bool stacked = false;
    if (!ExamineFile(FileName, &oldRecord, &oldLyrics3, &stacked)) return false;
    const int64_t cut = FGetTagSize();
    uint8_t track = Track;
    const auto* record = reinterpret_cast<const unsigned char*>(oldRecord.data());
    if (track == 0 && Exists && IsVersion11(record)) track = record[126];
    std::string lyrics;
    try {
        lyrics = HasLyrics3 ? MergeLyrics3Block(oldLyrics3) : BuildLyrics3Block();
    } catch (const EFileError&) {
        return false;
    }
    // A file may hold an older block stacked before its last one; dropping
    // the last would make a reader take the older one for the file's tag.
    if (lyrics.empty() && stacked)
        lyrics = WrapLyrics3(FieldBytes("IND", "00"));
    if (!ReplaceTail(FileName, cut, lyrics + BuildRecord(track))) return false;
    Track = track;
    Exists = true;
    HasLyrics3 = !lyrics.empty();
    Lyrics3Size = lyrics.empty() ? 0 : static_cast<int32_t>(lyrics.size()) - kMarkSize;
    return true;
}

std::string TID3v1::FGetTitle() const {
    return ExtTitle.empty() ? Title : ExtTitle;
}

std::string TID3v1::FGetArtist() const {
    return ExtArtist.empty() ? Artist : ExtArtist;
}

std::string TID3v1::FGetAlbum() const {
    return ExtAlbum.empty() ? Album : ExtAlbum;
}

std::string TID3v1::FGetComment() const {
    return ExtComment.empty() ? Comment : ExtComment;
}

std::string TID3v1::FGetGenre() const {
    return GenreID < MAX_MUSIC_GENRES ? aTAG_MusicGenre[GenreID] : std::string();
}

std::string TID3v1::FGetTrackString() const {
    return Track == 0 ? std::string() : std::to_string(Track);
}

int32_t TID3v1::FGetLyrics2Size() const {
    return Lyrics3Size > 0 ? Lyrics3Size + kMarkSize : 0;
}

int32_t TID3v1::FGetTagSize() const {
    return FGetLyrics2Size() + (Exists ? kRecordSize : 0);
}

bool TID3v1::FGetHasLyrics() const {
    return !Trim(Lyrics).empty();
}

void TID3v1::FSetTitle(const std::string& Value) {
    SetWithExtended(Title, ExtTitle, Value);
}

void TID3v1::FSetArtist(const std::string& Value) {
    SetWithExtended(Artist, ExtArtist, Value);
}

void TID3v1::FSetAlbum(const std::string& Value) {
    SetWithExtended(Album, ExtAlbum, Value);
}

void TID3v1::FSetComment(const std::string& Value) {
    SetWithExtended(Comment, ExtComment, Value);
}

void TID3v1::FSetYear(const std::string& Value) {
    Year = tagtext::FirstChars(TrimRight(Value), 4);
}

void TID3v1::FSetGenre(const std::string& Name) {
    GenreID = 255;
    const std::string wanted = platform::AsciiUpper(Name);
    for (int i = 0; i < MAX_MUSIC_GENRES; ++i) {
        if (platform::AsciiUpper(aTAG_MusicGenre[i]) == wanted) {
            GenreID = static_cast<uint8_t>(i);
            return;
        }
    }
}
