// The 128-byte ID3v1 block (versions 1.0 and 1.1) at the end of a file, with
// the Lyrics3 version 2 block that may stand before it, and the genre table.
// Texts are UTF-8 here and in the legacy code page in the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class TagStream;

constexpr int MAX_MUSIC_GENRES = 148;

// Genre names by the value of the genre byte.
extern const std::array<const char*, MAX_MUSIC_GENRES> aTAG_MusicGenre;

class TID3v1 {
  public:
    bool Exists;
    uint8_t VersionID; // 1 = ID3v1.0, 2 = ID3v1.1
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Year; // at most 4 characters
    std::string Comment;
    uint8_t Track;   // 0 = none
    uint8_t GenreID; // 255 = none
    bool HasLyrics3;
    int32_t Lyrics3Size; // the Lyrics3 size field; the block is 15 bytes longer
    std::string ExtArtist;
    std::string ExtAlbum;
    std::string ExtTitle;
    std::string ExtComment;
    std::string Image;
    std::string Author;
    std::string Lyrics; // lines end in CR LF

    TID3v1();

    void ResetData();
    bool ReadFromFile(const std::string& FileName);
    // The same from a file already open; its position moves.
    bool ReadFromStream(TagStream& File);
    // Examines the file's end; with Parse false only Exists, HasLyrics3 and
    // Lyrics3Size are found. False when the file cannot be opened or read.
    bool ReadTag(const std::string& FileName, bool Parse);
    // Appends the blocks at the file's current end.
    bool SaveTag(const std::string& FileName, bool Lyrics3Allowed);
    // Cuts the ID3v1 and Lyrics3 blocks off; with Rewrite the ID3v1 block is
    // written again.
    bool RemoveFromFile(const std::string& FileName, bool Rewrite);
    // Replaces the file's blocks with new ones from the fields. What the
    // fields do not replace stays: a track number of 0 keeps the file's
    // version 1.1 track, and a Lyrics3 block the file has keeps every field
    // but those whose text changed (lyrics, author and image only change
    // when they are set). Only RemoveFromFile removes them.
    bool SaveToFile(const std::string& FileName);

    std::string FGetTitle() const;
    std::string FGetArtist() const;
    std::string FGetAlbum() const;
    std::string FGetComment() const;
    std::string FGetGenre() const;
    std::string FGetTrackString() const;
    int32_t FGetLyrics2Size() const;
    int32_t FGetTagSize() const;
    bool FGetHasLyrics() const;

    void FSetTitle(const std::string& Value);
    void FSetArtist(const std::string& Value);
    void FSetAlbum(const std::string& Value);
    void FSetComment(const std::string& Value);
    void FSetYear(const std::string& Value);
    void FSetTrack(uint8_t Value) { Track = Value; }
    void FSetGenreID(uint8_t Value) { GenreID = Value; }
    void FSetGenre(const std::string& Name);

  private:
    void ParseRecord(const unsigned char* Record);
    void ReadLyrics3Fields(TagStream& File);
    // ReadTag on an open file; raises EFileError when it cannot be read.
    void ReadTagFrom(TagStream& File, bool Parse);
    // Sets Exists, HasLyrics3 and Lyrics3Size from this file alone; with
    // Record and Lyrics3 it also takes the raw bytes of the ID3v1 block and
    // of the Lyrics3 fields, and with Lyrics3Stacked whether another Lyrics3
    // block ends just before that one.
    bool ExamineFile(const std::string& FileName, std::string* Record = nullptr, std::string* Lyrics3 = nullptr,
                     bool* Lyrics3Stacked = nullptr);
    // Empty when no Lyrics3 block is due.
    std::string BuildLyrics3Block() const;
    // The file's Lyrics3 fields with those the object changes replaced;
    // empty when nothing but the indication field would be left.
    std::string MergeLyrics3Block(const std::string& OldFields) const;
    std::string BuildRecord(uint8_t TrackNumber) const;
    // Cuts CutBytes off the end and appends the new blocks.
    bool WriteBlocks(const std::string& FileName, int64_t CutBytes, bool Lyrics3Allowed);
    // Replaces the last CutBytes of the file with Tail; on failure the file
    // keeps its old end.
    static bool ReplaceTail(const std::string& FileName, int64_t CutBytes, const std::string& Tail);
};
