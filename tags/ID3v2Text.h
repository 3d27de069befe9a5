// Texts of ID3v2 frames: a frame's value is its encoding byte followed by the
// text. Encoding 0 is the legacy 8-bit code page, 1 UTF-16 after a byte-order
// mark (little-endian without one), 2 UTF-16 big-endian, 3 UTF-8. Program
// texts are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace id3v2 {

// The text, trimmed; ends at the first zero unit except in encoding 0.
std::string Decode(std::string_view value);
// The text after the language and description of a comment frame's value.
std::string DecodeComment(std::string_view value);
// The address after the description of a user link frame's value; the
// address is 8-bit text whatever the description's encoding.
std::string DecodeLink(std::string_view value);
// The description that starts prefix bytes into the value (4 for a
// comment, 1 for a link).
std::string DecodeDescription(std::string_view value, size_t prefix);

// A text frame's value: legacy 8-bit when the code page holds every
// character, else UTF-16 so that nothing is lost.
std::string EncodeText(const std::string& text);
// A comment frame's value in the same two encodings; language is 3 bytes.
std::string EncodeComment(std::string_view language, const std::string& description, const std::string& text);
// A user link frame's value. An address the code page cannot hold keeps
// working with its other characters written as UTF-8 escapes.
std::string EncodeLink(const std::string& description, const std::string& link);

} // namespace id3v2
