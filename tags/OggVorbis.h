// An Ogg Vorbis file's stream properties and its comment header, and the
// rewrite of that header in place of the old one with every audio packet
// kept byte for byte. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

class TOggVorbis {
  public:
    int64_t FileSize = 0;
    uint8_t ChannelModeID = 0; // channel count
    int32_t SampleRate = 0;
    uint16_t BitRateNominal = 0; // kbit/s
    int32_t Samples = 0;         // granule position of the last page, 0 when not found
    int32_t ID3v2Size = 0;       // ID3v2 block in front of the Ogg data, 0 if none
    std::string Title;
    std::string Artist;
    std::string Album;
    uint16_t Track = 0; // 0 = none
    std::string Date;
    std::string Genre;
    std::string Comment;
    std::string Vendor;

    // Every number 0, every text empty.
    void FResetData();
    // False when the file is not Ogg Vorbis. A file that cannot be opened
    // throws EFileError.
    bool ReadFromFile(const std::string& FileName);
    // Writes Title, Artist, Album, Track, Date, Genre and Comment into the
    // file's comment header. A field whose value differs from what the file
    // shows replaces all entries of its name; every other entry stays as it
    // was, in its place. False, with the file unchanged, when the file is not
    // Ogg Vorbis or its header pages cannot be rewritten safely. Throws
    // EFileError when the file cannot be opened.
    bool SaveTag(const std::string& FileName);
    // Removes every comment: the header keeps its vendor string only.
    bool ClearTag(const std::string& FileName);

  private:
    bool Rewrite(const std::string& FileName, bool KeepOthers);
};
