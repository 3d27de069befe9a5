// CPU share of one core of the whole player process while the engine plays
// an MP3 with the equalizer, reverb and normalize on, ticking every 100 ms
// as the window's timer does.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <QGuiApplication>

#include "audio/AudioLibrary.h"
#include "engine/Tonik_main.h"
#include "tests/engine/MemoryView.h"
#include "bench/CpuShare.h"
#include "testdata/Fixtures.h"

using bench::CpuShare;

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QGuiApplication app(argc, argv);
    constexpr double kPlaySeconds = 10.0;
    const std::string folder = fixtures::MakeTempDir("nilo-bench-engine-cpu");
    const std::string wav = folder + "/signal.wav";
    const std::string mp3 = folder + "/signal.mp3";
    const auto frames = static_cast<uint64_t>((kPlaySeconds + 3) * 44100);
    if (!fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, frames))) ||
        !fixtures::EncodeMp3(wav, mp3, "-b 192 --tt Signal --ta Bench --add-id3v2")) {
        std::fprintf(stderr, "cannot make the MP3 (is lame installed?)\n");
        return 1;
    }
    if (!audio::openOutput(-1, 44100, audio::kFloatSamples)) {
        std::fprintf(stderr, "the output device cannot be opened\n");
        return 1;
    }
    double idle = 0;
    double playing = 0;
    bool stillPlaying = false;
    {
        MemoryView view;
        view.equalizer = true;
        view.bands = {0, 2, 4, 6, 8, 10, 3, 7};
        view.filters.reverb = true;
        view.filters.normalize = true;
        view.filters.ampLevel = 5;
        TTonikMain engine(view);
        view.onPositionChange = [&] { engine.PositionBarChanged(); };
        engine.AppDir = folder + "/";
        engine.Volume = 100;
        StartupComplete = true;
        engine.AddEntry(mp3);
        idle = CpuShare(2.0, [&] { engine.Tick(); });
        engine.PlaySelectedEntry();
        playing = CpuShare(kPlaySeconds, [&] { engine.Tick(); });
        stillPlaying = audio::activity(Channel) == audio::kPlaying;
        engine.StopCommand();
    }
    audio::closeOutput();
    fixtures::RemoveTree(folder);
    std::printf("driver=%s\n", std::getenv("SDL_AUDIODRIVER"));
    std::printf("stopped_engine_cpu_percent=%.3f\n", idle);
    std::printf("playing_all_effects_cpu_percent=%.3f (target below 3)\n", playing);
    if (!stillPlaying) std::printf("warning: the track ended before the measurement did\n");
    return 0;
}
