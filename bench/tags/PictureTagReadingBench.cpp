// Tag reading of MP3 files that carry a large cover picture, beside TagLib on
// the same files in the same run: files per second and bytes read per file.
// The files get their ID3v2.3 tag (four UTF-16 text frames, then a JPEG-typed
// APIC frame of the given size) from mutagen, run by Debian's /usr/bin/python3,
// so the tags are a common tagger's and not our writer's. Bytes read are the
// process's read counters (/proc/self/io: rchar, the bytes read() and pread()
// returned whether from the page cache or the disk; syscr, the calls), taken
// before and after each pass; every file is read whole once before, so the
// passes run from the page cache. The best rate of three rounds counts.
//   bench_tag_picture_reading [FILES] [PICTURE_KIB]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "engine/TagTitle.h"
#include "tags/TagAccess.h"
#include "testdata/Fixtures.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint64_t kFrames = 57330; // 1.3 s
constexpr int kRounds = 3;

constexpr const char* kTagger = R"(import random, shutil, sys
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TRCK, APIC
base, folder, count, size = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
picture = b"\xff\xd8\xff\xe0" + random.Random(1).randbytes(size - 4)
for i in range(count):
    path = "%s/track%d.mp3" % (folder, i)
    shutil.copyfile(base, path)
    tag = ID3()
    tag.add(TIT2(encoding=1, text="Title number %d" % i))
    tag.add(TPE1(encoding=1, text="Artist %d" % (i % 37)))
    tag.add(TALB(encoding=1, text="Album %d" % (i % 11)))
    tag.add(TRCK(encoding=1, text=str(i % 20 + 1)))
    tag.add(APIC(encoding=0, mime="image/jpeg", type=3, desc="Cover", data=picture))
    tag.save(path, v2_version=3)
)";

struct IoCounters {
    long long rchar = 0, syscr = 0;
};

IoCounters ReadIoCounters() {
    IoCounters io;
    std::ifstream in("/proc/self/io");
    std::string key;
    long long value;
    while (in >> key >> value) {
        if (key == "rchar:") io.rchar = value;
        if (key == "syscr:") io.syscr = value;
    }
    return io;
}

struct Pass {
    double filesPerSecond;
    double bytesPerFile;
    double callsPerFile;
    size_t titles;
};

// One pass over all files; read returns the title it found.
Pass Measure(const std::vector<std::string>& files, const std::function<std::string(const std::string&)>& read) {
    size_t titles = 0;
    const IoCounters before = ReadIoCounters();
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < files.size(); ++i) titles += read(files[i]) == "Title number " + std::to_string(i);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const IoCounters after = ReadIoCounters();
    const double n = double(files.size());
    return {n / seconds, double(after.rchar - before.rchar) / n, double(after.syscr - before.syscr) / n, titles};
}

void Print(const char* name, const Pass& pass) {
    std::printf("%-44s %9.1f files/s %12.0f bytes/file %7.1f reads/file %6zu titles\n", name, pass.filesPerSecond,
                pass.bytesPerFile, pass.callsPerFile, pass.titles);
}

void ReadWhole(const std::string& file) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    static char buffer[1 << 16];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
    ::close(fd);
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int pictureKiB = argc > 2 ? std::atoi(argv[2]) : 1024;
    const std::string dir = fixtures::MakeTempDir("nilo-bench-pictures");
    const std::string wav = dir + "/source.wav";
    const std::string base = dir + "/source.mp3";
    const std::string script = dir + "/tag.py";
    std::ofstream(script) << kTagger;
    if (!fixtures::WriteWav16(wav, kRate, 2, fixtures::ToInt16(fixtures::TestSignal(kRate, 2, kFrames))) ||
        !fixtures::EncodeMp3(wav, base, "-b 128") ||
        !fixtures::Run("/usr/bin/python3 " + fixtures::ShellQuote(script) + " " + fixtures::ShellQuote(base) + " " +
                       fixtures::ShellQuote(dir) + " " + std::to_string(count) + " " +
                       std::to_string(pictureKiB * 1024))) {
        std::fprintf(stderr, "could not make the MP3 folder (lame or python3-mutagen missing?)\n");
        fixtures::RemoveTree(dir);
        return 1;
    }
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) files.push_back(dir + "/track" + std::to_string(i) + ".mp3");
    for (const std::string& file : files) ReadWhole(file);

    const std::vector<std::function<std::string(const std::string&)>> readers = {
        [](const std::string& file) { return ReadID3v2(file).Title; },
        [](const std::string& file) {
            TagLib::FileRef ref(file.c_str(), false);
            return ref.isNull() || !ref.tag() ? std::string() : ref.tag()->title().to8Bit(true);
        },
        [](const std::string& file) { return ReadTitleTags(file, false, 0).Title; },
        [](const std::string& file) {
            TagLib::FileRef ref(file.c_str(), true, TagLib::AudioProperties::Average);
            bool length = ref.audioProperties() && ref.audioProperties()->lengthInMilliseconds() > 0;
            return ref.isNull() || !ref.tag() || !length ? std::string() : ref.tag()->title().to8Bit(true);
        },
    };
    // Rounds in turn, so that no reader alone meets a colder cache; the best
    // rate counts, the bytes are the same every round.
    std::vector<Pass> best(readers.size(), Pass{0, 0, 0, 0});
    for (int round = 0; round < kRounds; ++round)
        for (size_t r = 0; r < readers.size(); ++r) {
            Pass pass = Measure(files, readers[r]);
            if (pass.filesPerSecond > best[r].filesPerSecond) best[r] = pass;
        }
    const Pass& oursTag = best[0];
    const Pass& taglibTag = best[1];
    const Pass& oursTitle = best[2];
    const Pass& taglibTitle = best[3];

    std::printf("%d MP3 files, each with an ID3v2.3 tag by mutagen holding a %d KiB picture after its text frames;\n"
                "best of %d rounds\n",
                count, pictureKiB, kRounds);
    std::printf("tag alone:\n");
    Print("  ReadID3v2", oursTag);
    Print("  TagLib FileRef, no audio properties", taglibTag);
    std::printf("playlist title (tags and length):\n");
    Print("  ReadTitleTags (ID3v1, ID3v2, FileSeconds)", oursTitle);
    Print("  TagLib FileRef, average audio properties", taglibTitle);
    fixtures::RemoveTree(dir);
    return 0;
}
