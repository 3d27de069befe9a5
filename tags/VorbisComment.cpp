#include "tags/VorbisComment.h"

#include <algorithm>
#include <cstring>
#include <limits>

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

// Surrogate code points have no UTF-8 form; they become "?" as an
// unconvertible character would.
void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | code >> 6);
        out += char(0x80 | (code & 0x3F));
    } else if (code >= 0xD800 && code <= 0xDFFF) {
        out += '?';
    } else if (code < 0x10000) {
        out += char(0xE0 | code >> 12);
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | code >> 18);
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
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
    field.Name = text.substr(0, eq);
    for (char& c : field.Name)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    field.Value = tagtext::Trim(std::string_view(text).substr(eq + 1));
    return field;
}

std::string DecodeUtf8(std::string_view Value) {
    std::string out;
    size_t i = 0;
    while (i < Value.size()) {
        uint8_t lead = Value[i];
        if (lead < 0x80) {
            out += char(lead);
            ++i;
            continue;
        }
        size_t length;
        uint32_t code;
        if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else if (lead & 0x20) {
            length = 3;
            code = lead & 0x0F;
        } else {
            length = 2;
            code = lead & 0x1F;
        }
        if (i + length > Value.size()) break;
        bool wellFormed = true;
        for (size_t k = 1; k < length && wellFormed; ++k) {
            uint8_t next = Value[i + k];
            wellFormed = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        if (!wellFormed || (length == 4 && (code < 0x10000 || code > 0x10FFFF))) break;
        AppendUtf8(out, code);
        i += length;
    }
    return out;
}

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
