// Builders of tag blocks byte by byte, so tests state exactly what a file holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace tagbytes {

inline std::string Be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

inline std::string Be24(uint32_t v) {
    return {static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

// Four 7-bit groups, most significant first.
inline std::string SevenBit(uint32_t v) {
    return {static_cast<char>((v >> 21) & 0x7F), static_cast<char>((v >> 14) & 0x7F),
            static_cast<char>((v >> 7) & 0x7F), static_cast<char>(v & 0x7F)};
}

// Text cut or padded with zero bytes to exactly width bytes.
inline std::string Fixed(const std::string& text, size_t width) {
    std::string out = text.substr(0, width);
    out.resize(width, '\0');
    return out;
}

// The 128-byte ID3v1 record; the 30-byte comment field is given whole, so a
// test decides bytes 28 and 29 itself.
inline std::string Id3v1Record(const std::string& title, const std::string& artist, const std::string& album,
                               const std::string& year, const std::string& comment30, uint8_t genre) {
    return "TAG" + Fixed(title, 30) + Fixed(artist, 30) + Fixed(album, 30) + Fixed(year, 4) +
           Fixed(comment30, 30) + std::string(1, static_cast<char>(genre));
}

// A version 1.1 comment field: 28 bytes of text, a zero byte, the track.
inline std::string CommentWithTrack(const std::string& text, uint8_t track) {
    return Fixed(text, 28) + std::string(1, '\0') + std::string(1, static_cast<char>(track));
}

inline std::string Lyrics3Field(const std::string& name, const std::string& data) {
    char size[6];
    std::snprintf(size, sizeof size, "%05zu", data.size());
    return name + size + data;
}

// "LYRICSBEGIN", the field bytes as given, the 6-digit size and "LYRICS200".
inline std::string Lyrics3Wrap(const std::string& fieldBytes) {
    const std::string block = "LYRICSBEGIN" + fieldBytes;
    char size[7];
    std::snprintf(size, sizeof size, "%06zu", block.size());
    return block + size + "LYRICS200";
}

inline std::string Lyrics3Block(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string bytes;
    for (const auto& [name, data] : fields) bytes += Lyrics3Field(name, data);
    return Lyrics3Wrap(bytes);
}

// An ID3v2 header whose size field counts bodySize bytes after the header.
inline std::string Id3v2Header(uint8_t version, uint8_t flags, uint32_t bodySize) {
    return std::string("ID3") + static_cast<char>(version) + '\0' + static_cast<char>(flags) + SevenBit(bodySize);
}

// A whole block: header, frames, then zero padding.
inline std::string Id3v2Block(uint8_t version, const std::string& frames, size_t padding = 0) {
    return Id3v2Header(version, 0, static_cast<uint32_t>(frames.size() + padding)) + frames +
           std::string(padding, '\0');
}

inline std::string Frame23(const std::string& id, const std::string& data, uint8_t flags2 = 0) {
    return id + Be32(static_cast<uint32_t>(data.size())) + '\0' + static_cast<char>(flags2) + data;
}

inline std::string Frame24(const std::string& id, const std::string& data) {
    return id + SevenBit(static_cast<uint32_t>(data.size())) + std::string(2, '\0') + data;
}

inline std::string Frame22(const std::string& id, const std::string& data) {
    return id + Be24(static_cast<uint32_t>(data.size())) + data;
}

// Text frame data: encoding byte then the bytes as given.
inline std::string Enc0(const std::string& text) {
    return '\0' + text;
}

// UTF-16 little-endian bytes of ASCII or Latin-1 code units.
inline std::string Utf16Le(const std::u16string& text) {
    std::string out;
    for (char16_t u : text) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

inline std::string Utf16Be(const std::u16string& text) {
    std::string out;
    for (char16_t u : text) {
        out += static_cast<char>(u >> 8);
        out += static_cast<char>(u & 0xFF);
    }
    return out;
}

inline std::string Enc1Bom(const std::u16string& text) {
    return "\x01\xFF\xFE" + Utf16Le(text);
}

} // namespace tagbytes
