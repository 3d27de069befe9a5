// Small text steps shared by the readers of HTTP responses: media types and
// case-insensitive prefixes, in ASCII as HTTP has them.
#pragma once

#include <string>
#include <string_view>

namespace audio {

// The type/subtype of a Content-Type in lower case, without its parameters
// ("audio/aacp" of " Audio/AACP; charset=x").
std::string MediaTypeOf(std::string_view contentType);

bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Without spaces and tabs at either end.
std::string_view TrimBlanks(std::string_view text);

} // namespace audio
