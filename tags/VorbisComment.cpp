#include "tags/VorbisComment.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/CodePage.h"
#include "tags/TagText.h"

namespace vorbiscomment {

namespace {

constexpr size_t kTypeSize = 7; // type byte and "vorbis"
constexpr size_t kItemLimit = 250;

uint32_t Le32(std::string_view bytes, size_t at) {
    auto b = [&](size_t i) { return uint32_t(uint8_t(bytes[at + i])); };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

void PutLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += char(v >> (8 * i));
}

bool IsCommentPacket(std::string_view packet) {
    return packet.size() >= kTypeSize + 4 && packet[0] == '\x03' && packet.substr(1, 6) == "vorbis";
}

} // namespace

Layout Walk(std::string_view Packet, const std::function<void(std::string_view Item)>& Item) {
    Layout layout;
    if (!IsCommentPacket(Packet)) return layout;
    size_t at = kTypeSize;
    auto take = [&](std::string_view& out) {
        if (Packet.size() - at < 4) return false;
        uint32_t length = Le32(Packet, at);
        if (Packet.size() - at - 4 < length) return false;
        out = Packet.substr(at + 4, length);
        at += 4 + size_t(length);
        return true;
    };
    if (!take(layout.Vendor)) return layout;
    layout.End = at;
    if (Packet.size() - at < 4) return layout;
    layout.Count = Le32(Packet, at);
    at += 4;
    layout.End = at;
    for (uint32_t i = 0; i < layout.Count; ++i) {
        std::string_view item;
        if (!take(item)) return layout;
        Item(item);
        layout.End = at;
    }
    layout.Whole = true;
    return layout;
}

std::string_view Vendor(std::string_view Packet) {
    if (!IsCommentPacket(Packet)) return {};
    uint32_t length = Le32(Packet, kTypeSize);
    return Packet.size() - kTypeSize - 4 < length ? std::string_view() : Packet.substr(kTypeSize + 4, length);
}

std::optional<Field> Split(std::string_view Item) {
    std::string text = tagtext::Trim(Item.substr(0, std::min(Item.size(), kItemLimit)));
    size_t eq = text.find('=');
    if (eq == std::string::npos) return std::nullopt;
    Field field;
    field.Name = platform::AsciiUpper(text.substr(0, eq));
    field.Value = tagtext::Trim(std::string_view(text).substr(eq + 1));
    return field;
}

std::string DecodeUtf8(std::string_view Value) { return platform::Utf8BeforeBreak(Value); }

PacketBuilder::PacketBuilder(std::string_view Vendor) : packet_("\x03vorbis") {
    fits_ = Vendor.size() <= std::numeric_limits<uint32_t>::max();
    PutLe32(packet_, uint32_t(Vendor.size()));
    packet_ += Vendor;
    countAt_ = packet_.size();
    PutLe32(packet_, 0);
}

void PacketBuilder::Add(std::string_view Item) {
    fits_ = fits_ && Item.size() <= std::numeric_limits<uint32_t>::max();
    PutLe32(packet_, uint32_t(Item.size()));
    packet_ += Item;
    ++count_;
}

std::optional<std::string> PacketBuilder::Finish(std::string_view Tail) {
    if (!fits_ || count_ > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    std::string count;
    PutLe32(count, uint32_t(count_));
    packet_.replace(countAt_, 4, count);
    packet_ += Tail;
    return std::move(packet_);
}

} // namespace vorbiscomment
