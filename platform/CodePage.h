// The program's one text codec: UTF-8 (the program's text), UTF-16 and the
// legacy 8-bit code page of tag texts, and the character-wise operations on
// UTF-8 that the displays and tag fields need. A character that cannot be
// converted becomes '?' everywhere.
#pragma once

#include <cstddef>
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

// Surrogates are read one way by every conversion: a high surrogate followed
// by a low one is decoded as the character they make together, any other
// surrogate becomes '?'. That holds for UTF-16 and for surrogates written in
// three UTF-8 bytes each, as text converted one 16-bit unit at a time has
// them.

// Zero units are kept.
std::string Utf16ToUtf8(std::u16string_view text);
// The same from UTF-16 bytes in the given order; an odd last byte is dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);
// Each ill-formed UTF-8 sequence becomes '?'.
std::u16string Utf8ToUtf16(std::string_view text);

// Well-formed UTF-8 is that of RFC 3629: shortest forms only, no surrogates,
// nothing above U+10FFFF. An ill-formed sequence is the longest run of bytes
// that begins one and cannot be completed.
bool IsValidUtf8(std::string_view text);
// Well-formed UTF-8 of the text, each ill-formed sequence replaced by '?'.
std::string ValidUtf8(std::string_view text);
// Well-formed UTF-8 of the text up to its first ill-formed or cut-off
// sequence.
std::string Utf8BeforeBreak(std::string_view text);

// Characters of UTF-8 text counted by their first bytes, so that any bytes
// can be measured and cut without splitting a character.
size_t Utf8Length(std::string_view text);
// Count characters from character Start (0-based), cut at the end.
std::string Utf8Mid(std::string_view text, size_t Start, size_t Count);

// ASCII letters in upper case; every other character stays as it is.
std::string AsciiUpper(std::string text);
std::u16string AsciiUpper(std::u16string text);

} // namespace platform
