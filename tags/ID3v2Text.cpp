#include "tags/ID3v2Text.h"

#include <algorithm>
#include <cstdio>

#include "platform/CodePage.h"
#include "tags/TagText.h"

using tagtext::Trim;

namespace id3v2 {

namespace {

// UTF-16: a leading byte-order mark picks the byte order and is dropped; the
// text ends at a zero unit.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    if (bytes.size() >= 2) {
        const std::string_view mark = bytes.substr(0, 2);
        if (mark == "\xFE\xFF" || mark == "\xFF\xFE") {
            bigEndian = mark == "\xFE\xFF";
            bytes.remove_prefix(2);
        }
    }
    for (size_t k = 0; k + 1 < bytes.size(); k += 2)
        if (bytes[k] == 0 && bytes[k + 1] == 0) return platform::Utf16ToUtf8(bytes.substr(0, k), bigEndian);
    return platform::Utf16ToUtf8(bytes, bigEndian);
}

// Text some writers label UTF-8 is often in the code page: such bytes are
// read as the code page's.
std::string DecodeUtf8(std::string_view bytes) {
    const std::string_view text = bytes.substr(0, bytes.find('\0'));
    return platform::IsValidUtf8(text) ? std::string(text) : platform::LegacyToUtf8(text);
}

bool Wide(char encoding) {
    return encoding == 1 || encoding == 2;
}

// Where the text after the description starts, prefix bytes into the value:
// after the first zero byte, or in UTF-16 the first zero unit on a unit
// boundary. Without one, one byte goes in UTF-16 and none otherwise.
size_t TextStart(std::string_view value, size_t prefix) {
    const std::string_view rest = value.substr(std::min(prefix, value.size()));
    if (Wide(value[0])) {
        for (size_t k = 0; k + 1 < rest.size(); k += 2)
            if (rest[k] == 0 && rest[k + 1] == 0) return value.size() - rest.size() + k + 2;
        return value.size() - rest.size() + std::min<size_t>(1, rest.size());
    }
    const size_t zero = rest.find('\0');
    return value.size() - rest.size() + (zero == std::string_view::npos ? 0 : zero + 1);
}

const std::string kUtf16Bom = "\xFF\xFE";

std::string Utf16Bytes(const std::string& text) {
    std::string bytes = kUtf16Bom;
    for (char16_t u : platform::Utf8ToUtf16(text)) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

std::string Legacy(const std::string& text, bool& lossless) {
    bool ok = true;
    std::string legacy = platform::Utf8ToLegacy(text, &ok);
    lossless = lossless && ok;
    return legacy;
}

} // namespace

std::string Decode(std::string_view value) {
    if (value.empty()) return {};
    switch (value[0]) {
    case 1: return Trim(DecodeUtf16(value.substr(1), false));
    case 2: return Trim(DecodeUtf16(value.substr(1), true));
    case 3: return Trim(DecodeUtf8(value.substr(1)));
    default: return platform::LegacyToUtf8(Trim(value));
    }
}

std::string DecodeComment(std::string_view value) {
    if (value.empty()) return {};
    return Decode(value[0] + std::string(value.substr(TextStart(value, 4))));
}

std::string DecodeLink(std::string_view value) {
    if (value.empty()) return {};
    return Decode('\0' + std::string(value.substr(TextStart(value, 1))));
}

std::string DecodeDescription(std::string_view value, size_t prefix) {
    if (value.size() <= prefix) return {};
    return Decode(value[0] + std::string(value.substr(prefix, TextStart(value, prefix) - prefix)));
}

std::string EncodeText(const std::string& text) {
    bool lossless = true;
    const std::string legacy = Legacy(text, lossless);
    return lossless ? '\0' + legacy : '\x01' + Utf16Bytes(text);
}

std::string EncodeComment(std::string_view language, const std::string& description, const std::string& text) {
    bool lossless = true;
    const std::string legacyDescription = Legacy(description, lossless);
    const std::string legacyText = Legacy(text, lossless);
    if (lossless) return '\0' + std::string(language) + legacyDescription + '\0' + legacyText;
    return '\x01' + std::string(language) + Utf16Bytes(description) + std::string(2, '\0') + Utf16Bytes(text);
}

std::string EncodeLink(const std::string& description, const std::string& link) {
    bool lossless = true;
    std::string legacy = Legacy(link, lossless);
    if (!lossless) {
        legacy.clear();
        for (unsigned char c : link) {
            if (c < 0x80) {
                legacy += static_cast<char>(c);
            } else {
                char escape[4];
                std::snprintf(escape, sizeof escape, "%%%02X", c);
                legacy += escape;
            }
        }
    }
    bool plainDescription = true;
    const std::string legacyDescription = Legacy(description, plainDescription);
    if (plainDescription) return '\0' + legacyDescription + '\0' + legacy;
    return '\x01' + Utf16Bytes(description) + std::string(2, '\0') + legacy;
}

} // namespace id3v2
