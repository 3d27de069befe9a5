// Station directories link to playlists (.pls, .m3u) that name the stream
// rather than to the stream itself.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace audio {

// A playlist body longer than this is no playlist a station sends.
constexpr size_t kMostPlaylistBytes = 65536;

// By Content-Type (audio/x-scpls, audio/scpls, audio/x-mpegurl,
// audio/mpegurl, application/x-mpegurl, application/pls+xml), or by the first
// bytes: "[playlist]", "#EXTM3U", or text whose first line that is not blank
// is an http:// or https:// address. firstBytes may be only the beginning of
// the body.
bool IsPlaylistResponse(std::string_view contentType, std::string_view firstBytes);

// The first stream address of a PLS (File1=, else the lowest FileN=) or M3U
// (first line that is not a comment) body; a relative one is resolved
// against base, the playlist's own address. Only http:// and https://
// addresses count. Nothing for none, and for an HLS playlist (#EXT-X- tags),
// whose entries are pieces rather than streams.
std::optional<std::string> FirstStreamAddress(std::string_view body, const std::string& base);

} // namespace audio
