// Saving an ID3v2 tag into a 50 MB file: in place (the new tag fits the old
// block) against a rebuild through the "~" copy, beside cp of the same file.
//   bench_tag_saving [MEGABYTES]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tags/TagAccess.h"
#include "testdata/Fixtures.h"

namespace {

constexpr int kRounds = 5;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median milliseconds of kRounds runs; a failed run gives -1.
double Milliseconds(const std::function<bool()>& run) {
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (!run()) return -1;
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return Median(times);
}

bool WriteFile(const std::string& path, size_t bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::vector<char> block(1 << 20);
    uint32_t x = 12345;
    for (char& c : block) c = char(0x80 | ((x = x * 1664525u + 1013904223u) >> 25));
    for (size_t done = 0; done < bytes; done += block.size())
        std::fwrite(block.data(), 1, std::min(block.size(), bytes - done), f);
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv) {
    size_t megabytes = argc > 1 ? size_t(std::atoi(argv[1])) : 50;
    std::string dir = fixtures::MakeTempDir("nilo-bench-save");
    std::string file = dir + "/big.mp3";
    if (!WriteFile(file, megabytes << 20)) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
    }
    TTagNames names;
    names.Title = "A title";
    names.Artist = "An artist";
    int round = 0;
    auto save = [&] {
        names.Comment = "round " + std::to_string(round++);
        return SaveID3v2(file, names);
    };

    // Both directions rewrite the whole file: a save into a file without a
    // block, and the removal of that block.
    std::vector<double> saves, removals;
    for (int i = 0; i < kRounds; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (!save()) return 1;
        auto saved = std::chrono::steady_clock::now();
        if (!RemoveID3v2(file)) return 1;
        saves.push_back(std::chrono::duration<double, std::milli>(saved - start).count());
        removals.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - saved).count());
    }
    if (!save()) return 1;
    double inPlace = Milliseconds(save);
    std::string quoted = "'" + file + "' '" + dir + "/copy.mp3'";
    double copy = Milliseconds([&] { return fixtures::Run("cp " + quoted); });
    double copySync = Milliseconds([&] { return fixtures::Run("cp " + quoted + " && sync '" + dir + "/copy.mp3'"); });

    std::printf("ID3v2 save into a %zu MB file, median of %d runs\n", megabytes, kRounds);
    std::printf("in place (block fits)          %10.2f ms\n", inPlace);
    std::printf("rebuild: save into untagged    %10.2f ms\n", Median(saves));
    std::printf("rebuild: remove the block      %10.2f ms\n", Median(removals));
    std::printf("cp of the file                 %10.2f ms\n", copy);
    std::printf("cp and sync of the copy        %10.2f ms\n", copySync);
    fixtures::RemoveTree(dir);
    return 0;
}
