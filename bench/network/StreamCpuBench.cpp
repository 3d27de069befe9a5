// CPU share of one core while a 128 kbit/s MP3 stream from a station on
// 127.0.0.1 plays through the SDL device (the dummy driver unless
// SDL_AUDIODRIVER says otherwise), beside a local MP3 of the same bit rate
// in the same run, in turns, medians of the turns. The station is a process
// of its own.
#include <algorithm>
#include <cstdio>
#include <vector>
#include <cstdlib>
#include <thread>

#include "bench/CpuShare.h"
#include "bench/network/StationProcess.h"
#include "engine/Tonik_utilfunc.h"
#include "testdata/Fixtures.h"

namespace {

constexpr double kSeconds = 15.0;
constexpr int kTurns = 3;

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

std::string List(const std::vector<double>& Values) {
    std::string text;
    for (double value : Values) text += (text.empty() ? "" : " ") + std::to_string(value).substr(0, 5);
    return text;
}

// The share while h plays; false when it stopped before the end.
bool PlayingShare(HSTREAM h, double& share) {
    audio::play(h, false);
    share = bench::CpuShare(kSeconds);
    const bool playing = audio::activity(h) == audio::kPlaying;
    FreeChannel(h);
    return playing;
}

} // namespace

int main() {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const std::string folder = fixtures::MakeTempDir("nilo-bench-stream-cpu");
    const std::string wav = folder + "/signal.wav";
    const std::string mp3 = folder + "/signal.mp3";
    const auto frames = static_cast<uint64_t>((kSeconds + 5) * 44100);
    const bool made = fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, frames))) &&
                      fixtures::EncodeMp3(wav, mp3, "-b 128");
    bench::StationProcess station({"mp3"});
    if (!made || station.address().empty() || !audio::openOutput(-1, 44100, audio::kFloatSamples)) {
        std::fprintf(stderr, "cannot make the MP3, start the station or open the device\n");
        fixtures::RemoveTree(folder);
        return 1;
    }
    std::vector<double> locals, streams;
    bool allPlayed = true;
    uint64_t streamUnderruns = 0;
    for (int turn = 0; turn < kTurns; ++turn) {
        double share = 0;
        allPlayed = PlayingShare(CreateFileChannel(mp3, 0x20000, 0x20000), share) && allPlayed;
        locals.push_back(share);
        const HSTREAM h = CreateURLChannel(station.address(), audio::kUrlNoKeep);
        while (audio::streamBufferedPercent(h) >= 0 && audio::streamBufferedPercent(h) < 90)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const uint64_t before = audio::underruns();
        allPlayed = PlayingShare(h, share) && allPlayed;
        streams.push_back(share);
        streamUnderruns += audio::underruns() - before;
    }
    audio::closeOutput();
    const double local = Median(locals), stream = Median(streams);
    fixtures::RemoveTree(folder);

    std::printf("driver=%s\n", std::getenv("SDL_AUDIODRIVER"));
    std::printf("local_turns=%s\nstream_turns=%s\n", List(locals).c_str(), List(streams).c_str());
    std::printf("local_mp3_128k_cpu_percent=%.3f\n", local);
    std::printf("stream_mp3_128k_cpu_percent=%.3f (target under 1)\n", stream);
    std::printf("ratio_stream_to_local=%.2f (target not above 1.2)\n", local > 0 ? stream / local : 0.0);
    std::printf("stream_underruns=%llu (target 0)\n", static_cast<unsigned long long>(streamUnderruns));
    if (!allPlayed) std::printf("warning: a channel stopped before its measurement ended\n");
    return 0;
}
