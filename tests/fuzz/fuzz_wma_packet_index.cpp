// Feeds arbitrary bytes, starting from WMA files that ffmpeg makes for an
// empty corpus, to the WMA source and its packet index: opening and counting
// end, the index's marks rise, and every mark can be found again by its time.
// fuzz-sources: audio/decoders/FfmpegInput.cpp audio/decoders/WmaSource.cpp audio/decoders/WmaPacketIndex.cpp audio/decoders/AvFrameSamples.cpp
// fuzz-libs: libavformat libavcodec libavutil
#include <cstdint>
#include <string>

#include "audio/decoders/WmaPacketIndex.h"
#include "audio/decoders/WmaSource.h"
#include "audio/sources/MemoryByteSource.h"
#include "tests/fuzz/FuzzFile.h"

using fuzzfile::Check;

namespace {

void CheckIndex(const audio::WmaPacketIndex& index) {
    uint64_t end = 0;
    for (size_t i = 0; i < index.marks.size(); ++i) {
        const audio::WmaPacketMark& mark = index.marks[i];
        Check(mark.endFrame >= end, "marks rise");
        Check(mark.endFrame - end <= index.maxPacketFrames, "no packet gives more than the most");
        end = mark.endFrame;
        if (index.seekable) {
            const auto found = audio::FindWmaPacket(index, mark.time);
            Check(found && index.marks[*found].time == mark.time, "a mark is found by its time");
        }
    }
}

} // namespace

// Seeds an empty corpus folder with small WMA 1 and 2 files.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const std::string sine = "ffmpeg -nostdin -v quiet -f lavfi -i sine=frequency=440:duration=0.4 -ac 2 -c:a ";
    fuzzfile::SeedEmptyCorpora(*argc, *argv,
                               {sine + "wmav1 -b:a 32k -f asf 'SEED-wmav1.wma'",
                                sine + "wmav2 -b:a 32k -f asf 'SEED-wmav2.wma'"});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    audio::MemoryByteSource bytes(std::string(reinterpret_cast<const char*>(data), size));
    auto source = audio::WmaSource::open(bytes);
    if (!source) return 0;
    Check(source->rate() >= 1000 && source->rate() <= 768000, "a plausible rate");
    Check(source->channels() > 0, "some channels");
    if (source->oneFramePerPacket()) {
        if (const auto counted = audio::CountWmaFrames(*source, false)) {
            CheckIndex(*counted);
            Check(counted->marks.empty()
                      || counted->totalFrames <= counted->marks.back().endFrame + counted->maxPacketFrames,
                  "the count ends with the last packet's frame");
        }
        source = audio::WmaSource::open(bytes);
        Check(source != nullptr, "what opened once opens again");
    }
    const auto decoded = audio::CountWmaFrames(*source, true);
    Check(decoded.has_value(), "a full count always gives an index");
    CheckIndex(*decoded);
    Check(decoded->marks.empty() || decoded->totalFrames >= decoded->marks.back().endFrame,
          "the total holds every packet's frames");
    return 0;
}
