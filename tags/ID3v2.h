// The ID3v2 block at the start of a file: reads a fixed set of text frames of
// versions 2.2 to 2.4, saves them in place or by rebuilding the file, and
// removes the block. A save keeps every frame it does not write, and the
// frames of fields left as they were read; a 2.4 block stays 2.4, any other
// becomes 2.3. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

class TagStream;

class TID3v2 {
  public:
    bool Exists;       // the file starts with "ID3"
    uint8_t VersionID; // the block's major version
    int32_t Size;      // the whole block, header included; 0 when it claims more than the file
    std::string Title;
    std::string Artist;
    std::string Album;
    uint16_t Track; // 0 = none
    std::string TrackString;
    std::string Year;
    std::string Genre;
    std::string Comment;
    std::string Composer;
    std::string Encoder;
    std::string Copyright;
    std::string Language;
    std::string Link;
    std::string AudioSizeText;

    TID3v2();

    void ResetData();
    // True when the first 10 bytes could be read, block or not.
    bool ReadFromFile(const std::string& FileName);
    // The same from a file already open, whatever its position.
    bool ReadFromStream(TagStream& File);
    // Writes the fields into the block, keeping its other frames; false, with
    // the file untouched, when the file or its block cannot be read.
    bool SaveToFile(const std::string& FileName);
    // False when the file has no block.
    bool RemoveFromFile(const std::string& FileName);

    void FSetTitle(const std::string& Value);
    void FSetArtist(const std::string& Value);
    void FSetAlbum(const std::string& Value);
    void FSetYear(const std::string& Value);
    void FSetGenre(const std::string& Value);
    void FSetComment(const std::string& Value);
    void FSetComposer(const std::string& Value);
    void FSetEncoder(const std::string& Value);
    void FSetCopyright(const std::string& Value);
    void FSetLanguage(const std::string& Value);
    void FSetLink(const std::string& Value);
    void FSetTrack(uint16_t Value) { Track = Value; }
};
