// Feeds arbitrary files, and ASF headers assembled from the input out of the
// objects the reader knows, to the WMA header reader: it ends, and what it
// reports is plausible or empty.
// fuzz-sources: tags/WMAfile.cpp tags/TagFile.cpp tags/TagText.cpp platform/CodePage.cpp platform/FileReplacement.cpp
#include <array>
#include <cmath>
#include <cstdint>
#include <string>

#include "tags/WMAfile.h"
#include "tests/fuzz/FuzzFile.h"

using fuzzfile::Check;

namespace {

const std::array<std::string, 6> kObjects = {
    std::string("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16),
    std::string("\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65", 16),
    std::string("\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16),
    std::string("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50", 16),
    std::string("\x36\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16),
    std::string(16, '\x77'),
};
const std::string kHeader("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);

std::string Le(uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += char(v >> (8 * i));
    return s;
}

// Objects of a known kind with correct sizes: a kind byte, a 16-bit body
// length, the body; a kind byte with bit 7 set keeps the size the input gives.
std::string Assemble(const std::string& input) {
    std::string children;
    uint32_t count = 0;
    size_t at = 0;
    while (at + 3 <= input.size()) {
        uint8_t kind = uint8_t(input[at]);
        size_t length = std::min<size_t>(uint8_t(input[at + 1]) | uint8_t(input[at + 2]) << 8, input.size() - at - 3);
        std::string body = input.substr(at + 3, length);
        at += 3 + length;
        uint64_t objectSize = (kind & 0x80) && body.size() >= 8 ? uint64_t(uint8_t(body[0])) << 4 : 24 + body.size();
        children += kObjects[kind % kObjects.size()] + Le(objectSize, 8) + body;
        ++count;
    }
    return kHeader + Le(30 + children.size(), 8) + Le(count, 4) + "\x01\x02" + children;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string name = fuzzfile::Path("song.wma");
    if (size == 0) return 0;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string bytes = (data[0] & 1) ? Assemble(input) : input;
    fuzzfile::Write(name, bytes);

    TWMAfile wma;
    const bool read = wma.ReadFromFile(name);
    Check(read || !wma.Valid, "a failed read is not valid");
    for (const std::u16string* text : {&wma.Title, &wma.Artist, &wma.Album, &wma.Year, &wma.Genre, &wma.Comment})
        Check(text->size() <= 250 && (text->empty() || (text->front() > 32 && text->back() > 32)),
              "texts are trimmed and at most 250 characters");
    if (!wma.Valid) {
        Check(wma.SampleRate == 0 && wma.ChannelModeID == 0 && wma.BitRate == 0 && wma.Duration == 0,
              "an implausible header gives no stream figures");
        return 0;
    }
    Check(wma.ChannelModeID == 1 || wma.ChannelModeID == 2, "one or two channels");
    Check(wma.SampleRate >= 8000 && wma.SampleRate <= 96000, "a plausible rate");
    Check(wma.BitRate >= 0 && wma.BitRate < 320, "a plausible bit rate");
    Check(std::isfinite(wma.Duration) && wma.Duration >= 0, "a finite duration");
    Check(wma.FileSize == int64_t(bytes.size()), "the file's size");
    Check(wma.FGetChannelMode() == (wma.ChannelModeID == 1 ? "Mono" : "Stereo"), "the channel mode name");
    return 0;
}
