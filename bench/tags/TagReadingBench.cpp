// Playlist-title reading of 2,000 MP3 files with ID3v2 tags (tag and length,
// as adding files to the playlist does), beside TagLib reading the same
// folder with accurate audio properties. Also says whose lengths are exact.
//   bench_tag_reading [FILES]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "engine/TagTitle.h"
#include "engine/Tonik_utilfunc.h"
#include "platform/TextFile.h"
#include "tags/TagAccess.h"
#include "testdata/Fixtures.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint64_t kFrames = 57330; // 1.3 s

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One encoded MP3, tagged once, then copied with a tag of its own per file
// (saved in place, so every copy keeps the same audio).
std::vector<std::string> MakeFolder(const std::string& dir, int count) {
    std::string wav = dir + "/source.wav";
    std::string base = dir + "/source.mp3";
    if (!fixtures::WriteWav16(wav, kRate, 2, fixtures::ToInt16(fixtures::TestSignal(kRate, 2, kFrames))) ||
        !fixtures::EncodeMp3(wav, base, "-b 128"))
        return {};
    TTagNames names;
    names.Title = "Title";
    if (!SaveID3v2(base, names)) return {};
    std::string bytes;
    platform::ReadWholeFile(base, bytes);
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        std::string path = dir + "/track" + std::to_string(i) + ".mp3";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return {};
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        names.Title = "Title number " + std::to_string(i);
        names.Artist = "Artist " + std::to_string(i % 37);
        names.Album = "Album " + std::to_string(i % 11);
        names.Track = std::to_string(i % 20 + 1);
        if (!SaveID3v2(path, names)) return {};
        files.push_back(path);
    }
    return files;
}

template <class Read> double FilesPerSecond(const std::vector<std::string>& files, Read read) {
    auto start = std::chrono::steady_clock::now();
    for (const std::string& file : files) read(file);
    return double(files.size()) / SecondsSince(start);
}

} // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    std::string dir = fixtures::MakeTempDir("nilo-bench-tags");
    std::vector<std::string> files = MakeFolder(dir, count);
    if (files.empty()) {
        std::fprintf(stderr, "could not make the MP3 folder (lame missing?)\n");
        fixtures::RemoveTree(dir);
        return 1;
    }
    const double trueSeconds = double(kFrames) / kRate;

    size_t titles = 0;
    auto ours = [&](const std::string& file) { titles += !ReadTitleTags(file, false, 0).Title.empty(); };
    auto taglib = [&](const std::string& file) {
        TagLib::FileRef ref(file.c_str(), true, TagLib::AudioProperties::Accurate);
        titles += !ref.isNull() && ref.tag() && !ref.tag()->title().isEmpty();
        if (ref.audioProperties()) titles += ref.audioProperties()->lengthInMilliseconds() > 0;
    };
    FilesPerSecond(files, ours); // warm the page cache
    double oursRate = FilesPerSecond(files, ours);
    double taglibRate = FilesPerSecond(files, taglib);
    double oursLengthRate = FilesPerSecond(files, [](const std::string& file) { FileSeconds(file); });

    double oursError = 0, taglibError = 0;
    for (const std::string& file : files) {
        oursError = std::max(oursError, std::fabs(FileSeconds(file) - trueSeconds));
        TagLib::FileRef ref(file.c_str(), true, TagLib::AudioProperties::Accurate);
        double ms = ref.audioProperties() ? ref.audioProperties()->lengthInMilliseconds() : 0;
        taglibError = std::max(taglibError, std::fabs(ms / 1000 - trueSeconds));
    }

    std::printf("%d MP3 files with ID3v2 tags, %.3f s of audio each (%llu frames at %u Hz)\n", count, trueSeconds,
                (unsigned long long)kFrames, kRate);
    std::printf("ReadTitleTags (ID3v1, ID3v2, FileSeconds) %9.1f files/s\n", oursRate);
    std::printf("FileSeconds alone                        %9.1f files/s\n", oursLengthRate);
    std::printf("TagLib FileRef, accurate properties      %9.1f files/s\n", taglibRate);
    std::printf("largest length error: FileSeconds %.6f s, TagLib %.6f s (TagLib counts in whole ms)\n", oursError,
                taglibError);
    std::printf("titles and lengths found: %zu of %zu\n", titles, 4 * files.size());
    fixtures::RemoveTree(dir);
    return 0;
}
