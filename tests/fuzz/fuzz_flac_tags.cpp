// Feeds arbitrary files, and FLAC files made of the input's metadata blocks
// behind a "fLaC" mark, to the FLAC tag reader.
// fuzz-sources: tags/FlacTags.cpp tags/CommentReader.cpp tags/OggPacketCursor.cpp tags/ID3v2Header.cpp
// fuzz-sources: tags/ID3v2Frames.cpp tags/ID3v2Unsync.cpp tags/VorbisComment.cpp tags/TagFile.cpp tags/TagReadStream.cpp tags/TagText.cpp
// fuzz-sources: platform/CodePage.cpp platform/FileReplacement.cpp
#include <cstdint>
#include <string>

#include "tags/FlacTags.h"
#include "tests/fuzz/TagReaderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte decides whether the file gets the mark, so the fuzzer
    // need not find it.
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) bytes.insert(0, "fLaC");
    fuzzfile::CheckReader(bytes, ReadFlacTags);
    return 0;
}
