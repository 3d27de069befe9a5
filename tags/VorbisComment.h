// The Vorbis comment packet in memory: walking its comments within the
// packet's own bytes, the name and value of a comment as the tag reader sees
// them, and assembling a new packet.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vorbiscomment {

// What a walk found of the packet's structure.
struct Layout {
    std::string_view Vendor;
    uint32_t Count = 0; // as declared
    // The vendor, the count and every declared comment lay within the packet.
    bool Whole = false;
    // Just after the last comment walked: where a sound packet's framing
    // byte stands.
    size_t End = 0;
};

// Calls Item with the bytes of each comment in order, as far as they lie
// within the packet; a count or length reaching past its end ends the walk.
// The packet starts with its type byte and "vorbis"; anything else has no
// comments. Each comment costs at least its 4-byte length, so a walk costs
// what the packet's bytes cost, whatever the count says.
Layout Walk(std::string_view Packet, const std::function<void(std::string_view Item)>& Item);

// The vendor string alone; empty when the packet holds none.
std::string_view Vendor(std::string_view Packet);

// The reader's view of a comment: its first 250 bytes, blanks trimmed at
// both ends, split at the first "=". The name is upper-cased (ASCII letters).
struct Field {
    std::string Name;
    std::string Value; // trimmed, still UTF-8 as stored
};
// Nothing for a comment without "=".
std::optional<Field> Split(std::string_view Item);

// Decodes UTF-8 as far as it is well formed: the first malformed or cut-off
// sequence ends the text.
std::string DecodeUtf8(std::string_view Value);

// Assembles a packet: type byte and "vorbis", the vendor, the count, the
// comments, then Tail (the framing byte and whatever followed it).
class PacketBuilder {
  public:
    explicit PacketBuilder(std::string_view Vendor);
    void Add(std::string_view Item);
    // Nothing when the count or a length does not fit in 32 bits.
    std::optional<std::string> Finish(std::string_view Tail);

  private:
    std::string packet_;
    size_t countAt_ = 0;
    uint64_t count_ = 0;
    bool fits_ = true;
};

} // namespace vorbiscomment
