// Builds the same frames into a plain block and into one with the block
// structures around them (an extended header, whole-block
// unsynchronisation, a footer): both must read alike, and saves of both must
// write the same frames. The first input byte picks version and structures,
// the rest is the frames.
// fuzz-sources: tags/ID3v2.cpp tags/ID3v2Fields.cpp tags/ID3v2Frames.cpp tags/ID3v2Header.cpp tags/ID3v2Save.cpp
// fuzz-sources: tags/ID3v2Text.cpp tags/ID3v2Unsync.cpp tags/ID3v2Upgrade.cpp
// fuzz-sources: tags/TagFile.cpp tags/TagText.cpp platform/CodePage.cpp platform/FileReplacement.cpp
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tags/ID3v2.h"
#include "tags/ID3v2Unsync.h"
#include "tests/fuzz/FuzzFile.h"
#include "tests/fuzz/ID3v2Fuzz.h"

using fuzzfile::Check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("NILO_CODEPAGE", "windows-1252", 1);
    return 0;
}

namespace {

std::string SevenBit(size_t v) {
    return {static_cast<char>((v >> 21) & 0x7F), static_cast<char>((v >> 14) & 0x7F),
            static_cast<char>((v >> 7) & 0x7F), static_cast<char>(v & 0x7F)};
}

std::string Block(uint8_t version, uint8_t flags, const std::string& body, const std::string& footer = {}) {
    return std::string("ID3") + static_cast<char>(version) + '\0' + static_cast<char>(flags) + SevenBit(body.size()) +
           body + footer;
}

// Audio that no reader takes for a tag.
const std::string kAudio = std::string("\xFF\xFB\x90\x64", 4) + std::string(60, '\x55');

bool SameFields(const TID3v2& a, const TID3v2& b) {
    return a.Title == b.Title && a.Artist == b.Artist && a.Album == b.Album && a.Track == b.Track &&
           a.TrackString == b.TrackString && a.Year == b.Year && a.Genre == b.Genre && a.Comment == b.Comment &&
           a.Composer == b.Composer && a.Encoder == b.Encoder && a.Copyright == b.Copyright &&
           a.Language == b.Language && a.Link == b.Link && a.AudioSizeText == b.AudioSizeText;
}

// The frames of a saved file's block: after the header, without padding.
std::string SavedFrames(const std::string& file) {
    std::string block = file.substr(0, file.size() - kAudio.size());
    block.erase(0, 10);
    block.erase(block.find_last_not_of('\0') + 1);
    return block;
}

struct Saved {
    TID3v2 read;
    std::string frames;
};

Saved ReadAndSave(const std::string& name, const std::string& block) {
    fuzzfile::Write(name, block + kAudio);
    Saved saved;
    Check(saved.read.ReadFromFile(name), "the block reads");
    Check(id3v2fuzz::SaveAsRead(saved.read, name), "the block saves");
    id3v2fuzz::CheckSaved(saved.read, name, kAudio);
    saved.frames = SavedFrames(fuzzfile::Read(name));
    return saved;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const std::string name = fuzzfile::Path("song.mp3");
    const uint8_t choice = data[0];
    const uint8_t version = static_cast<uint8_t>(2 + choice % 3);
    const std::string frames(reinterpret_cast<const char*>(data) + 1, size - 1);

    uint8_t flags = 0;
    std::string body = frames;
    std::string footer;
    if (version >= 3 && (choice & 0x08)) {
        flags |= 0x40;
        if (version == 3)
            body = (choice & 0x20 ? std::string("\0\0\0\x0A\x80\0\0\0\0\0CRC!", 14) : std::string("\0\0\0\x06", 4) +
                                                                                         std::string(6, '\0')) +
                   body;
        else
            body = SevenBit(6) + "\x01" + std::string(1, '\0') + body;
    }
    if (version <= 3 && (choice & 0x04)) {
        flags |= 0x80;
        body = id3v2::ApplyUnsync(body);
    }
    if (version == 4 && (choice & 0x10)) {
        flags |= 0x10;
        footer = std::string("3DI\x04\0", 5) + static_cast<char>(flags) + SevenBit(body.size());
    }

    const Saved plain = ReadAndSave(name, Block(version, 0, frames));
    const Saved dressed = ReadAndSave(name, Block(version, flags, body, footer));
    Check(SameFields(plain.read, dressed.read), "the structures around the frames change no field");
    Check(plain.frames == dressed.frames, "saves write the same frames");
    return 0;
}
