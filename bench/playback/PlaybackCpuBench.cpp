// CPU share of one core while an MP3 plays through the SDL device (the dummy
// driver unless SDL_AUDIODRIVER says otherwise): user + system time of the
// process over the wall time, for an idle open device and for playback.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "engine/Tonik_utilfunc.h"
#include "bench/CpuShare.h"
#include "testdata/Fixtures.h"

using bench::CpuShare;

int main() {
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
    FreeChannel(h);
    audio::closeOutput();
    fixtures::RemoveTree(folder);

    std::printf("driver=%s\n", std::getenv("SDL_AUDIODRIVER"));
    std::printf("idle_device_cpu_percent=%.3f\n", idle);
    std::printf("mp3_playback_cpu_percent=%.3f (target below 2)\n", playing);
    if (!stillPlaying) std::printf("warning: the MP3 ended before the measurement did\n");
    return 0;
}
