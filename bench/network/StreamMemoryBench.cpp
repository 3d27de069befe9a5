// Resident memory while an hour of stream audio plays, against its first
// minute: a station on 127.0.0.1 sends a 128 kbit/s MP3 as fast as the
// player takes it, and SDL's disk driver without delay plays it into
// /dev/null as fast as the stream is decoded.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "bench/network/StationProcess.h"
#include "engine/Tonik_utilfunc.h"

namespace {

double ResidentMib() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Waits until h has played Seconds of audio; false when it stopped first.
bool PlayedUntil(HSTREAM h, double Seconds) {
    while (PositionSeconds(h) < Seconds) {
        if (audio::activity(h) != audio::kPlaying) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace

int main() {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    bench::StationProcess station({"mp3", "--fast", "--title-every", "180"});
    if (station.address().empty() || !audio::openOutput(-1, 44100, audio::kFloatSamples)) {
        std::fprintf(stderr, "cannot start the station or open the device\n");
        return 1;
    }
    const auto started = std::chrono::steady_clock::now();
    const HSTREAM h = CreateURLChannel(station.address(), audio::kUrlNoKeep);
    while (audio::streamBufferedPercent(h) >= 0 && audio::streamBufferedPercent(h) < 90)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    audio::play(h, false);
    const bool minute = PlayedUntil(h, 60);
    const double first = ResidentMib();
    const bool hour = PlayedUntil(h, 3600);
    const double last = ResidentMib();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    FreeChannel(h);
    audio::closeOutput();

    std::printf("resident_mib_after_1_minute=%.2f\n", first);
    std::printf("resident_mib_after_1_hour=%.2f\n", last);
    std::printf("growth_mib=%.2f (target within 2)\n", last - first);
    std::printf("wall_seconds=%.1f\n", wall);
    if (!minute || !hour) std::printf("warning: the stream stopped before an hour had played\n");
    return 0;
}
