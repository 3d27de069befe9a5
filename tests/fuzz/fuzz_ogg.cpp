// Feeds arbitrary files, and Ogg Vorbis files assembled from the input, to
// the Vorbis comment reader, then saves and clears their comments: a refused
// save changes nothing, and a save keeps every byte outside the second page,
// gives that page a valid checksum and reads back the values written.
// fuzz-sources: tags/OggVorbis.cpp tags/TagFile.cpp tags/TagText.cpp platform/CodePage.cpp
#include <cstdint>
#include <filesystem>
#include <string>

#include "tags/OggVorbis.h"
#include "tests/fuzz/FuzzFile.h"

using fuzzfile::Check;

namespace {

std::string Le32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += char(v >> (8 * i));
    return s;
}

// Bit by bit, apart from the reader's table.
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

std::string Lacing(size_t size) { return std::string(size / 255, char(255)) + char(size % 255); }

// Input after the first byte: comment items separated by newlines, then,
// after a zero byte, the setup packet and the audio bytes.
std::string Assemble(const std::string& input) {
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
    if (packet.size() + setup.size() > 250 * 255) return input;
    return Page(2, 0, Lacing(id.size()), id) + Page(0, 1, Lacing(packet.size()) + Lacing(setup.size()), packet + setup) +
           Page(4, 2, Lacing(audio.size() % 60000), audio.substr(0, audio.size() % 60000));
}

uint8_t At(const std::string& bytes, size_t i) { return i < bytes.size() ? uint8_t(bytes[i]) : 0; }

// Where the second page ends, as the reader locates it.
size_t SecondPageEnd(const std::string& bytes, size_t secondPage) {
    size_t segments = At(bytes, secondPage + 26);
    size_t end = secondPage + 27 + segments;
    for (size_t i = 0; i < segments; ++i) end += At(bytes, secondPage + 27 + i);
    return end;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string name = fuzzfile::Path("song.ogg");
    if (size == 0) return 0;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string bytes = (data[0] & 1) ? Assemble(input) : input;
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
    Check(!std::filesystem::exists(name + "~"), "no temporary file stays");
    Check(!saved || read, "only an Ogg Vorbis file is saved");
    if (!saved) {
        Check(after == bytes, "a refused save changes nothing");
        return 0;
    }

    const size_t secondPage = size_t(tag.ID3v2Size) + 27 + At(bytes, size_t(tag.ID3v2Size) + 26) + 30;
    const size_t oldEnd = SecondPageEnd(bytes, secondPage);
    const size_t newEnd = SecondPageEnd(after, secondPage);
    Check(oldEnd <= bytes.size() && newEnd <= after.size(), "the second page lies inside the file");
    Check(after.compare(0, secondPage, bytes, 0, secondPage) == 0, "the bytes before the second page stay");
    Check(after.size() - newEnd == bytes.size() - oldEnd && after.compare(newEnd, std::string::npos, bytes, oldEnd) == 0,
          "the bytes after the second page stay");
    std::string page = after.substr(secondPage, newEnd - secondPage);
    const std::string stored = page.substr(22, 4);
    page.replace(22, 4, std::string(4, '\0'));
    Check(Le32(Crc(page)) == stored, "the second page's checksum verifies");

    TOggVorbis back;
    Check(back.ReadFromFile(name), "the saved file reads");
    Check(back.Title == saver.Title && back.Artist == saver.Artist && back.Track == 7, "the values read back");
    Check(back.SampleRate == tag.SampleRate && back.ChannelModeID == tag.ChannelModeID, "the stream is the same");

    Check(back.ClearTag(name), "a saved file can be cleared");
    Check(back.ReadFromFile(name) && back.Title.empty() && back.Artist.empty() && back.Track == 0,
          "clearing empties the fields");
    return 0;
}
