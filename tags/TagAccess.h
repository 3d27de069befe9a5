// The tag access layer: one record of tag fields exchanged between the
// program and the four tag classes, readers and writers per tag kind, the
// playlist title reader, and the genre list the tag editor offers.
// Every call creates one tag object, uses it once and drops it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The tag fields of one file, UTF-8 text. A field that the tag kind does not
// carry stays empty.
struct TTagNames {
    std::string Artist;
    std::string Web;
    std::string Composer;
    std::string Title;
    std::string Year;
    std::string Encoder;
    std::string Duration; // "mm:ss", filled by the player's title reader, never here
    std::string Track;    // decimal text
    std::string Genre;
    std::string Album;
    std::string Comment;
    std::string Copyright;
    std::string Language;

    bool operator==(const TTagNames&) const = default;
};

enum class TagKind { ID3v1, ID3v2, OggVorbis, WMA, FLAC, Opus, MP4 };

// "id3v1", "id3v2", "ogg", "wma", "flac", "opus", "mp4".
std::string_view TagKindName(TagKind Kind);

// Called once whenever a tag class reports that it could not read or write a
// file (the player shows its error message box there). Removal never reports.
// An empty handler (the default) reports nothing.
using TagFailureHandler = std::function<void(TagKind Kind, const std::string& FileName)>;
void SetTagFailureHandler(TagFailureHandler Handler);

// The fields for a playlist title, chosen by the extension (".mp3", ".ogg",
// ".wma", ".flac", ".opus", ".m4a", ".mp4", case sensitive; ".aac" has no
// tags), with the file name as the fallback title. The duration needs the
// audio library and is left to the caller.
TTagNames ReadTags(const std::string& FileName);

TTagNames ReadID3v1(const std::string& FileName);
TTagNames ReadID3v2(const std::string& FileName);
// Year and Track come from the comment's DATE and TRACKNUMBER. A file that
// cannot be opened throws the tag file layer's error.
TTagNames ReadOggVorbis(const std::string& FileName);
TTagNames ReadWMA(const std::string& FileName);
// Read-only kinds: a file that cannot be opened or is not of the kind is
// reported as a failure.
TTagNames ReadFLAC(const std::string& FileName);
TTagNames ReadOpus(const std::string& FileName);
TTagNames ReadMP4(const std::string& FileName);

// Writers: true when the tag was written. A failure has been reported to the
// failure handler already.
// The file's version 1.1 track number and Lyrics3 lyrics stay; only the
// remover takes them away.
bool SaveID3v1(const std::string& FileName, const TTagNames& Names);
// A Track that is not a whole number writes nothing and is reported as a failure.
bool SaveID3v2(const std::string& FileName, const TTagNames& Names);
// Year and Track are the comment's DATE and TRACKNUMBER; a Track that is not
// a whole number writes nothing and is reported as a failure. Comments the
// record does not carry stay in the file. A file that cannot be opened
// throws the tag file layer's error.
bool SaveOggVorbis(const std::string& FileName, const TTagNames& Names);

// Removers report nothing; the result is the tag class's own.
bool RemoveID3v1(const std::string& FileName);
bool RemoveID3v2(const std::string& FileName);
// Removes every comment. A file that cannot be opened throws the tag file
// layer's error.
bool RemoveOggVorbis(const std::string& FileName);

// The file name without folder and extension: "/Music/A.b.mp3" gives "A.b".
std::string TitleFromFileName(const std::string& Path);

constexpr int kGenreCount = 148;

// The genre names the tag editor offers, index 0 to 147: the ID3v1 genre
// table with six names spelt the common way.
const std::array<std::string, kGenreCount>& EditorGenreList();

// The editor's genre name for 0..147, empty for any other index.
std::string GenreName(int Index);
