// The stream properties and text fields of a WMA file, read from the objects
// of its ASF header. Read only: WMA tags are never written. Texts are UTF-16.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Channel mode names by channel count.
extern const std::array<const char*, 3> WMA_MODE;

class TWMAfile {
  public:
    bool Valid = false; // the header was read and its values are plausible
    int64_t FileSize = 0;
    uint8_t ChannelModeID = 0; // 1 or 2 when valid
    int32_t SampleRate = 0;
    double Duration = 0; // seconds
    int32_t BitRate = 0; // kbit/s
    std::u16string Title;
    std::u16string Artist;
    std::u16string Album;
    int32_t Track = 0; // 0 = none or not a number
    std::u16string Year;
    std::u16string Genre;
    std::u16string Comment;

    // Every number 0, every text empty.
    void FResetData();
    // False when the file cannot be opened or its header objects end early;
    // true otherwise, with Valid telling whether it is a plausible WMA file.
    // The text fields and Track are read either way; the stream figures only
    // when Valid.
    bool ReadFromFile(const std::string& FileName);
    std::string FGetChannelMode() const;
};
