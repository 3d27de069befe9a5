#include "tags/MP4Tags.h"

#include <cstring>
#include <optional>
#include <string_view>

#include "platform/CodePage.h"
#include "tags/ID3v1.h"
#include "tags/TagReadStream.h"

namespace {

constexpr uint32_t kUtf8Data = 1;
// Longer values are not tags worth showing; they are skipped unread.
constexpr int64_t kValueLimit = 64 * 1024;

struct Atom {
    std::string Type;
    int64_t Body = 0; // after the header
    int64_t End = 0;
};

uint64_t Be(const char* p, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | uint8_t(p[i]);
    return v;
}

class AtomReader {
  public:
    explicit AtomReader(TagStream& Stream) : stream_(Stream), size_(Stream.Size()) {}
    int64_t FileSize() const { return size_; }

    bool ReadAt(int64_t at, char* out, int64_t count) {
        if (at < 0 || size_ - at < count) return false;
        stream_.Seek(at, soFromBeginning);
        return stream_.Read(out, count) == count;
    }

    // The atom at the position, which must end within the parent's end; the
    // position then moves past it. Sizes 1 (64-bit size) and 0 (to the end)
    // are understood.
    std::optional<Atom> Next(int64_t& at, int64_t end) {
        char h[16];
        if (end - at < 8 || !ReadAt(at, h, 8)) return std::nullopt;
        uint64_t size = Be(h, 4);
        int64_t header = 8;
        if (size == 1) {
            if (end - at < 16 || !ReadAt(at + 8, h + 8, 8)) return std::nullopt;
            size = Be(h + 8, 8);
            header = 16;
        } else if (size == 0) {
            size = uint64_t(end - at);
        }
        if (size < uint64_t(header) || size > uint64_t(end - at)) return std::nullopt;
        Atom atom{std::string(h + 4, 4), at + header, at + int64_t(size)};
        at = atom.End;
        return atom;
    }

    // Each atom costs at least its 8-byte header, so the search ends within the parent.
    std::optional<Atom> Child(const Atom& parent, std::string_view type) {
        int64_t at = parent.Body;
        while (std::optional<Atom> atom = Next(at, parent.End))
            if (atom->Type == type) return atom;
        return std::nullopt;
    }

  private:
    TagStream& stream_;
    int64_t size_;
};

struct Data {
    uint32_t Type = 0;
    std::string Value;
};

// An item's first data atom: type, locale, value.
std::optional<Data> ItemData(AtomReader& reader, const Atom& item) {
    std::optional<Atom> data = reader.Child(item, "data");
    if (!data || data->End - data->Body < 8) return std::nullopt;
    const int64_t size = data->End - data->Body - 8;
    char head[8];
    if (size > kValueLimit || !reader.ReadAt(data->Body, head, 8)) return std::nullopt;
    Data out{uint32_t(Be(head, 4) & 0xFFFFFF), std::string(size_t(size), '\0')};
    if (!reader.ReadAt(data->Body + 8, out.Value.data(), size)) return std::nullopt;
    return out;
}

std::string* TextField(TTagNames& names, std::string_view type) {
    if (type == "\xA9nam") return &names.Title;
    if (type == "\xA9"
                "ART")
        return &names.Artist;
    if (type == "\xA9"
                "alb")
        return &names.Album;
    if (type == "\xA9"
                "day")
        return &names.Year;
    if (type == "\xA9gen") return &names.Genre;
    if (type == "\xA9"
                "cmt")
        return &names.Comment;
    return nullptr;
}

void StoreItem(AtomReader& reader, const Atom& item, TTagNames& names, bool& genreByName) {
    std::string* text = TextField(names, item.Type);
    if (!text && item.Type != "trkn" && item.Type != "gnre") return;
    std::optional<Data> data = ItemData(reader, item);
    if (!data) return;
    if (text) {
        if (data->Type != kUtf8Data) return;
        *text = platform::Utf8BeforeBreak(data->Value);
        genreByName = genreByName || text == &names.Genre;
    } else if (item.Type == "trkn" && data->Value.size() >= 4) {
        uint64_t track = Be(data->Value.data() + 2, 2);
        names.Track = track ? std::to_string(track) : std::string();
    } else if (item.Type == "gnre" && data->Value.size() >= 2 && !genreByName) {
        uint64_t number = Be(data->Value.data(), 2);
        if (number >= 1 && number <= MAX_MUSIC_GENRES) names.Genre = aTAG_MusicGenre[number - 1];
    }
}

// A meta atom is a full box (4 bytes of version and flags) in MP4 files but
// not in older QuickTime ones, where its handler atom follows at once.
int64_t MetaChildren(AtomReader& reader, const Atom& meta) {
    char h[8];
    bool quickTime = reader.ReadAt(meta.Body, h, 8) && std::memcmp(h + 4, "hdlr", 4) == 0;
    return quickTime ? meta.Body : meta.Body + 4;
}

void ReadItems(AtomReader& reader, const Atom& file, TTagNames& names) {
    std::optional<Atom> moov = reader.Child(file, "moov");
    std::optional<Atom> udta = moov ? reader.Child(*moov, "udta") : std::nullopt;
    std::optional<Atom> meta = udta ? reader.Child(*udta, "meta") : std::nullopt;
    if (!meta) return;
    meta->Body = MetaChildren(reader, *meta);
    if (meta->Body > meta->End) return;
    std::optional<Atom> ilst = reader.Child(*meta, "ilst");
    if (!ilst) return;
    bool genreByName = false;
    int64_t at = ilst->Body;
    while (std::optional<Atom> item = reader.Next(at, ilst->End))
        StoreItem(reader, *item, names, genreByName);
}

} // namespace

bool ReadMP4Tags(const std::string& FileName, TTagNames& Names) {
    try {
        TagReadStream stream(FileName);
        AtomReader reader(stream);
        const Atom file{"", 0, reader.FileSize()};
        int64_t at = 0;
        std::optional<Atom> first = reader.Next(at, file.End);
        if (!first || first->Type != "ftyp") return false;
        ReadItems(reader, file, Names);
        return true;
    } catch (const EFileError&) {
        return false;
    }
}
