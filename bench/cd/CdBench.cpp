// Audio CD on a BIN/CUE image of 20 tracks: the time from Open CD (the
// track count, each track opened once for its length, then track 1 played)
// to track 1's first sample at the device, and the CPU share of one core
// while a CD track plays through the SDL device (the dummy driver unless
// SDL_AUDIODRIVER says otherwise) beside a WAV of the same audio in the
// same run, in turns, medians of the turns.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioLibrary.h"
#include "bench/CpuShare.h"
#include "testdata/Fixtures.h"

namespace {

constexpr int kTracks = 20;
constexpr double kTrackSeconds = 20.0;
constexpr double kCpuSeconds = 10.0;
constexpr int kTurns = 5;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string TrackPath(const std::string& cue, int n)
{
    return cue + (n < 10 ? "/Track0" : "/Track") + std::to_string(n) + ".cda";
}

// Milliseconds from the track count to track 1 sounding.
double OpenCdMs(const std::string& cue)
{
    const auto started = std::chrono::steady_clock::now();
    const int count = audio::cdTrackCount(cue);
    for (int n = 1; n <= count; ++n) {
        const audio::Handle h = audio::openCdChannel(TrackPath(cue, n), audio::kExactLength);
        audio::lengthBytes(h);
        audio::releaseStream(h);
    }
    const audio::Handle first = audio::openCdChannel(TrackPath(cue, 1), audio::kFloatSamples);
    audio::play(first, false);
    while (audio::positionBytes(first) == 0 && audio::activity(first) == audio::kPlaying)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    audio::releaseStream(first);
    return ms;
}

double PlayingShare(audio::Handle h, bool& played)
{
    audio::play(h, false);
    const double share = bench::CpuShare(kCpuSeconds);
    played = played && audio::activity(h) == audio::kPlaying;
    audio::releaseStream(h);
    return share;
}

} // namespace

int main()
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const std::string folder = fixtures::MakeTempDir("nilo-bench-cd");
    const auto frames = static_cast<uint64_t>(kTrackSeconds * 44100) / fixtures::kCdSectorFrames *
                        fixtures::kCdSectorFrames;
    const std::vector<int16_t> signal = fixtures::ToInt16(fixtures::TestSignal(44100, 2, frames));
    fixtures::CdImage image;
    for (int n = 0; n < kTracks; ++n)
        image.tracks.push_back({signal, 0, "Track " + std::to_string(n + 1), "Bench"});
    const std::string cue = folder + "/disc.cue";
    const std::string wav = folder + "/track.wav";
    if (!fixtures::WriteCdImage(cue, "disc.bin", image) || !fixtures::WriteWav16(wav, 44100, 2, signal) ||
        !audio::openOutput(-1, 44100, audio::kFloatSamples)) {
        std::fprintf(stderr, "cannot write the image or open the device\n");
        fixtures::RemoveTree(folder);
        return 1;
    }
    std::vector<double> opens, locals, cds;
    bool played = true;
    uint64_t cdUnderruns = 0;
    for (int turn = 0; turn < kTurns; ++turn) {
        opens.push_back(OpenCdMs(cue));
        locals.push_back(PlayingShare(audio::openFileChannel(wav, 0, 0, audio::kFloatSamples), played));
        const uint64_t before = audio::underruns();
        cds.push_back(PlayingShare(audio::openCdChannel(TrackPath(cue, 2), audio::kFloatSamples), played));
        cdUnderruns += audio::underruns() - before;
    }
    audio::closeOutput();
    fixtures::RemoveTree(folder);
    const double local = Median(locals), cd = Median(cds);
    std::printf("driver=%s\n", std::getenv("SDL_AUDIODRIVER"));
    std::printf("open_cd_20_tracks_to_first_sample_ms=%.2f\n", Median(opens));
    std::printf("local_wav_cpu_percent=%.3f\n", local);
    std::printf("cd_track_cpu_percent=%.3f\n", cd);
    std::printf("ratio_cd_to_local=%.2f (target not above 1.2)\n", local > 0 ? cd / local : 0.0);
    std::printf("cd_underruns=%llu (target 0)\n", static_cast<unsigned long long>(cdUnderruns));
    if (!played)
        std::printf("warning: a channel stopped before its measurement ended\n");
    return 0;
}
