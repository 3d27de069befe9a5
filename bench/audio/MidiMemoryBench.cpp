// What a 56 MB MIDI file of dense events costs: the process's peak memory
// while it is opened, played and sought through, against the file's size;
// and the time to open it and to seek to its end.
#include <cstdio>
#include <fstream>
#include <string>

#include "bench/audio/BenchInputs.h"

using namespace bench_audio;

namespace {

constexpr size_t kEvents = 56'000'000 / 3;

std::string Be(uint32_t v, int bytes)
{
    std::string s;
    for (int i = bytes - 1; i >= 0; --i)
        s += static_cast<char>(v >> (8 * i));
    return s;
}

// One track of notes switched on and off a tick apart, three bytes an event
// in running status; written in pieces so that making it costs no memory.
bool WriteDenseMidi(const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    const uint32_t body = 4 + 3 * kEvents + 4;
    out << "MThd" << Be(6, 4) << Be(0, 2) << Be(1, 2) << Be(960, 2) << "MTrk" << Be(body, 4);
    out << std::string("\x00\x90\x3C\x40", 4);
    std::string piece;
    for (size_t i = 1; i < kEvents; ++i) {
        piece += std::string("\x01\x3C", 2) + static_cast<char>(i % 2 ? 0 : 0x40);
        if (piece.size() >= 65536) {
            out << piece;
            piece.clear();
        }
    }
    out << piece << std::string("\x01\x3C\x00", 3) << std::string("\x00\xFF\x2F\x00", 4);
    return static_cast<bool>(out);
}

// Peak resident memory in kB since the last reset.
long PeakKilobytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace

int main()
{
    BenchFolder dir;
    const std::string path = dir.path("dense.mid");
    if (!WriteDenseMidi(path)) {
        std::fprintf(stderr, "could not write the file\n");
        return 1;
    }
    // The SoundFont is loaded before the figures start.
    if (!Open("midi", dir.path("dense.mid"))) {
        std::fprintf(stderr, "the file does not open\n");
        return 1;
    }
    ResetPeak();
    const long before = PeakKilobytes();
    const auto started = std::chrono::steady_clock::now();
    auto decoder = Open("midi", path);
    const double opened = SecondsSince(started);
    std::vector<float> block(2 * 4096);
    decoder->read(block.data(), 4096);
    const auto seekStarted = std::chrono::steady_clock::now();
    decoder->seek(decoder->lengthFrames() - 4096);
    const double sought = SecondsSince(seekStarted);
    decoder->read(block.data(), 4096);
    const long peak = PeakKilobytes();
    const double fileMegabytes = static_cast<double>(FileBytes(path)) / 1e6;
    const double grownMegabytes = static_cast<double>(peak - before) * 1024 / 1e6;
    std::printf("dense MIDI of %.1f MB (%.0f s): opened in %.2f s, sought to its end in %.2f s\n", fileMegabytes,
                static_cast<double>(decoder->lengthFrames()) / decoder->rate(), opened, sought);
    std::printf("peak memory grew by %.1f MB: %.2f times the file's size\n", grownMegabytes,
                grownMegabytes / fileMegabytes);
    return 0;
}
