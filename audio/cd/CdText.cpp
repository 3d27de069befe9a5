#include "audio/cd/CdText.h"

#include <cstdint>

namespace audio {

bool IsValidUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        size_t more = 0;
        uint32_t cp = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            cp = lead & 0x07;
        } else {
            return false;
        }
        if (i + more >= text.size())
            return false;
        for (size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

std::string Latin1ToUtf8(const std::string& text)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

std::string CdTextToUtf8(const std::string& text)
{
    if (!IsValidUtf8(text))
        return Latin1ToUtf8(text);
    // Back to the bytes, if every character is one Latin-1 has.
    std::string bytes;
    bool high = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<uint8_t>(text[i]);
        if (lead < 0x80) {
            bytes += text[i];
        } else if ((lead == 0xC2 || lead == 0xC3) && i + 1 < text.size()) {
            bytes += static_cast<char>(((lead & 0x03) << 6) | (static_cast<uint8_t>(text[++i]) & 0x3F));
            high = true;
        } else {
            return text;
        }
    }
    return high && IsValidUtf8(bytes) ? bytes : text;
}

} // namespace audio
