#include "audio/network/StreamPlaylist.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

#include "audio/network/NetworkText.h"

namespace audio {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// More digits than any playlist numbers its entries with.
constexpr size_t kMostEntryDigits = 9;

std::string_view WithoutBom(std::string_view text)
{
    return text.starts_with(kUtf8Bom) ? text.substr(kUtf8Bom.size()) : text;
}

// The lines that are not blank, trimmed; CR LF, LF and CR all end a line.
std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = std::min(text.find_first_of("\r\n"), text.size());
        if (const std::string_view line = TrimBlanks(text.substr(0, end)); !line.empty())
            lines.push_back(line);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

bool IsWebAddress(std::string_view text)
{
    return StartsWithNoCase(text, "http://") || StartsWithNoCase(text, "https://");
}

// The length of the scheme of an absolute address ("http" of "http://x"),
// 0 for a relative one.
size_t SchemeLength(std::string_view address)
{
    if (address.empty() || !std::isalpha(static_cast<unsigned char>(address[0])))
        return 0;
    for (size_t i = 1; i < address.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(address[i]);
        if (c == ':')
            return i;
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

// An http:// or https:// address with a host, its scheme in lower case.
std::optional<std::string> WebAddress(std::string_view address)
{
    if (!IsWebAddress(address))
        return std::nullopt;
    const size_t schemeEnd = address.find(':');
    const std::string_view rest = address.substr(schemeEnd + 3);
    if (rest.empty() || rest.find_first_of("/?#") == 0)
        return std::nullopt;
    std::string result(address);
    for (size_t i = 0; i < schemeEnd; ++i)
        result[i] = char(std::tolower(static_cast<unsigned char>(result[i])));
    return result;
}

// A path with its "." and ".." segments taken out; what follows a '?' or '#'
// is kept as it is.
std::string WithoutDotSegments(std::string_view path)
{
    const size_t tailAt = std::min(path.find_first_of("?#"), path.size());
    const std::string_view tail = path.substr(tailAt);
    std::string_view rest = path.substr(0, tailAt);
    if (rest.starts_with('/'))
        rest.remove_prefix(1);
    std::vector<std::string_view> segments;
    bool endsAsFolder = false;
    for (;;) {
        const size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        endsAsFolder = segment == "." || segment == "..";
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (segment != ".") {
            segments.push_back(segment);
        }
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    std::string out;
    for (const std::string_view segment : segments)
        out.append("/").append(segment);
    if (endsAsFolder || out.empty())
        out += '/';
    return out.append(tail);
}

// The address `reference` names, read against `base` as a browser reads a
// link on the page at base.
std::optional<std::string> Resolve(std::string_view reference, std::string_view base)
{
    if (reference.empty())
        return std::nullopt;
    if (SchemeLength(reference) > 0)
        return WebAddress(reference);
    const auto webBase = WebAddress(base);
    if (!webBase)
        return std::nullopt;
    const std::string_view b = *webBase;
    const size_t schemeEnd = b.find(':');
    const size_t pathStart = std::min(b.find_first_of("/?#", schemeEnd + 3), b.size());
    const size_t pathEnd = std::min(b.find_first_of("?#", pathStart), b.size());
    const std::string origin(b.substr(0, pathStart));
    const std::string_view basePath = b.substr(pathStart, pathEnd - pathStart);

    if (reference.starts_with("//"))
        return WebAddress(std::string(b.substr(0, schemeEnd + 1)).append(reference));
    if (reference.starts_with('/'))
        return origin + WithoutDotSegments(reference);
    if (reference.starts_with('?'))
        return origin + std::string(basePath.empty() ? "/" : basePath) + std::string(reference);
    if (reference.starts_with('#'))
        return std::string(b.substr(0, std::min(b.find('#'), b.size()))) + std::string(reference);
    const std::string_view folder = basePath.substr(0, basePath.rfind('/') + 1);
    return origin + WithoutDotSegments(std::string(folder.empty() ? "/" : folder) + std::string(reference));
}

// N of a PLS "FileN" key (spaces around it allowed), if the line has one.
std::optional<uint32_t> PlsEntryNumber(std::string_view line, std::string_view& value)
{
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    const std::string_view key = TrimBlanks(line.substr(0, equals));
    const std::string_view digits = key.substr(std::min<size_t>(4, key.size()));
    if (!StartsWithNoCase(key, "file") || digits.empty() || digits.size() > kMostEntryDigits
        || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    value = TrimBlanks(line.substr(equals + 1));
    return static_cast<uint32_t>(std::stoul(std::string(digits)));
}

} // namespace

bool IsPlaylistResponse(std::string_view contentType, std::string_view firstBytes)
{
    static constexpr std::string_view kPlaylistTypes[] = {"audio/x-scpls",   "audio/scpls",
                                                          "audio/x-mpegurl", "audio/mpegurl",
                                                          "application/x-mpegurl", "application/pls+xml"};
    const std::string type = MediaTypeOf(contentType);
    if (std::find(std::begin(kPlaylistTypes), std::end(kPlaylistTypes), type) != std::end(kPlaylistTypes))
        return true;
    const std::vector<std::string_view> lines = Lines(WithoutBom(firstBytes.substr(0, kMostPlaylistBytes)));
    if (lines.empty())
        return false;
    return StartsWithNoCase(lines[0], "[playlist]") || StartsWithNoCase(lines[0], "#EXTM3U") || IsWebAddress(lines[0]);
}

std::optional<std::string> FirstStreamAddress(std::string_view body, const std::string& base)
{
    const std::vector<std::string_view> lines = Lines(WithoutBom(body.substr(0, kMostPlaylistBytes)));
    const auto isHlsTag = [](std::string_view line) { return StartsWithNoCase(line, "#EXT-X-"); };
    if (std::any_of(lines.begin(), lines.end(), isHlsTag))
        return std::nullopt;

    bool pls = !lines.empty() && StartsWithNoCase(lines[0], "[playlist]");
    std::optional<uint32_t> lowest;
    std::optional<std::string> address;
    for (const std::string_view line : lines) {
        std::string_view value;
        const auto number = PlsEntryNumber(line, value);
        if (!number)
            continue;
        pls = true;
        if (lowest && *number >= *lowest)
            continue;
        if (auto resolved = Resolve(value, base)) {
            lowest = number;
            address = std::move(resolved);
        }
    }
    if (pls)
        return address;

    for (const std::string_view line : lines)
        if (!line.starts_with('#'))
            if (auto resolved = Resolve(line, base))
                return resolved;
    return std::nullopt;
}

} // namespace audio
