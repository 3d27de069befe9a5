// Feeds arbitrary bytes to the Vorbis comment packet walker, in memory: every
// comment lies within the packet, the walk never claims more than the count,
// names and decoded values keep their form, and a whole packet built again
// from its parts is the same bytes.
// fuzz-sources: tags/VorbisComment.cpp tags/TagText.cpp platform/CodePage.cpp
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/CodePage.h"
#include "tags/VorbisComment.h"
#include "tests/fuzz/FuzzFile.h"

using fuzzfile::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte decides whether the packet gets a proper start, so the
    // fuzzer need not find it.
    std::string packet(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) packet.insert(0, "\x03vorbis", 7);
    const std::string_view whole(packet);

    uint64_t items = 0;
    vorbiscomment::PacketBuilder builder(vorbiscomment::Vendor(whole));
    vorbiscomment::Layout layout = vorbiscomment::Walk(whole, [&](std::string_view item) {
        Check(item.data() >= whole.data() && item.data() + item.size() <= whole.data() + whole.size(),
              "a comment lies within the packet");
        ++items;
        builder.Add(item);
        if (std::optional<vorbiscomment::Field> field = vorbiscomment::Split(item)) {
            Check(field->Name.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos, "names are upper case");
            Check(field->Name.size() + field->Value.size() < 250, "the reader's view is cut to 250 bytes");
            Check(platform::IsValidUtf8(vorbiscomment::DecodeUtf8(field->Value)), "decoded values are UTF-8");
        }
    });
    Check(layout.End <= whole.size(), "the walk ends within the packet");
    Check(items <= layout.Count, "no more comments than the count");
    Check(!layout.Whole || items == layout.Count, "a whole packet has all its comments");
    Check(layout.Vendor == vorbiscomment::Vendor(whole), "the vendor is the same either way");
    if (layout.Whole) {
        std::optional<std::string> rebuilt = builder.Finish(whole.substr(layout.End));
        Check(rebuilt && *rebuilt == packet, "a whole packet is rebuilt byte for byte");
    }
    return 0;
}
