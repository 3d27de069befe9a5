// Decoding speed of every kind, in multiples of real time on one core, and
// MPEG decoding through our decoder against the mpg123 command on one file.
#include <cstdio>
#include <functional>
#include <memory>

#include "bench/audio/BenchInputs.h"
#include "testdata/Fixtures.h"

using namespace bench_audio;

namespace {

constexpr double kSeconds = 60;

void Report(const char* kind, const std::function<std::unique_ptr<audio::Decoder>()>& open)
{
    const auto start = std::chrono::steady_clock::now();
    auto decoder = open();
    if (!decoder) {
        std::printf("%-22s could not be opened\n", kind);
        return;
    }
    const uint64_t frames = DecodeAll(*decoder);
    const double took = SecondsSince(start);
    const double audio = static_cast<double>(frames) / decoder->rate();
    std::printf("%-22s %8.1f s of audio in %7.3f s: %7.0fx real time\n", kind, audio, took, audio / took);
}

} // namespace

int main()
{
    BenchFolder dir;
    const auto q = fixtures::ShellQuote;
    const std::string wav = dir.path("in.wav");
    if (!MakeWav(wav, kSeconds) || !fixtures::EncodeMp3(wav, dir.path("a.mp3"), "-b 192")
        || !fixtures::EncodeOgg(wav, dir.path("a.ogg")) || !fixtures::EncodeWma(wav, dir.path("a.wma"))
        || !Shell("ffmpeg -nostdin -v error -y -i " + q(wav) + " -c:a mp2 -b:a 192k -f mp2 " + q(dir.path("a.mp2")))
        || !fixtures::WriteXm(dir.path("a.xm"), kSeconds) || !fixtures::WriteIt(dir.path("a.it"), kSeconds)
        || !fixtures::WriteMidi(dir.path("a.mid"), kSeconds)) {
        std::fprintf(stderr, "could not make the inputs\n");
        return 1;
    }
    std::printf("Decoding speed, one core (%g s inputs):\n", kSeconds);
    Report("WAV 16-bit", [&] { return Open("sndfile", wav); });
    Report("MPEG layer 3 192k", [&] { return Open("mpeg", dir.path("a.mp3")); });
    Report("MPEG layer 2 192k", [&] { return Open("mpeg", dir.path("a.mp2")); });
    Report("Ogg Vorbis q3", [&] { return Open("vorbis", dir.path("a.ogg")); });
    Report("WMA 2 128k", [&] { return Open("wma", dir.path("a.wma")); });
    Report("XM module", [&] { return Open("module", dir.path("a.xm")); });
    Report("IT module", [&] { return Open("module", dir.path("a.it")); });
    Report("MIDI (SoundFont)", [&] { return Open("midi", dir.path("a.mid")); });

    // The same 5-minute file through both; best of three each.
    const std::string longWav = dir.path("long.wav");
    const std::string longMp3 = dir.path("long.mp3");
    if (!MakeWav(longWav, 300) || !fixtures::EncodeMp3(longWav, longMp3, "-b 320")) {
        std::fprintf(stderr, "could not make the 5-minute file\n");
        return 1;
    }
    double ours = 1e9;
    double theirs = 1e9;
    for (int run = 0; run < 3; ++run) {
        auto start = std::chrono::steady_clock::now();
        auto decoder = Open("mpeg", longMp3);
        if (!decoder)
            return 1;
        DecodeAll(*decoder);
        ours = std::min(ours, SecondsSince(start));
        start = std::chrono::steady_clock::now();
        if (!Shell("mpg123 -q -t " + q(longMp3)))
            return 1;
        theirs = std::min(theirs, SecondsSince(start));
    }
    std::printf("\n5-minute 320k MP3: ours %.3f s, mpg123 -t %.3f s: ours at %.2fx mpg123's speed\n", ours, theirs,
                theirs / ours);
    return 0;
}
