// How long the Play command keeps the window waiting on a long MP3, alone in
// the playlist and with another long MP3 after it, which Play also opens so
// that the hand-over between them is gapless. MP3s without the encoder's
// information frame must be scanned whole for their exact length.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QGuiApplication>

#include "audio/AudioLibrary.h"
#include "engine/Tonik_main.h"
#include "tests/engine/MemoryView.h"
#include "testdata/Fixtures.h"

namespace {

constexpr double kTrackSeconds = 300;
constexpr int kRuns = 7;

double MedianPlayMs(TTonikMain& engine, MemoryView& view) {
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        view.selected = 0;
        const auto start = std::chrono::steady_clock::now();
        engine.PlaySelectedEntry();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        engine.StopCommand();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The Play command on first, alone and then with second after it.
void Report(const char* kind, const std::string& first, const std::string& second) {
    MemoryView view;
    TTonikMain engine(view);
    engine.AppDir = std::filesystem::path(first).parent_path().string() + "/";
    engine.Volume = 100;
    engine.AddEntry(first);
    const double alone = MedianPlayMs(engine, view);
    engine.AddEntry(second);
    const double followed = MedianPlayMs(engine, view);
    std::printf("%-16s play_alone_ms=%.2f play_with_next_ms=%.2f ratio=%.2f\n", kind, alone, followed,
                followed / alone);
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QGuiApplication app(argc, argv);
    const std::string folder = fixtures::MakeTempDir("nilo-bench-play");
    const std::string wav = folder + "/signal.wav";
    const auto frames = static_cast<uint64_t>(kTrackSeconds * 44100);
    bool made = fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, frames)));
    for (const char* name : {"a", "b"}) {
        made = made && fixtures::EncodeMp3(wav, folder + "/" + name + ".mp3", "-b 192") &&
               fixtures::EncodeMp3(wav, folder + "/" + name + "-bare.mp3", "-b 192 -t");
    }
    if (!made) {
        std::fprintf(stderr, "cannot make the MP3s (is lame installed?)\n");
        return 1;
    }
    if (!audio::openOutput(-1, 44100, audio::kFloatSamples)) {
        std::fprintf(stderr, "the output device cannot be opened\n");
        return 1;
    }
    StartupComplete = true;
    std::printf("%g s MP3s at 192 kbit/s, median of %d\n", kTrackSeconds, kRuns);
    Report("information frame", folder + "/a.mp3", folder + "/b.mp3");
    Report("scanned", folder + "/a-bare.mp3", folder + "/b-bare.mp3");
    audio::closeOutput();
    fixtures::RemoveTree(folder);
    return 0;
}
