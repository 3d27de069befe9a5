// What measuring a file's exact length costs (open, read the length,
// close): MPEG with a LAME header and by a scan without one; WMA counted from
// its packets, against counting by a full decode.
#include <cstdio>
#include <functional>

#include "audio/decoders/WmaPacketIndex.h"
#include "audio/decoders/WmaSource.h"
#include "audio/sources/FileByteSource.h"
#include "bench/audio/BenchInputs.h"
#include "testdata/Fixtures.h"

using namespace bench_audio;

namespace {

// Best time over `runs` measurements, in seconds.
double Best(int runs, const std::function<uint64_t()>& measure, uint64_t& frames)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        frames = measure();
        best = std::min(best, SecondsSince(start));
    }
    return best;
}

uint64_t MpegLength(const std::string& path)
{
    auto decoder = Open("mpeg", path);
    return decoder ? decoder->lengthFrames() : 0;
}

} // namespace

int main()
{
    BenchFolder dir;
    const std::string wav = dir.path("in.wav");
    const std::string lame = dir.path("lame.mp3");
    const std::string vbr = dir.path("vbr-no-xing.mp3");
    const std::string wma = dir.path("a.wma");
    if (!MakeWav(wav, 300) || !fixtures::EncodeMp3(wav, lame, "-b 320") || !fixtures::EncodeMp3(wav, vbr, "-V 0 -t")
        || !fixtures::EncodeWma(wav, wma)) {
        std::fprintf(stderr, "could not make the inputs\n");
        return 1;
    }
    uint64_t frames = 0;
    const double withHeader = Best(50, [&] { return MpegLength(lame); }, frames);
    std::printf("5-minute 320k MP3 with a LAME header: %.3f ms (%llu frames)\n", withHeader * 1e3,
                static_cast<unsigned long long>(frames));
    const double scanned = Best(5, [&] { return MpegLength(vbr); }, frames);
    const double megabytes = static_cast<double>(FileBytes(vbr)) / 1e6;
    std::printf("5-minute VBR MP3 without a Xing header: %.1f ms for %.1f MB: %.0f MB/s (%llu frames)\n",
                scanned * 1e3, megabytes, megabytes / scanned, static_cast<unsigned long long>(frames));

    const double counted = Best(5, [&] {
        auto decoder = Open("wma", wma);
        return decoder ? decoder->lengthFrames() : 0;
    }, frames);
    std::printf("5-minute 128k WMA 2, counted from its packets: %.1f ms (%llu frames)\n", counted * 1e3,
                static_cast<unsigned long long>(frames));
    const double decoded = Best(3, [&] {
        auto file = audio::FileByteSource::open(wma);
        auto source = file ? audio::WmaSource::open(*file) : nullptr;
        const auto index = source ? audio::CountWmaFrames(*source, true) : std::nullopt;
        return index ? index->totalFrames : 0;
    }, frames);
    std::printf("  the same counted by decoding it all: %.1f ms (%llu frames)\n", decoded * 1e3,
                static_cast<unsigned long long>(frames));
    return 0;
}
