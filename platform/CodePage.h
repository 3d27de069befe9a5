// Conversions between UTF-8 (the program's text), the legacy 8-bit code page
// of tag texts, and UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// "windows-1251" for Cyrillic locales, else "windows-1252"; NILO_CODEPAGE overrides.
std::string LegacyCodePage();

// Converts with iconv. ok (when given) is false if a character could not be
// represented or the input was malformed; such characters become '?'.
std::string ConvertText(std::string_view text, const char* from, const char* to, bool* ok = nullptr);

std::string LegacyToUtf8(std::string_view text);
std::string Utf8ToLegacy(std::string_view text, bool* lossless = nullptr);
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

bool IsValidUtf8(std::string_view text);

} // namespace platform
