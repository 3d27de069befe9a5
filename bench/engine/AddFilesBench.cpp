// Adding 2,000 generated files found by a folder scan through
// AddScannedFiles: files per second, and what the autosave wrote.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

#include <QGuiApplication>

#include "audio/AudioLibrary.h"
#include "engine/Tonik_main.h"
#include "tests/engine/MemoryView.h"
#include "testdata/Fixtures.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QGuiApplication app(argc, argv);
    constexpr int kFiles = 2000;
    const std::string folder = fixtures::MakeTempDir("nilo-bench-add");
    const auto samples = fixtures::ToInt16(fixtures::TestSignal(8000, 1, 800));
    for (int f = 0; f < 20; ++f) {
        const std::string sub = folder + "/album" + std::to_string(f);
        ::mkdir(sub.c_str(), 0755);
        for (int i = 0; i < kFiles / 20; ++i)
            if (!fixtures::WriteWav16(sub + "/Track number " + std::to_string(i) + ".wav", 8000, 1, samples)) {
                std::fprintf(stderr, "cannot write the files\n");
                return 1;
            }
    }
    if (!audio::openOutput(-1, 44100, audio::kFloatSamples)) {
        std::fprintf(stderr, "the output device cannot be opened\n");
        return 1;
    }
    double seconds = 0;
    uint64_t bytes = 0;
    uint64_t writes = 0;
    size_t entries = 0;
    {
        MemoryView view;
        TTonikMain engine(view);
        engine.AppDir = folder + "/";
        StartupComplete = true;
        engine.ScanFolder(folder);
        const auto started = std::chrono::steady_clock::now();
        engine.AddScannedFiles();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        bytes = engine.PlaylistWriter.BytesWritten();
        writes = engine.PlaylistWriter.WriteCount();
        entries = engine.Paths.size();
    }
    audio::closeOutput();
    fixtures::RemoveTree(folder);
    std::printf("files_added=%zu\n", entries);
    std::printf("files_per_second=%.0f\n", static_cast<double>(entries) / seconds);
    std::printf("autosave_writes=%llu\n", static_cast<unsigned long long>(writes));
    std::printf("autosave_bytes_written=%llu\n", static_cast<unsigned long long>(bytes));
    return 0;
}
