#include "tags/TagAccess.h"

#include <optional>
#include <utility>

#include "platform/CodePage.h"
#include "tags/FlacTags.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/MP4Tags.h"
#include "tags/OggVorbis.h"
#include "tags/OpusTags.h"
#include "tags/TagFile.h"
#include "tags/TagText.h"
#include "tags/WMAfile.h"

namespace {

TagFailureHandler& FailureHandler() {
    static TagFailureHandler handler;
    return handler;
}

void ReportFailure(TagKind kind, const std::string& fileName) {
    if (const TagFailureHandler& handler = FailureHandler()) handler(kind, fileName);
}

// One tag object for one read; a failed read leaves every field empty.
template <class Tag, class Read, class Fill>
TTagNames ReadWith(TagKind kind, const std::string& fileName, Read read, Fill fill) {
    TTagNames names;
    Tag tag;
    if (read(tag))
        fill(tag, names);
    else
        ReportFailure(kind, fileName);
    return names;
}

template <class Tag, class Fill> TTagNames ReadWith(TagKind kind, const std::string& fileName, Fill fill) {
    return ReadWith<Tag>(kind, fileName, [&](Tag& tag) { return tag.ReadFromFile(fileName); }, fill);
}

void FillID3v1(const TID3v1& tag, TTagNames& names) {
    if (!tag.Exists) return;
    names.Artist = tag.FGetArtist();
    names.Title = tag.FGetTitle();
    names.Year = tag.Year;
    names.Genre = tag.FGetGenre();
    names.Comment = tag.FGetComment();
    names.Album = tag.FGetAlbum();
}

void FillID3v2(const TID3v2& tag, TTagNames& names) {
    if (!tag.Exists) return;
    names.Artist = tag.Artist;
    names.Title = tag.Title;
    names.Year = tag.Year;
    names.Genre = tag.Genre;
    names.Comment = tag.Comment;
    names.Album = tag.Album;
    names.Composer = tag.Composer;
    names.Encoder = tag.Encoder;
    names.Copyright = tag.Copyright;
    names.Web = tag.Link;
    names.Language = tag.Language;
    names.Track = std::to_string(tag.Track);
}

// A read-only reader's fields; a failed read leaves every field empty.
TTagNames ReadBy(TagKind kind, const std::string& fileName, bool (*read)(const std::string&, TTagNames&)) {
    TTagNames names;
    if (read(fileName, names)) return names;
    ReportFailure(kind, fileName);
    return {};
}

// ID3v1, else ID3v2, through one open of the file: playlists read thousands.
TTagNames ReadMp3Tags(const std::string& fileName) {
    std::optional<TagFileStream> file;
    try {
        file.emplace(fileName, FileMode::ReadOnly | FileMode::ShareDenyWrite);
    } catch (const EFileError&) {
        // Both reads then fail and are reported, as with a file each.
    }
    auto read = [&](auto& tag) { return file && tag.ReadFromStream(*file); };
    TTagNames names = ReadWith<TID3v1>(TagKind::ID3v1, fileName, read, FillID3v1);
    if (names.Title.empty()) names = ReadWith<TID3v2>(TagKind::ID3v2, fileName, read, FillID3v2);
    return names;
}

bool Reported(bool saved, TagKind kind, const std::string& fileName) {
    if (!saved) ReportFailure(kind, fileName);
    return saved;
}

// A Track text as a track number: 0 when empty, else a whole number cut to
// 16 bits; nothing when it is not a whole number.
std::optional<uint16_t> TrackNumber(const std::string& text) {
    if (text.empty()) return 0;
    std::optional<int32_t> number = tagtext::ParseDecimal(text);
    if (!number) return std::nullopt;
    return uint16_t(*number);
}

std::string FileNamePart(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string Extension(const std::string& path) {
    std::string name = FileNamePart(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

} // namespace

std::string_view TagKindName(TagKind Kind) {
    switch (Kind) {
    case TagKind::ID3v1: return "id3v1";
    case TagKind::ID3v2: return "id3v2";
    case TagKind::OggVorbis: return "ogg";
    case TagKind::WMA: return "wma";
    case TagKind::FLAC: return "flac";
    case TagKind::Opus: return "opus";
    case TagKind::MP4: return "mp4";
    }
    return {};
}

void SetTagFailureHandler(TagFailureHandler Handler) { FailureHandler() = std::move(Handler); }

TTagNames ReadTags(const std::string& FileName) {
    TTagNames names;
    std::string extension = Extension(FileName);
    if (extension == ".mp3") {
        names = ReadMp3Tags(FileName);
    } else if (extension == ".ogg") {
        names = ReadOggVorbis(FileName);
    } else if (extension == ".wma") {
        names = ReadWMA(FileName);
    } else if (extension == ".flac") {
        names = ReadFLAC(FileName);
    } else if (extension == ".opus") {
        names = ReadOpus(FileName);
    } else if (extension == ".m4a" || extension == ".mp4") {
        names = ReadMP4(FileName);
    }
    if (names.Title.empty()) names.Title = TitleFromFileName(FileName);
    return names;
}

TTagNames ReadID3v1(const std::string& FileName) { return ReadWith<TID3v1>(TagKind::ID3v1, FileName, FillID3v1); }

TTagNames ReadID3v2(const std::string& FileName) { return ReadWith<TID3v2>(TagKind::ID3v2, FileName, FillID3v2); }

TTagNames ReadOggVorbis(const std::string& FileName) {
    return ReadWith<TOggVorbis>(TagKind::OggVorbis, FileName, [](const TOggVorbis& tag, TTagNames& names) {
        names.Title = tag.Title;
        names.Artist = tag.Artist;
        names.Album = tag.Album;
        names.Genre = tag.Genre;
        names.Comment = tag.Comment;
        names.Year = tag.Date;
        if (tag.Track) names.Track = std::to_string(tag.Track);
    });
}

TTagNames ReadWMA(const std::string& FileName) {
    return ReadWith<TWMAfile>(TagKind::WMA, FileName, [](const TWMAfile& tag, TTagNames& names) {
        names.Title = platform::Utf16ToUtf8(tag.Title);
        names.Artist = platform::Utf16ToUtf8(tag.Artist);
        names.Album = platform::Utf16ToUtf8(tag.Album);
        names.Genre = platform::Utf16ToUtf8(tag.Genre);
        names.Comment = platform::Utf16ToUtf8(tag.Comment);
    });
}

TTagNames ReadFLAC(const std::string& FileName) { return ReadBy(TagKind::FLAC, FileName, ReadFlacTags); }

TTagNames ReadOpus(const std::string& FileName) { return ReadBy(TagKind::Opus, FileName, ReadOpusTags); }

TTagNames ReadMP4(const std::string& FileName) { return ReadBy(TagKind::MP4, FileName, ReadMP4Tags); }

bool SaveID3v1(const std::string& FileName, const TTagNames& Names) {
    TID3v1 tag;
    tag.FSetTitle(Names.Title);
    tag.FSetArtist(Names.Artist);
    tag.FSetAlbum(Names.Album);
    tag.FSetYear(tagtext::FirstChars(Names.Year, 4));
    tag.FSetComment(Names.Comment);
    tag.FSetGenre(Names.Genre);
    return Reported(tag.SaveToFile(FileName), TagKind::ID3v1, FileName);
}

bool SaveID3v2(const std::string& FileName, const TTagNames& Names) {
    std::optional<uint16_t> track = TrackNumber(Names.Track);
    if (!track) {
        ReportFailure(TagKind::ID3v2, FileName);
        return false;
    }
    TID3v2 tag;
    tag.ResetData();
    tag.FSetTitle(Names.Title);
    tag.FSetArtist(Names.Artist);
    tag.FSetAlbum(Names.Album);
    tag.FSetYear(Names.Year);
    tag.FSetComment(Names.Comment);
    tag.FSetGenre(Names.Genre);
    tag.FSetComposer(Names.Composer);
    tag.FSetEncoder(Names.Encoder);
    tag.FSetCopyright(Names.Copyright);
    tag.FSetLink(Names.Web);
    tag.FSetLanguage(Names.Language);
    tag.FSetTrack(*track);
    return Reported(tag.SaveToFile(FileName), TagKind::ID3v2, FileName);
}

bool SaveOggVorbis(const std::string& FileName, const TTagNames& Names) {
    std::optional<uint16_t> track = TrackNumber(Names.Track);
    if (!track) {
        ReportFailure(TagKind::OggVorbis, FileName);
        return false;
    }
    TOggVorbis tag;
    tag.Artist = Names.Artist;
    tag.Title = Names.Title;
    tag.Album = Names.Album;
    tag.Genre = Names.Genre;
    tag.Comment = Names.Comment;
    tag.Date = Names.Year;
    tag.Track = *track;
    return Reported(tag.SaveTag(FileName), TagKind::OggVorbis, FileName);
}

bool RemoveID3v1(const std::string& FileName) { return TID3v1().RemoveFromFile(FileName, false); }

bool RemoveID3v2(const std::string& FileName) { return TID3v2().RemoveFromFile(FileName); }

bool RemoveOggVorbis(const std::string& FileName) { return TOggVorbis().ClearTag(FileName); }

std::string TitleFromFileName(const std::string& Path) {
    std::string name = FileNamePart(Path);
    return name.substr(0, name.size() - Extension(name).size());
}

static_assert(kGenreCount == MAX_MUSIC_GENRES);

const std::array<std::string, kGenreCount>& EditorGenreList() {
    static const std::array<std::string, kGenreCount> list = [] {
        std::array<std::string, kGenreCount> names;
        for (int i = 0; i < kGenreCount; ++i) names[i] = aTAG_MusicGenre[i];
        names[40] = "Alt. Rock";
        names[59] = "Gangsta Rap";
        names[67] = "Psychedelic";
        names[81] = "Folk/Rock";
        names[84] = "Fast-Fusion";
        names[123] = "A Cappella";
        return names;
    }();
    return list;
}

std::string GenreName(int Index) {
    return Index >= 0 && Index < kGenreCount ? EditorGenreList()[Index] : std::string();
}
