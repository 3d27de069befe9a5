// Fixture files for the decoder tests, made on first use in one temporary
// folder per test process (removed when the process's tests end), and the
// helpers the tests share.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/decoders/DecoderTable.h"

namespace decoders_test {

struct Fixture {
    std::string path;
    // Name of the factory that must take it, in the order of trial.
    std::string kind;
    uint32_t type = 0;
    // Frames the file holds by an independent count (the generator's, or
    // another decoder's); 0 when there is none.
    uint64_t frames = 0;
};

// Names: wav, floatwav, aiff, cbrmp3, vbrmp3, noxingmp3, taggedmp3, mpeg2mp3, mp2, ogg,
// wma, wmav1, mod, s3m, xm, it, stm, umx, midi.
const Fixture& GetFixture(const std::string& name);
const std::vector<std::string>& AllFixtureNames();
// A fresh path in the fixture folder.
std::string ScratchPath(const std::string& name);

// Tries the decoders of the library's table in its order; kind names the one
// that accepted (empty when none did).
std::unique_ptr<audio::Decoder> OpenByTrial(const std::string& path, std::string& kind);
// The decoder of the table named `kind`, as the creation calls open it.
std::unique_ptr<audio::Decoder> OpenWith(const std::string& kind, const std::string& path);
std::unique_ptr<audio::Decoder> OpenWith(const std::string& kind, const std::string& path,
                                         const audio::DecoderOptions& options);

// Reads to the end (or maxFrames), in reads of `chunk` frames.
std::vector<float> ReadAll(audio::Decoder& decoder, uint64_t maxFrames = UINT64_MAX, size_t chunk = 4096);
std::vector<float> ReadFrames(audio::Decoder& decoder, size_t frames);

std::string ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::string& bytes);

} // namespace decoders_test
