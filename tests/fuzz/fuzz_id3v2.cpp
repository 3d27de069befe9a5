// Feeds arbitrary file starts to the ID3v2 reader, then saves what it read
// and removes the block: the bytes after the block found never change, the
// fields read back as they were, and a second save of them changes nothing.
// fuzz-sources: tags/ID3v2.cpp tags/ID3v2Fields.cpp tags/ID3v2Frames.cpp tags/ID3v2Header.cpp tags/ID3v2Save.cpp
// fuzz-sources: tags/ID3v2Text.cpp tags/ID3v2Unsync.cpp tags/ID3v2Upgrade.cpp
// fuzz-sources: tags/TagFile.cpp tags/TagText.cpp platform/CodePage.cpp platform/FileReplacement.cpp
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tags/ID3v2.h"
#include "tests/fuzz/FuzzFile.h"
#include "tests/fuzz/ID3v2Fuzz.h"

using fuzzfile::Check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("NILO_CODEPAGE", "windows-1252", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string name = fuzzfile::Path("song.mp3");
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzzfile::Write(name, bytes);

    TID3v2 tag;
    const bool read = tag.ReadFromFile(name);
    Check(read == (size >= 10), "the header reads when there are 10 bytes");
    Check(tag.Size >= 0 && static_cast<size_t>(tag.Size) <= size, "the block lies inside the file");
    const std::string audio = bytes.substr(static_cast<size_t>(tag.Size));

    const bool saved = id3v2fuzz::SaveAsRead(tag, name);
    Check(saved == read, "a file whose header reads can be saved");
    if (!saved) {
        Check(fuzzfile::Read(name) == bytes, "a failed save changes nothing");
        return 0;
    }
    TID3v2 back = id3v2fuzz::CheckSaved(tag, name, audio);
    Check(back.RemoveFromFile(name), "the saved block can be removed");
    Check(fuzzfile::Read(name) == audio, "removal leaves the rest");
    return 0;
}
