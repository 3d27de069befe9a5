#include "tags/WMAfile.h"

#include <algorithm>
#include <cstring>

#include "platform/CodePage.h"
#include "tags/TagFile.h"
#include "tags/TagText.h"

const std::array<const char*, 3> WMA_MODE = {"Unknown", "Mono", "Stereo"};

namespace {

using Guid = std::array<uint8_t, 16>;

// Object identifiers as they are stored: the first three groups little-endian.
constexpr Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kFilePropertiesObject = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                        0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kStreamPropertiesObject = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                          0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kContentDescriptionObject = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kExtendedContentDescriptionObject = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                                    0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

constexpr int64_t kObjectHeaderSize = 24;
constexpr uint32_t kTextLimit = 250;

enum TagField { tTitle, tArtist, tAlbum, tTrack, tYear, tGenre, tComment, kTagFields };
constexpr std::array<const char16_t*, kTagFields> kAttributeNames = {
    u"WM/TITLE", u"WM/AUTHOR", u"WM/ALBUMTITLE", u"WM/TRACK", u"WM/YEAR", u"WM/GENRE", u"WM/DESCRIPTION"};

struct FileData {
    int64_t FileSize = 0;
    uint32_t MaxBitRate = 0;
    uint16_t Channels = 0;
    uint32_t SampleRate = 0;
    uint32_t ByteRate = 0;
    std::array<std::u16string, kTagFields> Tag;
};

std::u16string TrimBlanks(std::u16string_view text) {
    auto blank = [](char16_t c) { return c <= 32; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return std::u16string(text);
}

// Exact reads that must end within the current object (and so within the
// file): a damaged size or count fails the read instead of running on.
class HeaderReader {
  public:
    HeaderReader(TagFileStream& stream) : stream_(stream), limit_(stream.Size()) {}

    void SetLimit(int64_t limit) { limit_ = limit; }
    int64_t Position() { return stream_.Position(); }
    void SeekTo(int64_t position) { stream_.Seek(position, soFromBeginning); }
    void Skip(int64_t count) { stream_.Seek(count, soFromCurrent); }

    void Bytes(void* buffer, int64_t count) {
        if (Position() + count > limit_) throw EFileError(stream_.FileName(), "header object ends early");
        stream_.ReadBuffer(buffer, count);
    }
    uint16_t U16() {
        uint8_t b[2];
        Bytes(b, 2);
        return uint16_t(b[0] | b[1] << 8);
    }
    uint32_t U32() {
        uint8_t b[4];
        Bytes(b, 4);
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    Guid ReadGuid() {
        Guid g;
        Bytes(g.data(), 16);
        return g;
    }
    // At most 250 characters of a text of byteLength bytes; the rest is skipped.
    std::u16string Text(uint32_t byteLength) {
        uint32_t count = std::min(byteLength / 2, kTextLimit);
        std::u16string text(count, u'\0');
        for (char16_t& c : text) c = U16();
        Skip(byteLength - 2 * count);
        return text;
    }

  private:
    TagFileStream& stream_;
    int64_t limit_;
};

void ReadContentDescription(HeaderReader& in, FileData& data) {
    in.Skip(4);
    uint16_t lengths[5];
    for (uint16_t& length : lengths) length = in.U16();
    constexpr int targets[5] = {tTitle, tArtist, -1, tComment, -1};
    for (int i = 0; i < 5; ++i) {
        if (lengths[i] == 0) continue;
        std::u16string text = in.Text(lengths[i]);
        if (targets[i] >= 0) data.Tag[targets[i]] = text;
    }
}

void ReadExtendedContentDescription(HeaderReader& in, FileData& data) {
    in.Skip(4);
    uint16_t count = in.U16();
    for (uint16_t i = 0; i < count; ++i) {
        std::u16string name = platform::AsciiUpper(TrimBlanks(in.Text(in.U16())));
        uint16_t type = in.U16();
        uint16_t length = in.U16();
        if (type != 0) {
            in.Skip(length);
            continue;
        }
        std::u16string value = in.Text(length);
        for (int k = 0; k < kTagFields; ++k)
            if (name == kAttributeNames[k]) data.Tag[k] = value;
    }
}

// False when the header ends early or is damaged; a file that is not ASF is
// read as one without values.
bool ReadHeader(const std::string& fileName, FileData& data) {
    try {
        TagFileStream stream(fileName, FileMode::ShareDenyWrite);
        data.FileSize = stream.Size();
        HeaderReader in(stream);
        if (in.ReadGuid() != kHeaderObject) return true;
        in.Skip(8);
        uint32_t children = in.U32();
        in.Skip(2);
        for (uint32_t i = 0; i < children; ++i) {
            int64_t start = in.Position();
            in.SetLimit(data.FileSize);
            Guid id = in.ReadGuid();
            int64_t size = in.U32();
            if (size < kObjectHeaderSize || start + size > data.FileSize) return false;
            in.SetLimit(start + size);
            if (id == kFilePropertiesObject) {
                in.Skip(80);
                data.MaxBitRate = in.U32();
            } else if (id == kStreamPropertiesObject) {
                in.Skip(60);
                data.Channels = in.U16();
                data.SampleRate = in.U32();
                data.ByteRate = in.U32();
            } else if (id == kContentDescriptionObject) {
                ReadContentDescription(in, data);
            } else if (id == kExtendedContentDescriptionObject) {
                ReadExtendedContentDescription(in, data);
            }
            in.SeekTo(start + size);
        }
        return true;
    } catch (const EFileError&) {
        return false;
    }
}

bool IsPlausible(const FileData& data) {
    return data.MaxBitRate > 0 && data.MaxBitRate < 320000 && (data.Channels == 1 || data.Channels == 2) &&
           data.SampleRate >= 8000 && data.SampleRate <= 96000 && data.ByteRate > 0 && data.ByteRate < 40000;
}

} // namespace

void TWMAfile::FResetData() { *this = TWMAfile(); }

bool TWMAfile::ReadFromFile(const std::string& FileName) {
    FResetData();
    FileData data;
    if (!ReadHeader(FileName, data)) return false;
    // The texts do not depend on the stream figures: a lossless or
    // multichannel stream outside the check still has its title.
    Title = TrimBlanks(data.Tag[tTitle]);
    Artist = TrimBlanks(data.Tag[tArtist]);
    Album = TrimBlanks(data.Tag[tAlbum]);
    Year = TrimBlanks(data.Tag[tYear]);
    Genre = TrimBlanks(data.Tag[tGenre]);
    Comment = TrimBlanks(data.Tag[tComment]);
    Track = tagtext::ParseDecimal(platform::Utf16ToUtf8(TrimBlanks(data.Tag[tTrack]))).value_or(0);
    if (!IsPlausible(data)) return true;
    Valid = true;
    FileSize = data.FileSize;
    ChannelModeID = uint8_t(data.Channels);
    SampleRate = int32_t(data.SampleRate);
    Duration = double(data.FileSize) * 8 / data.MaxBitRate;
    BitRate = int32_t(data.ByteRate * 8 / 1000);
    return true;
}

std::string TWMAfile::FGetChannelMode() const {
    return ChannelModeID < WMA_MODE.size() ? WMA_MODE[ChannelModeID] : WMA_MODE[0];
}
