// Small text rules the tag formats share. "Blanks" are the characters with
// codes 0 to 32, which the formats trim.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tagtext {

std::string TrimRight(std::string_view text);
std::string Trim(std::string_view text);
// The first count characters of a UTF-8 text.
std::string FirstChars(std::string_view text, size_t count);
// A decimal integer: an optional sign and digits only, within 32 bits.
std::optional<int32_t> ParseDecimal(std::string_view text);
// Replaces every occurrence of from, left to right, in one pass.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

} // namespace tagtext
