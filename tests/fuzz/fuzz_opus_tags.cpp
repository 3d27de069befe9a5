// Feeds arbitrary files, and Ogg Opus files whose OpusTags packet is the
// input laid over pages of a size the input picks, to the Opus tag reader.
// fuzz-sources: tags/OpusTags.cpp tags/CommentReader.cpp tags/OggPacketCursor.cpp tags/OggPages.cpp
// fuzz-sources: tags/VorbisComment.cpp tags/TagFile.cpp tags/TagReadStream.cpp tags/TagText.cpp
// fuzz-sources: platform/CodePage.cpp platform/FileReplacement.cpp
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tags/OggPages.h"
#include "tags/OpusTags.h"
#include "tests/fuzz/TagReaderFuzz.h"

namespace {

std::string Pages(const std::string& packet, size_t segmentsPerPage) {
    std::vector<uint8_t> lacing(packet.size() / 255, 255);
    lacing.push_back(uint8_t(packet.size() % 255));
    std::string head = "OpusHead" + std::string(11, '\x01');
    ogg::Page first = ogg::MakePage(ogg::kFirstPage, 0, 7, 0, {uint8_t(head.size())}, head);
    std::string out = first.Header + first.Body;
    size_t at = 0;
    for (size_t s = 0, sequence = 1; s < lacing.size(); s += segmentsPerPage, ++sequence) {
        std::vector<uint8_t> values(lacing.begin() + long(s),
                                    lacing.begin() +
                                        long(std::min(s + segmentsPerPage, lacing.size())));
        size_t size = 0;
        for (uint8_t v : values)
            size += v;
        ogg::Page page = ogg::MakePage(s ? ogg::kContinued : 0, 0, 7, uint32_t(sequence), values,
                                       packet.substr(at, size));
        out += page.Header + page.Body;
        at += size;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    if (data[0] & 1) bytes = Pages("OpusTags" + bytes, data[1] % ogg::kMaxSegments + 1);
    fuzzfile::CheckReader(bytes, ReadOpusTags);
    return 0;
}
