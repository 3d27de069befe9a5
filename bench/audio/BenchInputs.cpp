#include "bench/audio/BenchInputs.h"

#include <vector>

#include "platform/FileSize.h"
#include "testdata/Fixtures.h"

namespace bench_audio {

BenchFolder::BenchFolder() : dir_(fixtures::MakeTempDir("nilo-bench-decoders")) {}

BenchFolder::~BenchFolder()
{
    fixtures::RemoveTree(dir_);
}

bool Shell(const std::string& command)
{
    return fixtures::Run(command);
}

bool MakeWav(const std::string& path, double seconds)
{
    return Shell("sox -q -n -r 44100 -c 2 -b 16 " + fixtures::ShellQuote(path) + " synth "
                 + std::to_string(seconds) + " pinknoise sine 220-880 vol 0.3 remix 1,2 1,2");
}

uint64_t FileBytes(const std::string& path)
{
    return platform::FileSize(path).value_or(0);
}

uint64_t DecodeAll(audio::Decoder& decoder)
{
    std::vector<float> buffer(4096 * decoder.channels());
    uint64_t total = 0;
    while (const size_t got = decoder.read(buffer.data(), 4096))
        total += got;
    return total;
}

} // namespace bench_audio
