// Adding 2,000 generated WAV files and 2,000 MP3 files found by a folder
// scan through AddScannedFiles, files per second, beside TagLib reading the
// same files' tags and accurate audio properties; and what the autosave wrote.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

#include <QGuiApplication>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "audio/AudioLibrary.h"
#include "engine/Tonik_main.h"
#include "tests/engine/MemoryView.h"
#include "testdata/Fixtures.h"

namespace {

constexpr int kFiles = 2000;
constexpr int kFolders = 20;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// kFiles copies of `original` in kFolders subfolders of `folder`.
bool Spread(const std::string& original, const std::string& folder, const std::string& extension) {
    std::error_code error;
    for (int f = 0; f < kFolders; ++f) {
        const std::string sub = folder + "/album" + std::to_string(f);
        std::filesystem::create_directories(sub, error);
        for (int i = 0; i < kFiles / kFolders; ++i)
            if (!std::filesystem::copy_file(original, sub + "/Track number " + std::to_string(i) + extension,
                                            std::filesystem::copy_options::overwrite_existing, error))
                return false;
    }
    return true;
}

struct Figures {
    size_t entries = 0;
    double seconds = 0;
    uint64_t writes = 0;
    uint64_t bytes = 0;
};

Figures AddFolder(const std::string& folder) {
    Figures figures;
    MemoryView view;
    TTonikMain engine(view);
    engine.AppDir = folder + "/";
    StartupComplete = true;
    engine.ScanFolder(folder);
    const auto started = std::chrono::steady_clock::now();
    engine.AddScannedFiles();
    figures.seconds = SecondsSince(started);
    figures.bytes = engine.PlaylistWriter.BytesWritten();
    figures.writes = engine.PlaylistWriter.WriteCount();
    figures.entries = engine.Paths.size();
    return figures;
}

// The same files through TagLib: title, artist and an accurate length.
double TagLibFilesPerSecond(const std::string& folder, const std::string& extension) {
    std::vector<std::string> paths;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder))
        if (item.is_regular_file() && item.path().extension() == extension) paths.push_back(item.path());
    const auto started = std::chrono::steady_clock::now();
    size_t read = 0;
    for (const std::string& path : paths) {
        TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Accurate);
        if (file.isNull() || !file.audioProperties()) continue;
        const bool named = file.tag() && !(file.tag()->title() + file.tag()->artist()).isEmpty();
        read += file.audioProperties()->lengthInMilliseconds() > 0 || named ? 1 : 0;
    }
    const double seconds = SecondsSince(started);
    if (read != paths.size()) std::fprintf(stderr, "TagLib read %zu of %zu files\n", read, paths.size());
    return static_cast<double>(paths.size()) / seconds;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QGuiApplication app(argc, argv);
    const std::string folder = fixtures::MakeTempDir("nilo-bench-add");
    const std::string wav = folder + "/one.wav";
    const std::string mp3 = folder + "/one.mp3";
    // Short files: the figure is the cost of opening and measuring a file.
    const auto samples = fixtures::ToInt16(fixtures::TestSignal(44100, 2, 44100));
    if (!fixtures::WriteWav16(wav, 44100, 2, samples)
        || !fixtures::EncodeMp3(wav, mp3, "-b 128 --add-id3v2 --tt Title --ta Artist")
        || !Spread(wav, folder + "/wav", ".wav") || !Spread(mp3, folder + "/mp3", ".mp3")) {
        std::fprintf(stderr, "cannot write the files\n");
        fixtures::RemoveTree(folder);
        return 1;
    }
    if (!audio::openOutput(-1, 44100, audio::kFloatSamples)) {
        std::fprintf(stderr, "the output device cannot be opened\n");
        fixtures::RemoveTree(folder);
        return 1;
    }
    for (const char* kind : {"wav", "mp3"}) {
        const std::string files = folder + "/" + kind;
        const Figures added = AddFolder(files);
        const double taglib = TagLibFilesPerSecond(files, std::string(".") + kind);
        std::printf("%s_files_added=%zu\n", kind, added.entries);
        std::printf("%s_files_per_second=%.0f\n", kind, static_cast<double>(added.entries) / added.seconds);
        std::printf("%s_taglib_accurate_files_per_second=%.0f\n", kind, taglib);
        std::printf("%s_autosave_writes=%llu\n", kind, static_cast<unsigned long long>(added.writes));
        std::printf("%s_autosave_bytes_written=%llu\n", kind, static_cast<unsigned long long>(added.bytes));
    }
    audio::closeOutput();
    fixtures::RemoveTree(folder);
    return 0;
}
