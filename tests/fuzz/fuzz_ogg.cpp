// Feeds arbitrary files, and Ogg Vorbis files assembled from the input with
// their header packets spread over pages of any size, to the Vorbis comment
// reader, then saves and clears their comments: a refused save changes
// nothing, and a save keeps the bytes up to the first page's end, every audio
// packet, and every comment it does not write, gives its header pages valid
// checksums and reads back the values written.
// fuzz-sources: tags/OggVorbis.cpp tags/OggPages.cpp tags/VorbisComment.cpp tags/TagFile.cpp tags/TagText.cpp
// fuzz-sources: platform/CodePage.cpp platform/FileReplacement.cpp
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tags/OggVorbis.h"
#include "tags/VorbisComment.h"
#include "tests/fuzz/FuzzFile.h"

using fuzzfile::Check;

namespace {

std::string Le32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += char(v >> (8 * i));
    return s;
}

uint32_t ReadLe32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | uint8_t(bytes[at + i]);
    return v;
}

// Bit by bit, apart from the library's table.
uint32_t Crc(const std::string& bytes) {
    uint32_t crc = 0;
    for (unsigned char b : bytes) {
        crc ^= uint32_t(b) << 24;
        for (int i = 0; i < 8; ++i) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

std::string Page(uint8_t flags, uint32_t sequence, const std::string& lacing, const std::string& body) {
    std::string page = std::string("OggS") + '\0' + char(flags) + std::string(8, '\x01') + Le32(7) + Le32(sequence) +
                       Le32(0) + char(lacing.size()) + lacing + body;
    page.replace(22, 4, Le32(Crc(page)));
    return page;
}

// Packets on pages of at most perPage lacing values each, from sequence on.
std::string Pages(const std::vector<std::string>& packets, size_t perPage, uint32_t& sequence, uint8_t lastFlags = 0) {
    std::string lacing, body;
    for (const std::string& p : packets) {
        lacing += std::string(p.size() / 255, char(255)) + char(p.size() % 255);
        body += p;
    }
    std::string out;
    bool continued = false;
    for (size_t at = 0, bodyAt = 0; at < lacing.size(); at += perPage) {
        std::string part = lacing.substr(at, perPage);
        size_t size = 0;
        for (char v : part) size += uint8_t(v);
        bool last = at + perPage >= lacing.size();
        out += Page(uint8_t((continued ? 1 : 0) | (last ? lastFlags : 0)), sequence++, part, body.substr(bodyAt, size));
        bodyAt += size;
        continued = uint8_t(part.back()) == 255;
    }
    return out;
}

// Input after the first byte: comment items separated by newlines, then,
// after a zero byte, the setup packet and the audio bytes.
std::string Assemble(const std::string& input, size_t perPage) {
    size_t split = std::min(input.find('\0'), input.size());
    std::string items = input.substr(0, split);
    std::string rest = split < input.size() ? input.substr(split + 1) : std::string();
    std::string comment;
    uint32_t count = 0;
    for (size_t start = 0; start <= items.size() && count < 200;) {
        size_t end = std::min(items.find('\n', start), items.size());
        std::string item = items.substr(start, end - start);
        comment += Le32(uint32_t(item.size())) + item;
        ++count;
        start = end + 1;
    }
    std::string packet = std::string("\x03vorbis", 7) + Le32(4) + "fuzz" + Le32(count) + comment + '\x01';
    std::string setup = "\x05vorbis" + rest.substr(0, rest.size() / 2);
    std::string audio = rest.substr(rest.size() / 2);
    std::string id = std::string("\x01vorbis", 7) + Le32(0) + '\x02' + Le32(44100) + Le32(0) + Le32(128000) + Le32(0) +
                     '\xB8' + '\x01';
    uint32_t sequence = 0;
    std::string file = Page(2, sequence++, std::string(1, char(id.size())), id);
    file += Pages({packet, setup}, perPage, sequence);
    std::vector<std::string> audioPackets;
    for (size_t at = 0; at < audio.size(); at += 300) audioPackets.push_back(audio.substr(at, 300));
    if (!audioPackets.empty()) file += Pages(audioPackets, 7, sequence, 4);
    return file;
}

struct Stream {
    size_t firstPageEnd = 0;
    std::vector<std::string> packets; // of the first page's stream, as far as pages follow one another
    std::vector<std::pair<size_t, size_t>> headerPages; // offset and size of the pages with comment or setup bytes
};

// An independent reading of the pages from offset on.
Stream ReadStream(const std::string& bytes, size_t offset) {
    Stream s;
    std::string partial;
    uint32_t serial = 0;
    for (size_t at = offset; at + 27 <= bytes.size() && bytes.compare(at, 4, "OggS") == 0;) {
        size_t segments = uint8_t(bytes[at + 26]);
        size_t body = at + 27 + segments;
        if (body > bytes.size()) break;
        size_t size = 0;
        for (size_t i = 0; i < segments; ++i) size += uint8_t(bytes[at + 27 + i]);
        if (body + size > bytes.size()) break;
        if (at == offset) {
            serial = ReadLe32(bytes, at + 14);
            s.firstPageEnd = body + size;
        }
        if (ReadLe32(bytes, at + 14) == serial) {
            const size_t before = s.packets.size();
            for (size_t i = 0, p = body; i < segments; ++i) {
                uint8_t v = uint8_t(bytes[at + 27 + i]);
                partial.append(bytes, p, v);
                p += v;
                if (v < 255) s.packets.push_back(std::move(partial)), partial.clear();
            }
            if (at != offset && before < 3) s.headerPages.push_back({at, body + size - at});
        }
        at = body + size;
    }
    return s;
}

// The comments of a packet other than those a save writes.
std::vector<std::string> KeptComments(const std::string& packet) {
    std::vector<std::string> kept;
    vorbiscomment::Walk(packet, [&](std::string_view item) {
        std::optional<vorbiscomment::Field> f = vorbiscomment::Split(item);
        for (const char* name : {"TITLE", "ARTIST", "ALBUM", "TRACKNUMBER", "DATE", "GENRE", "COMMENT"})
            if (f && f->Name == name) return;
        kept.emplace_back(item);
    });
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string name = fuzzfile::Path("song.ogg");
    if (size == 0) return 0;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string bytes = (data[0] & 1) ? Assemble(input, 1 + (data[0] >> 1)) : input;
    fuzzfile::Write(name, bytes);

    TOggVorbis tag;
    const bool read = tag.ReadFromFile(name);
    Check(read || (tag.Title.empty() && tag.SampleRate == 0), "a refused file leaves the fields empty");
    Check(tag.ID3v2Size >= 0 && size_t(tag.ID3v2Size) <= bytes.size(), "the ID3v2 block lies inside the file");

    TOggVorbis saver;
    saver.Title = "Fuzz title";
    saver.Artist = "Artist \xF0\x9F\x8E\xB5";
    saver.Album = tag.Album.substr(0, 40);
    saver.Track = 7;
    const bool saved = saver.SaveTag(name);
    const std::string after = fuzzfile::Read(name);
    Check(!saved || read, "only an Ogg Vorbis file is saved");
    if (!saved) {
        Check(after == bytes, "a refused save changes nothing");
        return 0;
    }

    const Stream old = ReadStream(bytes, size_t(tag.ID3v2Size));
    const Stream now = ReadStream(after, size_t(tag.ID3v2Size));
    Check(old.packets.size() >= 3 && now.packets.size() >= 3, "the saved stream has its header packets");
    Check(after.compare(0, old.firstPageEnd, bytes, 0, old.firstPageEnd) == 0, "the bytes up to the first page's end stay");
    Check(std::vector<std::string>(old.packets.begin() + 2, old.packets.end()) ==
              std::vector<std::string>(now.packets.begin() + 2, now.packets.end()),
          "the setup header and every audio packet stay");
    Check(KeptComments(old.packets[1]) == KeptComments(now.packets[1]), "the comments not written stay");
    for (const auto& [at, length] : now.headerPages) {
        std::string page = after.substr(at, length);
        const std::string stored = page.substr(22, 4);
        page.replace(22, 4, std::string(4, '\0'));
        Check(Le32(Crc(page)) == stored, "the header pages' checksums verify");
    }

    TOggVorbis back;
    Check(back.ReadFromFile(name), "the saved file reads");
    Check(back.Title == saver.Title && back.Artist == saver.Artist && back.Track == 7, "the values read back");
    Check(back.SampleRate == tag.SampleRate && back.ChannelModeID == tag.ChannelModeID, "the stream is the same");

    Check(back.ClearTag(name), "a saved file can be cleared");
    Check(back.ReadFromFile(name) && back.Title.empty() && back.Artist.empty() && back.Track == 0,
          "clearing empties the fields");
    return 0;
}
