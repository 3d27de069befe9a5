// Feeds arbitrary files, and MP4 files whose ilst atom holds the input under
// an ftyp, moov, udta and meta atom, to the MP4 tag reader.
// fuzz-sources: tags/MP4Tags.cpp tags/ID3v1.cpp tags/TagFile.cpp tags/TagReadStream.cpp tags/TagText.cpp
// fuzz-sources: platform/CodePage.cpp platform/FileReplacement.cpp
#include <cstdint>
#include <string>

#include "tags/MP4Tags.h"
#include "tests/fuzz/TagReaderFuzz.h"

namespace {

std::string Atom(const char* type, const std::string& body) {
    uint32_t size = uint32_t(body.size() + 8);
    std::string out = {char(size >> 24), char(size >> 16), char(size >> 8), char(size)};
    return out + type + body;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1)
        bytes =
            Atom("ftyp", "M4A ") +
            Atom("moov", Atom("udta", Atom("meta", std::string(4, '\0') + Atom("ilst", bytes))));
    fuzzfile::CheckReader(bytes, ReadMP4Tags);
    return 0;
}
