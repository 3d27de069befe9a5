#include "audio/cd/CdText.h"

#include <cstdint>

#include "platform/CodePage.h"

namespace audio {

std::string CdTextToUtf8(const std::string& text)
{
    if (!platform::IsValidUtf8(text))
        return platform::ConvertText(text, "ISO-8859-1", "UTF-8");
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
    return high && platform::IsValidUtf8(bytes) ? bytes : text;
}

} // namespace audio
