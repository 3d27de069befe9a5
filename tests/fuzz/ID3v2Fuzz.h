// Checks the ID3v2 fuzzers share: a save of the fields as read keeps the
// rest of the file, reads back as it was, and is not changed by a second one.
#pragma once

#include <string>

#include "tags/ID3v2.h"
#include "tags/TagText.h"
#include "tests/fuzz/FuzzFile.h"

namespace id3v2fuzz {

// Saves into the file what tag read from it, through the setters, as the tag
// editor does.
inline bool SaveAsRead(const TID3v2& tag, const std::string& name) {
    TID3v2 saver;
    saver.FSetTitle(tag.Title);
    saver.FSetArtist(tag.Artist);
    saver.FSetAlbum(tag.Album);
    saver.FSetYear(tag.Year);
    saver.FSetGenre(tag.Genre);
    saver.FSetComment(tag.Comment);
    saver.FSetComposer(tag.Composer);
    saver.FSetEncoder(tag.Encoder);
    saver.FSetCopyright(tag.Copyright);
    saver.FSetLanguage(tag.Language);
    saver.FSetLink(tag.Link);
    saver.FSetTrack(tag.Track);
    return saver.SaveToFile(name);
}

// After SaveAsRead succeeded on a file whose bytes after the old block are
// audio: returns the tag read back.
inline TID3v2 CheckSaved(const TID3v2& tag, const std::string& name, const std::string& audio) {
    using fuzzfile::Check;
    const std::string after = fuzzfile::Read(name);
    const char version = tag.Exists && tag.VersionID == 4 && tag.Size > 0 ? 4 : 3;
    Check(after.size() >= audio.size() && after.compare(after.size() - audio.size(), audio.size(), audio) == 0 &&
              after.compare(0, 3, "ID3") == 0 && after[3] == version,
          "a new block of the right version before the untouched rest");

    TID3v2 back;
    Check(back.ReadFromFile(name) && back.Exists && back.VersionID == version, "the saved block reads back");
    Check(static_cast<size_t>(back.Size) == after.size() - audio.size(), "the size covers the new block");
    // Fields kept as they were read back exactly; one written anew may be
    // cut to the reader's 500 bytes, so only short texts are compared.
    auto same = [](const std::string& a, const std::string& b) { return a.size() >= 120 || tagtext::Trim(a) == b; };
    Check(same(tag.Title, back.Title) && same(tag.Artist, back.Artist) && same(tag.Album, back.Album) &&
              same(tag.Year, back.Year) && same(tag.Composer, back.Composer) && same(tag.Encoder, back.Encoder) &&
              same(tag.Copyright, back.Copyright) && same(tag.Language, back.Language) &&
              same(tag.Comment, back.Comment),
          "short texts survive");
    Check(tag.Genre.find(')') != std::string::npos || same(tag.Genre, back.Genre), "the genre survives");
    bool ascii = true;
    for (unsigned char c : tag.Link) ascii = ascii && c < 0x80;
    Check(!ascii || same(tag.Link, back.Link), "the link survives");
    Check(back.Track == tag.Track, "the track survives");

    Check(SaveAsRead(back, name) && fuzzfile::Read(name) == after, "a second save changes nothing");
    return back;
}

} // namespace id3v2fuzz
