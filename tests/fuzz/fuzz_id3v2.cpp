// Feeds arbitrary file starts to the ID3v2 reader, then saves and removes on
// them: the bytes after the block found never change, and short texts come
// back as they were written.
// fuzz-sources: tags/ID3v2.cpp tags/ID3v2Frames.cpp tags/ID3v2Text.cpp tags/ID3v2Unsync.cpp tags/ID3v2Upgrade.cpp
// fuzz-sources: tags/TagFile.cpp tags/TagText.cpp platform/CodePage.cpp platform/TextFile.cpp
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tags/ID3v2.h"
#include "tags/TagText.h"
#include "tests/fuzz/FuzzFile.h"

using fuzzfile::Check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("NILO_CODEPAGE", "windows-1252", 1);
    return 0;
}

namespace {

// Texts short enough that their frame cannot pass the reader's 500 bytes.
bool Short(const std::string& text) {
    return text.size() < 120;
}

bool Ascii(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string name = fuzzfile::Path("song.mp3");
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzzfile::Write(name, bytes);

    TID3v2 tag;
    const bool read = tag.ReadFromFile(name);
    Check(read == (size >= 10), "the header reads when there are 10 bytes");
    Check(tag.Size >= 0 && static_cast<size_t>(tag.Size) <= size, "the block lies inside the file");
    const std::string audio = bytes.substr(static_cast<size_t>(tag.Size));

    TID3v2 saver;
    for (auto [set, value] : {std::pair{&TID3v2::FSetTitle, tag.Title}, {&TID3v2::FSetArtist, tag.Artist},
                              {&TID3v2::FSetAlbum, tag.Album}, {&TID3v2::FSetYear, tag.Year},
                              {&TID3v2::FSetGenre, tag.Genre}, {&TID3v2::FSetComment, tag.Comment},
                              {&TID3v2::FSetComposer, tag.Composer}, {&TID3v2::FSetEncoder, tag.Encoder},
                              {&TID3v2::FSetCopyright, tag.Copyright}, {&TID3v2::FSetLanguage, tag.Language},
                              {&TID3v2::FSetLink, tag.Link}})
        (saver.*set)(value);
    saver.FSetTrack(tag.Track);
    const bool saved = saver.SaveToFile(name);
    Check(saved == read, "a file whose header reads can be saved");
    const std::string after = fuzzfile::Read(name);
    if (!saved) {
        Check(after == bytes, "a failed save changes nothing");
        return 0;
    }
    Check(after.size() >= audio.size() && after.compare(after.size() - audio.size(), audio.size(), audio) == 0 &&
              after.compare(0, 4, "ID3\x03") == 0,
          "a new block before the untouched rest");

    TID3v2 back;
    Check(back.ReadFromFile(name) && back.Exists && back.VersionID == 3, "the saved block reads back");
    Check(static_cast<size_t>(back.Size) == after.size() - audio.size(), "the size covers the new block");
    // What was read goes through the setters, which trim it.
    auto same = [](const std::string& a, const std::string& b) { return !Short(a) || tagtext::Trim(a) == b; };
    Check(same(tag.Title, back.Title) && same(tag.Artist, back.Artist) && same(tag.Album, back.Album) &&
              same(tag.Year, back.Year) && same(tag.Composer, back.Composer) &&
              same(tag.Encoder, back.Encoder) && same(tag.Copyright, back.Copyright) &&
              same(tag.Language, back.Language) && same(tag.Comment, back.Comment),
          "short texts survive");
    Check(tag.Genre.find(')') != std::string::npos || same(tag.Genre, back.Genre), "the genre survives");
    Check(!Ascii(tag.Link) || same(tag.Link, back.Link), "the link survives");
    Check(back.Track == tag.Track, "the track survives");

    Check(back.RemoveFromFile(name), "the saved block can be removed");
    Check(fuzzfile::Read(name) == audio, "removal leaves the rest");
    return 0;
}
