#include "TagText.h"

#include <charconv>

namespace tagtext {

static bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string TrimRight(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) --end;
    return std::string(text.substr(0, end));
}

std::string Trim(std::string_view text) {
    size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin])) ++begin;
    return TrimRight(text.substr(begin));
}

std::string FirstChars(std::string_view text, size_t count) {
    size_t end = 0;
    for (size_t chars = 0; end < text.size() && chars < count; ++chars) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    }
    return std::string(text.substr(0, end));
}

std::optional<int32_t> ParseDecimal(std::string_view text) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    if (text.empty() || text[0] == '+') return std::nullopt;
    int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string out;
    size_t at = 0;
    for (size_t hit; (hit = text.find(from, at)) != std::string_view::npos; at = hit + from.size()) {
        out.append(text.substr(at, hit - at));
        out.append(to);
    }
    out.append(text.substr(at));
    return out;
}

} // namespace tagtext
