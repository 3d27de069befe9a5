// Inputs for the decoder benchmarks, made at run time with sox, lame,
// oggenc, ffmpeg and our own module and MIDI writers, in a temporary folder.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "audio/decoders/DecoderTable.h"

namespace bench_audio {

class BenchFolder {
  public:
    BenchFolder();
    ~BenchFolder();
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

  private:
    std::string dir_;
};

// Music-like noise and tones, 44.1 kHz stereo 16-bit.
bool MakeWav(const std::string& path, double seconds);
bool Shell(const std::string& command);
uint64_t FileBytes(const std::string& path);

inline double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The table's decoder named `kind` on a file, as the creation calls open it.
inline std::unique_ptr<audio::Decoder> Open(const std::string& kind, const std::string& path)
{
    const audio::DecoderEntry* entry = audio::FindDecoder(kind);
    return entry ? audio::OpenFileWith(*entry, path) : nullptr;
}

// Decodes to the end; returns frames delivered.
uint64_t DecodeAll(audio::Decoder& decoder);

} // namespace bench_audio
