// CPU share of one core while an MP3 plays through the SDL device (the dummy
// driver unless SDL_AUDIODRIVER says otherwise): user + system time of the
// process over the wall time, for an idle open device and for playback.
// Given the path of another build's copy of this benchmark, it runs that too
// and prints the ratio of the playback figures.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "engine/Tonik_utilfunc.h"
#include "bench/CpuShare.h"
#include "testdata/Fixtures.h"

using bench::CpuShare;

namespace {

// The playback figure printed by another build of this benchmark; < 0 when none.
double OtherBuildsFigure(const std::string& binary) {
    std::string output;
    if (!fixtures::Capture(fixtures::ShellQuote(binary), output)) return -1;
    const std::string key = "mp3_playback_cpu_percent=";
    const size_t at = output.find(key);
    return at == std::string::npos ? -1 : std::atof(output.c_str() + at + key.size());
}

} // namespace

int main(int argc, char** argv) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const std::string folder = fixtures::MakeTempDir("nilo-bench-playback");
    const std::string wav = folder + "/signal.wav";
    const std::string mp3 = folder + "/signal.mp3";
    constexpr double kPlaySeconds = 10.0;
    const auto frames = static_cast<uint64_t>((kPlaySeconds + 2) * 44100);
    if (!fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, frames))) ||
        !fixtures::EncodeMp3(wav, mp3, "-b 192")) {
        std::fprintf(stderr, "cannot make the MP3 (is lame installed?)\n");
        fixtures::RemoveTree(folder);
        return 1;
    }
    if (!audio::openOutput(-1, 44100, audio::kFloatSamples)) {
        std::fprintf(stderr, "the output device cannot be opened\n");
        fixtures::RemoveTree(folder);
        return 1;
    }
    const double idle = CpuShare(3.0);
    const HSTREAM h = CreateFileChannel(mp3, 0x20000, 0x20000);
    audio::play(h, false);
    const double playing = CpuShare(kPlaySeconds);
    const bool stillPlaying = audio::activity(h) == audio::kPlaying;
    const uint64_t shortBlocks = audio::underruns();
    FreeChannel(h);
    audio::closeOutput();
    fixtures::RemoveTree(folder);

    std::printf("driver=%s\n", std::getenv("SDL_AUDIODRIVER"));
    std::printf("idle_device_cpu_percent=%.3f\n", idle);
    std::printf("mp3_playback_cpu_percent=%.3f (target not above 0.41)\n", playing);
    std::printf("underruns=%llu\n", static_cast<unsigned long long>(shortBlocks));
    if (!stillPlaying) std::printf("warning: the MP3 ended before the measurement did\n");
    if (argc > 1) {
        const double other = OtherBuildsFigure(argv[1]);
        if (other > 0)
            std::printf("other_build_mp3_playback_cpu_percent=%.3f ratio_this_to_other=%.2f\n", other,
                        playing / other);
        else
            std::printf("warning: %s gave no figure\n", argv[1]);
    }
    return 0;
}
