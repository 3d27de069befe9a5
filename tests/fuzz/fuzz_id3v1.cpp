// Feeds arbitrary file ends to the ID3v1 and Lyrics3 reader, then removes and
// saves on them: nothing before the blocks found may ever change.
// fuzz-sources: tags/ID3v1.cpp tags/TagFile.cpp tags/TagText.cpp platform/CodePage.cpp platform/FileReplacement.cpp
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tags/ID3v1.h"
#include "tests/fuzz/FuzzFile.h"

using fuzzfile::Check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("NILO_CODEPAGE", "windows-1251", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string name = fuzzfile::Path("song.mp3");
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzzfile::Write(name, bytes);

    TID3v1 tag;
    Check(tag.ReadFromFile(name), "a readable file reads");
    const size_t tagSize = static_cast<size_t>(tag.FGetTagSize());
    Check(tagSize <= size, "blocks lie inside the file");
    Check(tag.FGetGenre().size() < 30 && tag.Year.size() <= 16, "sane fields");
    const std::string audio = bytes.substr(0, size - tagSize);

    TID3v1 remover;
    Check(remover.RemoveFromFile(name, false), "removal succeeds");
    Check(fuzzfile::Read(name) == audio, "removal cuts exactly the blocks");

    fuzzfile::Write(name, bytes);
    TID3v1 saver = tag;
    Check(saver.SaveToFile(name), "saving succeeds");
    const std::string saved = fuzzfile::Read(name);
    Check(saved.size() >= audio.size() + 128 && saved.compare(0, audio.size(), audio) == 0,
          "saving keeps the audio and adds the blocks");

    TID3v1 back;
    Check(back.ReadFromFile(name) && back.Exists, "the saved tag reads back");
    Check(back.FGetTagSize() == static_cast<int32_t>(saved.size() - audio.size()), "one set of blocks");
    Check(back.GenreID == tag.GenreID && (tag.Track == 0 || back.Track == tag.Track) && back.Year == tag.Year,
          "record fields survive");
    if (back.HasLyrics3) Check(back.FGetTitle() == tag.FGetTitle() && back.Lyrics == tag.Lyrics, "Lyrics3 fields survive");
    return 0;
}
