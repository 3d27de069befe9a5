// Feeds arbitrary bytes, starting from small M4A (AAC, ALAC) and Opus files
// that ffmpeg makes for an empty corpus, to the MP4 and Ogg Opus length
// measures: they end, and what they accept has a rate and a channel count
// of its format, and an Opus length within the granule positions' range.
// fuzz-sources: audio/decoders/Mp4Measure.cpp audio/decoders/OggOpusLength.cpp audio/decoders/OggPages.cpp
// fuzz-libs: opusfile opus ogg
#include <cstdint>
#include <string>

#include "audio/decoders/Mp4Measure.h"
#include "audio/decoders/OggOpusLength.h"
#include "audio/sources/MemoryByteSource.h"
#include "tests/fuzz/FuzzFile.h"

using fuzzfile::Check;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const std::string sine = "ffmpeg -nostdin -v quiet -f lavfi -i sine=frequency=440:duration=0.3 -ac 2 -c:a ";
    fuzzfile::SeedEmptyCorpora(*argc, *argv,
                               {sine + "aac -f mp4 'SEED.m4a'", sine + "alac -f mp4 'SEED-alac.m4a'",
                                sine + "libopus 'SEED.opus'"});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    audio::MemoryByteSource bytes(std::string(reinterpret_cast<const char*>(data), size));
    if (const auto mp4 = audio::MeasureMp4(bytes)) {
        Check(mp4->rate > 0 && mp4->channels <= 255, "a rate, and a channel count of the format");
    }
    if (const auto opus = audio::MeasureOggOpus(bytes)) {
        Check(opus->channels >= 1 && opus->channels <= 255, "a channel count of the header");
        Check(opus->frames < uint64_t(INT64_MAX), "a length within the granule range");
    }
    return 0;
}
