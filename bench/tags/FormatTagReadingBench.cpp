// Tags and exact length of 2,000 files of each kind (FLAC, Opus, AAC in
// M4A), as adding them to the playlist reads them: ReadTags plus FileSeconds
// (a channel opened with the exact-length flag), beside TagLib's FileRef with
// accurate audio properties, on the same files in the same run. Also the tags
// alone on both sides. One file per kind is encoded by Debian's tools and
// linked under 2,000 names; a warm-up pass fills the page cache. Figures are
// microseconds per file and TagLib's time over ours (at least 1.0 means ours
// is not slower). Lengths found counts files whose length came out above 0:
// without a decoder of the kind the channel cannot open and the length is 0.
// SECONDS is the files' length: a short clip by default, a song's length
// shows what grows with the file.
//   bench_format_tag_reading [FILES] [SECONDS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "engine/Tonik_utilfunc.h"
#include "tags/TagAccess.h"
#include "testdata/Fixtures.h"
#include "testdata/TaggedEncodings.h"

namespace {

constexpr uint32_t kRate = 44100;

struct Kind {
    fixtures::TaggedKind Encoding;
    const char* Name;
    const char* Extension;
};

std::vector<std::string> MakeFolder(const std::string& dir, const std::string& wav,
                                    const Kind& kind, int count) {
    const std::string base = dir + "/source" + kind.Extension;
    if (!fixtures::EncodeTagged(kind.Encoding, wav, base,
                                {"Title", "Artist", "Album", "2024", "3", "Jazz", "A comment"}))
        return {};
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        files.push_back(dir + "/" + kind.Name + std::to_string(i) + kind.Extension);
        std::error_code ec;
        std::filesystem::create_hard_link(base, files.back(), ec);
        if (ec) return {};
    }
    return files;
}

template <class Read> double MicrosecondsPerFile(const std::vector<std::string>& files, Read read) {
    auto start = std::chrono::steady_clock::now();
    for (const std::string& file : files)
        read(file);
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
               .count() /
           double(files.size());
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    const uint64_t kFrames = argc > 2 ? uint64_t(std::atof(argv[2]) * kRate) : 57330;
    const std::string dir = fixtures::MakeTempDir("nilo-bench-format-tags");
    const std::string wav = dir + "/source.wav";
    if (!fixtures::WriteWav16(wav, kRate, 2,
                              fixtures::ToInt16(fixtures::TestSignal(kRate, 2, kFrames))))
        return 1;
    std::printf("%d files of each kind, %.3f s of audio each; microseconds per file\n", count,
                double(kFrames) / kRate);
    std::printf("%-5s %14s %14s %7s %12s %12s %7s %12s %s\n", "kind", "ours tags+len",
                "TagLib+props", "ratio", "ours tags", "TagLib tags", "ratio", "FileSeconds",
                "lengths found (ours, TagLib)");
    const Kind kinds[] = {{fixtures::TaggedKind::Flac, "flac", ".flac"},
                          {fixtures::TaggedKind::Opus, "opus", ".opus"},
                          {fixtures::TaggedKind::M4aAac, "m4a", ".m4a"}};
    int status = 0;
    for (const Kind& kind : kinds) {
        const std::vector<std::string> files = MakeFolder(dir, wav, kind, count);
        if (files.empty()) {
            std::fprintf(stderr, "could not make the %s files (encoder missing?)\n", kind.Name);
            status = 1;
            continue;
        }
        size_t titles = 0, oursLengths = 0, taglibLengths = 0;
        auto oursTags = [&](const std::string& file) { titles += !ReadTags(file).Title.empty(); };
        auto ours = [&](const std::string& file) {
            oursTags(file);
            oursLengths += FileSeconds(file) > 0;
        };
        auto taglib = [&](const std::string& file, bool properties) {
            TagLib::FileRef ref(file.c_str(), properties, TagLib::AudioProperties::Accurate);
            titles += !ref.isNull() && ref.tag() && !ref.tag()->title().isEmpty();
            if (properties && ref.audioProperties())
                taglibLengths += ref.audioProperties()->lengthInMilliseconds() > 0;
        };
        MicrosecondsPerFile(files, ours); // warm the page cache
        oursLengths = 0;
        const double oursWhole = MicrosecondsPerFile(files, ours);
        const double taglibWhole =
            MicrosecondsPerFile(files, [&](const std::string& f) { taglib(f, true); });
        const double oursAlone = MicrosecondsPerFile(files, oursTags);
        const double taglibAlone =
            MicrosecondsPerFile(files, [&](const std::string& f) { taglib(f, false); });
        const double lengthAlone =
            MicrosecondsPerFile(files, [](const std::string& f) { FileSeconds(f); });
        std::printf("%-5s %14.1f %14.1f %6.2fx %12.1f %12.1f %6.2fx %12.1f %zu, %zu of %zu\n",
                    kind.Name, oursWhole, taglibWhole, taglibWhole / oursWhole, oursAlone,
                    taglibAlone, taglibAlone / oursAlone, lengthAlone, oursLengths, taglibLengths,
                    files.size());
        if (titles != 5 * files.size())
            std::printf("      titles found: %zu of %zu\n", titles, 5 * files.size());
        for (const std::string& file : files)
            std::filesystem::remove(file);
    }
    fixtures::RemoveTree(dir);
    return status;
}
