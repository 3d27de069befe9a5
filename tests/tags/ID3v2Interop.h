// Files for the ID3v2 tests made by other programs at test time: MP3 audio
// by ffmpeg, blocks by mutagen (Debian's python3-mutagen), and mutagen's view
// of every frame, to compare a file before and after a save.
#pragma once

#include <string>

#include "tests/fixtures/Fixtures.h"
#include "tests/tags/TagTestFiles.h"

namespace id3v2test {

// Half a second of MP3 audio by ffmpeg, without a tag; made once.
inline const std::string& Mp3Audio() {
    static const std::string audio = [] {
        const std::string dir = fixtures::MakeTempDir("nilo-id3v2-audio");
        const std::string mp3 = dir + "/a.mp3";
        std::string bytes;
        if (fixtures::Run("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=0.5 -c:a libmp3lame "
                          "-b:a 64k -id3v2_version 0 -write_xing 0 -y " + fixtures::ShellQuote(mp3)))
            bytes = tagtest::ReadBytes(mp3);
        fixtures::RemoveTree(dir);
        return bytes;
    }();
    return audio;
}

// Runs a Python script that uses mutagen (imported as m) with the given
// shell words as arguments; returns what it printed and its exit status.
inline std::string Mutagen(const tagtest::TempFolder& dir, const std::string& script, const std::string& args,
                           int& status) {
    const std::string scriptFile = dir.File("id3script.py");
    tagtest::WriteBytes(scriptFile, "import sys, zlib, mutagen.id3 as m\n" + script);
    return tagtest::RunCommand("PYTHONIOENCODING=utf-8 /usr/bin/python3 " + fixtures::ShellQuote(scriptFile) + " " +
                                   args + " 2>&1",
                               status);
}

// Every frame as mutagen reads it, a line each in key order.
inline std::string MutagenFrames(const tagtest::TempFolder& dir, const std::string& file) {
    int status = 0;
    const std::string out = Mutagen(dir,
                                    "t = m.ID3(sys.argv[1])\n"
                                    "for k in sorted(t.keys()): print(k, repr(t[k]))\n",
                                    fixtures::ShellQuote(file), status);
    return status == 0 ? out : "mutagen failed: " + out;
}

// The bytes after the ID3v2 block that starts the file.
inline std::string AfterBlock(const std::string& bytes) {
    if (bytes.size() < 10 || bytes.compare(0, 3, "ID3") != 0) return bytes;
    size_t size = 10;
    for (int i = 6; i < 10; ++i) size += static_cast<size_t>(static_cast<unsigned char>(bytes[i])) << (7 * (9 - i));
    return bytes.substr(std::min(size, bytes.size()));
}

} // namespace id3v2test
