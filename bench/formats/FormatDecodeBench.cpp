// Decoding speed of a 5-minute file of each of today's kinds through the
// decoder table against the kind's own command-line decoder, in the same run.
#include <algorithm>
#include <cstdio>
#include <functional>

#include "bench/audio/BenchInputs.h"
#include "testdata/Fixtures.h"

using namespace bench_audio;

namespace {

constexpr double kSeconds = 300;
constexpr int kRuns = 3;

struct Kind {
    const char* label;
    const char* file;
    std::function<bool(const std::string& wav, const std::string& out)> encode;
    // The reference decoder's command line for the file.
    std::function<std::string(const std::string& path)> reference;
};

double BestOf(const std::function<bool()>& run)
{
    double best = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!run())
            return -1;
        best = std::min(best, SecondsSince(start));
    }
    return best;
}

bool DecodeThroughTable(const std::string& path)
{
    auto decoder = audio::OpenFileByTrial(path, audio::ChannelKind::File, {});
    return decoder && DecodeAll(*decoder) == decoder->lengthFrames();
}

} // namespace

int main()
{
    BenchFolder dir;
    const auto q = fixtures::ShellQuote;
    const std::string wav = dir.path("in.wav");
    if (!MakeWav(wav, kSeconds)) {
        std::fprintf(stderr, "could not make the 5-minute source\n");
        return 1;
    }
    const std::string ffmpeg = "ffmpeg -nostdin -v quiet -i ";
    const Kind kinds[] = {
        {"FLAC", "a.flac", [](auto& w, auto& o) { return fixtures::EncodeFlac(w, o); },
         [&](auto& p) { return "flac -d -c -s " + q(p) + " > /dev/null"; }},
        {"Opus 128k", "a.opus", [](auto& w, auto& o) { return fixtures::EncodeOpus(w, o); },
         [&](auto& p) { return "opusdec --quiet --rate 48000 " + q(p) + " /dev/null"; }},
        {"AAC in MP4 128k", "a.m4a", [](auto& w, auto& o) { return fixtures::EncodeM4a(w, o); },
         [&](auto& p) { return ffmpeg + q(p) + " -f null -"; }},
        {"AAC raw (ADTS) 128k", "a.aac", [](auto& w, auto& o) { return fixtures::EncodeM4a(w, o); },
         [&](auto& p) { return ffmpeg + q(p) + " -f null -"; }},
        {"ALAC in MP4", "b.m4a", [](auto& w, auto& o) { return fixtures::EncodeAlac(w, o); },
         [&](auto& p) { return ffmpeg + q(p) + " -f null -"; }},
    };
    std::printf("5-minute 44.1 kHz stereo files, best of %d; ours = open, exact length and decode through the "
                "decoder table\n",
                kRuns);
    for (const Kind& kind : kinds) {
        const std::string path = dir.path(kind.file);
        if (!kind.encode(wav, path)) {
            std::printf("%-20s could not be encoded\n", kind.label);
            continue;
        }
        const double ours = BestOf([&] { return DecodeThroughTable(path); });
        const std::string command = kind.reference(path);
        const double theirs = BestOf([&] { return Shell(command); });
        if (ours < 0 || theirs < 0) {
            std::printf("%-20s failed to decode\n", kind.label);
            continue;
        }
        std::printf("%-20s ours %.3f s, %s %.3f s: ours at %.2fx its speed (target at least 1.0)\n", kind.label, ours,
                    command.substr(0, command.find(' ')).c_str(), theirs, theirs / ours);
    }
    return 0;
}
