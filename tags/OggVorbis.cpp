#include "tags/OggVorbis.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/CodePage.h"
#include "tags/OggPages.h"
#include "tags/TagFile.h"
#include "tags/TagText.h"
#include "tags/VorbisComment.h"

namespace {

constexpr size_t kIdentificationSize = 30;
constexpr int64_t kLastPageWindows = 50;
constexpr int64_t kWindowStep = 241;
constexpr int64_t kWindowSize = 251;

// Position 0 of the comment table holds the vendor string.
enum CommentPosition { cVendor, cTitle, cArtist, cAlbum, cTrack, cDate, cGenre, cComment, cPerformer, cDescription };
constexpr int kCommentPositions = 10;
// The positions a save writes: TITLE to COMMENT.
constexpr int kWrittenPositions = cComment + 1;
constexpr std::array<const char*, kCommentPositions> kCommentNames = {
    "", "TITLE", "ARTIST", "ALBUM", "TRACKNUMBER", "DATE", "GENRE", "COMMENT", "PERFORMER", "DESCRIPTION"};

uint32_t Le32(const char* p) {
    auto b = [&](int i) { return uint32_t(uint8_t(p[i])); };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

// The stream's first packets, gathered from its pages.
struct Packets {
    std::vector<std::string> Whole;
    std::string Partial; // the packet the pages ran out in
    std::vector<ogg::Page> Pages;
    // One stream only, continuation flags that agree with the lacing, the
    // identification packet alone on the first page and the last packet
    // wanted ending its page: what a rewrite of these pages relies on.
    bool Plain = true;
};

struct FileInfo {
    int64_t FileSize = 0;
    int64_t ID3v2Size = 0;
    std::string Identification;
    uint32_t Samples = 0;
    std::array<std::string, kCommentPositions> Tag;
    Packets Headers;
};

int64_t ReadID3v2Size(TagStream& stream, int64_t fileSize) {
    uint8_t h[10] = {};
    if (stream.Read(h, 10) != 10 || std::memcmp(h, "ID3", 3) != 0) return 0;
    int64_t size = (int64_t(h[6]) << 21) + (int64_t(h[7]) << 14) + (int64_t(h[8]) << 7) + h[9];
    size += (h[5] & 0x10) ? 20 : 10;
    return size > fileSize ? 0 : size;
}

// Gathers packets from the first page on until wanted of them are whole or
// the pages end; pages are kept only for a rewrite. The pages read are at
// most the file, so a packet that never ends costs the file's size.
Packets GatherPackets(ogg::PageReader& reader, const ogg::Page& first, size_t wanted, bool keepPages) {
    Packets out;
    bool continues = false;
    ogg::Page page = first;
    bool firstPage = true;
    do {
        if (page.Serial() != first.Serial()) {
            out.Plain = false;
            continue;
        }
        if (bool(page.Flags() & ogg::kContinued) != continues) out.Plain = false;
        size_t at = 0;
        for (int i = 0; i < page.Segments() && out.Whole.size() < wanted; ++i) {
            uint8_t value = page.Lacing(i);
            out.Partial.append(page.Body, at, value);
            at += value;
            continues = value == 255;
            if (continues) continue;
            out.Whole.push_back(std::move(out.Partial));
            out.Partial.clear();
            if (out.Whole.size() == wanted && i + 1 != page.Segments()) out.Plain = false;
        }
        if (firstPage && (out.Whole.size() != 1 || !out.Partial.empty())) out.Plain = false;
        firstPage = false;
        if (keepPages) out.Pages.push_back(std::move(page));
    } while (out.Whole.size() < wanted && reader.Next(page));
    return out;
}

void StoreItem(FileInfo& info, std::string_view item) {
    std::optional<vorbiscomment::Field> field = vorbiscomment::Split(item);
    if (!field) {
        if (info.Tag[cVendor].empty()) info.Tag[cVendor] = tagtext::Trim(item.substr(0, std::min<size_t>(item.size(), 250)));
        return;
    }
    for (int k = cTitle; k < kCommentPositions; ++k)
        if (field->Name == kCommentNames[k]) info.Tag[k] = vorbiscomment::DecodeUtf8(field->Value);
}

// Searches backwards from the end in small overlapping windows instead of
// reading the whole file.
void FindLastPage(TagStream& stream, FileInfo& info) {
    for (int64_t n = 1; n <= kLastPageWindows; ++n) {
        int64_t start = info.FileSize - kWindowStep * n - 10;
        if (start + kWindowStep < 0) return;
        int64_t from = std::max<int64_t>(start, 0);
        std::array<char, kWindowSize> window{};
        stream.Seek(from, soFromBeginning);
        int64_t got = stream.Read(window.data(), kWindowSize - (from - start));
        for (int64_t offset = kWindowStep; offset >= 0; --offset) {
            int64_t at = start + offset - from;
            if (at < 0 || at + 4 > got || std::memcmp(window.data() + at, "OggS", 4) != 0) continue;
            char header[ogg::kFixedHeaderSize] = {};
            stream.Seek(start + offset, soFromBeginning);
            stream.Read(header, ogg::kFixedHeaderSize);
            info.Samples = Le32(header + 6);
            return;
        }
    }
}

// False when the file is not Ogg Vorbis. For a rewrite the packets up to the
// setup header are gathered and their pages kept; a read stops after the
// comment header.
bool ReadFileInfo(const std::string& fileName, FileInfo& info, bool forRewrite) {
    TagFileStream stream(fileName, FileMode::ShareDenyWrite);
    info.FileSize = stream.Size();
    info.ID3v2Size = ReadID3v2Size(stream, info.FileSize);
    ogg::PageReader reader(stream, info.ID3v2Size);
    ogg::Page first;
    if (!reader.Next(first) || first.Body.size() < kIdentificationSize || first.Body.compare(0, 7, "\x01vorbis") != 0)
        return false;
    info.Identification = first.Body.substr(0, kIdentificationSize);
    info.Headers = GatherPackets(reader, first, forRewrite ? 3 : 2, forRewrite);
    const Packets& headers = info.Headers;
    std::string_view comment = headers.Whole.size() > 1 ? std::string_view(headers.Whole[1])
                               : headers.Whole.size() == 1 ? std::string_view(headers.Partial)
                                                           : std::string_view();
    // The vendor string is taken like a comment, ahead of the others.
    StoreItem(info, vorbiscomment::Vendor(comment));
    vorbiscomment::Walk(comment, [&](std::string_view item) { StoreItem(info, item); });
    FindLastPage(stream, info);
    return true;
}

// The seven values a save writes, as the reader would show them.
struct Values {
    std::array<std::string, kWrittenPositions> Text;
    uint16_t Track = 0;
};

uint16_t TrackNumber(const std::string& text) {
    return uint8_t(tagtext::ParseDecimal(text.substr(0, text.find('/'))).value_or(0));
}

Values ValuesOf(const std::array<std::string, kCommentPositions>& tag) {
    Values v;
    for (int k = cTitle; k < kWrittenPositions; ++k) v.Text[k] = tag[k];
    if (v.Text[cArtist].empty()) v.Text[cArtist] = tag[cPerformer];
    if (v.Text[cComment].empty()) v.Text[cComment] = tag[cDescription];
    v.Track = TrackNumber(tag[cTrack]);
    return v;
}

// Lays the packets out on as many pages as the old ones when they fit
// there, else on as few as hold them, spread evenly. The first new page
// follows the identification page; the last takes the old last one's
// granule position and end-of-stream flag.
std::vector<ogg::Page> LayOutPages(const std::vector<std::string>& packets, const std::vector<ogg::Page>& old) {
    std::vector<uint8_t> lacing;
    std::string body;
    for (const std::string& packet : packets) {
        lacing.insert(lacing.end(), packet.size() / 255, 255);
        lacing.push_back(uint8_t(packet.size() % 255));
        body += packet;
    }
    const size_t total = lacing.size();
    const size_t fewest = (total + ogg::kMaxSegments - 1) / ogg::kMaxSegments;
    const size_t count = fewest <= old.size() && old.size() <= total ? old.size() : fewest;
    const ogg::Page& last = old.back();
    std::vector<ogg::Page> pages;
    size_t segment = 0, at = 0;
    bool continues = false;
    for (size_t p = 0; p < count; ++p) {
        size_t segments = total / count + (p < total % count ? 1 : 0);
        std::vector<uint8_t> values(lacing.begin() + long(segment), lacing.begin() + long(segment + segments));
        size_t size = 0;
        bool packetEnds = false;
        for (uint8_t v : values) {
            size += v;
            packetEnds = packetEnds || v < 255;
        }
        bool isLast = p + 1 == count;
        uint8_t flags = uint8_t((continues ? ogg::kContinued : 0) | (isLast ? last.Flags() & ogg::kLastPage : 0));
        uint64_t granule = isLast ? last.Granule() : packetEnds ? 0 : ~uint64_t(0);
        uint32_t sequence = p < old.size() ? old[p].Sequence() : last.Sequence() + uint32_t(p + 1 - old.size());
        pages.push_back(ogg::MakePage(flags, granule, last.Serial(), sequence, values, body.substr(at, size)));
        segment += segments;
        at += size;
        continues = values.back() == 255;
    }
    return pages;
}

// Copies the pages from the source's position on, with the sequence numbers
// of this stream's pages moved by delta, up to the stream's last page; the
// rest (a chained stream, trailing bytes) is copied as it is. Bytes that are
// not whole pages before the stream's end refuse the save.
void CopyRenumbered(TagFileStream& source, TagFileStream& temp, int64_t from, uint32_t serial, uint32_t delta) {
    ogg::PageReader reader(source, from);
    ogg::Page page;
    while (reader.Position() < reader.FileSize()) {
        if (!reader.Next(page)) throw EFileError(source.FileName(), "damaged Ogg page");
        bool ours = page.Serial() == serial;
        if (ours) {
            page.SetSequence(page.Sequence() + delta);
            page.Seal();
        }
        temp.WriteString(page.Header);
        temp.WriteString(page.Body);
        if (ours && (page.Flags() & ogg::kLastPage)) break;
    }
    int64_t rest = reader.FileSize() - reader.Position();
    source.Seek(reader.Position(), soFromBeginning);
    if (rest > 0) temp.CopyFrom(source, rest);
}

} // namespace

void TOggVorbis::FResetData() { *this = TOggVorbis(); }

bool TOggVorbis::ReadFromFile(const std::string& FileName) {
    FResetData();
    FileInfo info;
    if (!ReadFileInfo(FileName, info, false)) return false;
    FileSize = info.FileSize;
    ID3v2Size = int32_t(info.ID3v2Size);
    Samples = int32_t(info.Samples);
    const char* id = info.Identification.data();
    ChannelModeID = uint8_t(id[11]);
    SampleRate = int32_t(Le32(id + 12));
    BitRateNominal = uint16_t(Le32(id + 20) / 1000);
    Values values = ValuesOf(info.Tag);
    Title = values.Text[cTitle];
    Artist = values.Text[cArtist];
    Album = values.Text[cAlbum];
    Track = values.Track;
    Date = values.Text[cDate];
    Genre = values.Text[cGenre];
    Comment = values.Text[cComment];
    Vendor = info.Tag[cVendor];
    return true;
}

bool TOggVorbis::SaveTag(const std::string& FileName) { return Rewrite(FileName, true); }

bool TOggVorbis::ClearTag(const std::string& FileName) {
    Title.clear();
    Artist.clear();
    Album.clear();
    Date.clear();
    Genre.clear();
    Comment.clear();
    Track = 0;
    return Rewrite(FileName, false);
}

bool TOggVorbis::Rewrite(const std::string& FileName, bool KeepOthers) {
    FileInfo info;
    if (!ReadFileInfo(FileName, info, true)) return false;
    const Packets& headers = info.Headers;
    if (!headers.Plain || headers.Whole.size() != 3) return false;
    const std::string& oldComment = headers.Whole[1];

    // A value equal to what the file shows leaves its entries as they are,
    // so repeated entries, a "7/12" track and texts longer than the reader
    // keeps all survive a save of another field.
    Values shown = ValuesOf(info.Tag);
    Values wanted;
    wanted.Text = {"", tagtext::Trim(Title), tagtext::Trim(Artist), tagtext::Trim(Album), "",
                   tagtext::Trim(Date), tagtext::Trim(Genre), tagtext::Trim(Comment)};
    wanted.Track = Track;
    if (Track) wanted.Text[cTrack] = std::to_string(Track);
    std::array<bool, kWrittenPositions> changed{};
    for (int k = cTitle; k < kWrittenPositions; ++k)
        changed[k] = k == cTrack ? wanted.Track != shown.Track : wanted.Text[k] != shown.Text[k];

    std::array<bool, kWrittenPositions> written{};
    vorbiscomment::PacketBuilder builder(vorbiscomment::Vendor(oldComment));
    auto entry = [&](int k) { return std::string(kCommentNames[k]) + "=" + platform::ValidUtf8(wanted.Text[k]); };
    auto position = [](const std::string& name) {
        for (int k = cTitle; k < kWrittenPositions; ++k)
            if (name == kCommentNames[k]) return k;
        return 0;
    };
    vorbiscomment::Layout layout = vorbiscomment::Walk(oldComment, [&](std::string_view item) {
        if (!KeepOthers) return;
        std::optional<vorbiscomment::Field> field = vorbiscomment::Split(item);
        int k = field ? position(field->Name) : 0;
        if (k == 0 || !changed[k]) {
            builder.Add(item);
        } else if (!written[k]) {
            written[k] = true;
            if (!wanted.Text[k].empty()) builder.Add(entry(k));
        }
    });
    if (!layout.Whole) return false;
    for (int k = cTitle; k < kWrittenPositions; ++k)
        if (changed[k] && !written[k] && !wanted.Text[k].empty()) builder.Add(entry(k));
    std::string_view tail = std::string_view(oldComment).substr(layout.End);
    std::optional<std::string> comment = builder.Finish(tail.empty() ? std::string_view("\x01", 1) : tail);
    if (!comment) return false;

    std::vector<ogg::Page> oldPages(headers.Pages.begin() + 1, headers.Pages.end());
    std::vector<ogg::Page> newPages = LayOutPages({*comment, headers.Whole[2]}, oldPages);
    const int64_t regionStart = oldPages.front().Offset;
    const int64_t regionEnd = oldPages.back().Offset + oldPages.back().Size();
    const uint32_t delta = uint32_t(newPages.size() - oldPages.size());
    if (!WideFileExists(FileName) || !WideFileSetAttr(FileName, 0)) return false;
    return RebuildFile(FileName, [&](TagFileStream& source, TagFileStream& temp) {
        if (source.Size() != info.FileSize) throw EFileError(source.FileName(), "changed while saving");
        source.Seek(0, soFromBeginning);
        temp.CopyFrom(source, regionStart);
        for (const ogg::Page& page : newPages) {
            temp.WriteString(page.Header);
            temp.WriteString(page.Body);
        }
        if (delta == 0) {
            source.Seek(regionEnd, soFromBeginning);
            if (info.FileSize > regionEnd) temp.CopyFrom(source, info.FileSize - regionEnd);
        } else {
            CopyRenumbered(source, temp, regionEnd, oldPages.back().Serial(), delta);
        }
    });
}
