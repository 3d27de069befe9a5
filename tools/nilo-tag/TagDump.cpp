#include "tools/nilo-tag/TagDump.h"

#include <charconv>

#include "platform/CodePage.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/OggVorbis.h"
#include "tags/WMAfile.h"
#include "tools/nilo-tag/FieldLines.h"

namespace {

class FieldPrinter {
  public:
    explicit FieldPrinter(std::FILE* out) : out_(out) {}

    void operator()(const char* name, const std::string& text) { PrintField(out_, name, text); }
    void operator()(const char* name, const std::u16string& text) { PrintField(out_, name, platform::Utf16ToUtf8(text)); }
    void operator()(const char* name, bool value) { PrintField(out_, name, value ? "1" : "0"); }
    void operator()(const char* name, int64_t value) { PrintField(out_, name, std::to_string(value)); }
    void operator()(const char* name, double value) {
        char text[32];
        auto end = std::to_chars(text, text + sizeof text, value).ptr;
        PrintField(out_, name, std::string(text, end));
    }

  private:
    std::FILE* out_;
};

bool DumpID3v1(const std::string& fileName, FieldPrinter& p) {
    TID3v1 tag;
    bool read = tag.ReadFromFile(fileName);
    p("Exists", tag.Exists);
    p("VersionID", int64_t(tag.VersionID));
    p("Title", tag.Title);
    p("Artist", tag.Artist);
    p("Album", tag.Album);
    p("Year", tag.Year);
    p("Comment", tag.Comment);
    p("Track", int64_t(tag.Track));
    p("GenreID", int64_t(tag.GenreID));
    p("HasLyrics3", tag.HasLyrics3);
    p("Lyrics3Size", int64_t(tag.Lyrics3Size));
    p("ExtArtist", tag.ExtArtist);
    p("ExtAlbum", tag.ExtAlbum);
    p("ExtTitle", tag.ExtTitle);
    p("ExtComment", tag.ExtComment);
    p("Image", tag.Image);
    p("Author", tag.Author);
    p("Lyrics", tag.Lyrics);
    return read;
}

bool DumpID3v2(const std::string& fileName, FieldPrinter& p) {
    TID3v2 tag;
    bool read = tag.ReadFromFile(fileName);
    p("Exists", tag.Exists);
    p("VersionID", int64_t(tag.VersionID));
    p("Size", int64_t(tag.Size));
    p("Title", tag.Title);
    p("Artist", tag.Artist);
    p("Album", tag.Album);
    p("Track", int64_t(tag.Track));
    p("TrackString", tag.TrackString);
    p("Year", tag.Year);
    p("Genre", tag.Genre);
    p("Comment", tag.Comment);
    p("Composer", tag.Composer);
    p("Encoder", tag.Encoder);
    p("Copyright", tag.Copyright);
    p("Language", tag.Language);
    p("Link", tag.Link);
    p("AudioSizeText", tag.AudioSizeText);
    return read;
}

bool DumpOggVorbis(const std::string& fileName, FieldPrinter& p) {
    TOggVorbis tag;
    bool read = tag.ReadFromFile(fileName);
    p("FileSize", tag.FileSize);
    p("ChannelModeID", int64_t(tag.ChannelModeID));
    p("SampleRate", int64_t(tag.SampleRate));
    p("BitRateNominal", int64_t(tag.BitRateNominal));
    p("Samples", int64_t(tag.Samples));
    p("ID3v2Size", int64_t(tag.ID3v2Size));
    p("Title", tag.Title);
    p("Artist", tag.Artist);
    p("Album", tag.Album);
    p("Track", int64_t(tag.Track));
    p("Date", tag.Date);
    p("Genre", tag.Genre);
    p("Comment", tag.Comment);
    p("Vendor", tag.Vendor);
    return read;
}

bool DumpWMA(const std::string& fileName, FieldPrinter& p) {
    TWMAfile tag;
    bool read = tag.ReadFromFile(fileName);
    p("Valid", tag.Valid);
    p("FileSize", tag.FileSize);
    p("ChannelModeID", int64_t(tag.ChannelModeID));
    p("SampleRate", int64_t(tag.SampleRate));
    p("Duration", tag.Duration);
    p("BitRate", int64_t(tag.BitRate));
    p("Title", tag.Title);
    p("Artist", tag.Artist);
    p("Album", tag.Album);
    p("Track", int64_t(tag.Track));
    p("Year", tag.Year);
    p("Genre", tag.Genre);
    p("Comment", tag.Comment);
    return read;
}

} // namespace

bool DumpTag(TagKind Kind, const std::string& FileName, std::FILE* out) {
    FieldPrinter printer(out);
    switch (Kind) {
    case TagKind::ID3v1: return DumpID3v1(FileName, printer);
    case TagKind::ID3v2: return DumpID3v2(FileName, printer);
    case TagKind::OggVorbis: return DumpOggVorbis(FileName, printer);
    case TagKind::WMA: return DumpWMA(FileName, printer);
    case TagKind::FLAC:
    case TagKind::Opus:
    case TagKind::MP4: break;
    }
    return false;
}
