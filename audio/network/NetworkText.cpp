#include "audio/network/NetworkText.h"

namespace audio {
namespace {

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

std::string MediaTypeOf(std::string_view contentType)
{
    std::string type(TrimBlanks(contentType.substr(0, contentType.find(';'))));
    for (char& c : type)
        c = LowerAscii(c);
    return type;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (LowerAscii(text[i]) != LowerAscii(prefix[i]))
            return false;
    return true;
}

std::string_view TrimBlanks(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace audio
