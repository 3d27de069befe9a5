// Seek latency while a channel plays through the SDL device (the dummy
// driver unless SDL_AUDIODRIVER says otherwise): how long the seek call
// takes, and how long until the device's callback plays the new position
// (the channel's position leaves the target). MP3, Ogg and WMA seek to ten
// places; MIDI, whose synthesizer must render the song up to the target,
// seeks to a second before its end.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioLibrary.h"
#include "bench/audio/BenchInputs.h"
#include "testdata/Fixtures.h"

using namespace bench_audio;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kSongSeconds = 60;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Seek {
    double call = 0;
    double heard = 0;
};

// Seeks h to bytes; the time is taken until the callback has played past the
// target (0.5 ms polling), up to 30 s.
Seek SeekAndListen(audio::Handle h, uint64_t bytes) {
    const Clock::time_point start = Clock::now();
    audio::seekBytes(h, bytes);
    Seek seek;
    seek.call = Milliseconds(Clock::now() - start);
    while (audio::positionBytes(h) == bytes && Clock::now() - start < std::chrono::seconds(30))
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    seek.heard = Milliseconds(Clock::now() - start);
    return seek;
}

void Report(const char* kind, audio::Handle h, const std::vector<double>& targets) {
    if (h == 0) {
        std::printf("%-6s could not be opened\n", kind);
        return;
    }
    audio::play(h, false);
    while (audio::positionBytes(h) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    audio::ChannelInfo info;
    audio::channelInfo(h, info);
    const uint64_t frameBytes = info.channels * (info.bits / 8);
    std::vector<double> calls, heard;
    for (double share : targets) {
        const auto frame = static_cast<uint64_t>(share * static_cast<double>(audio::lengthBytes(h) / frameBytes));
        const Seek seek = SeekAndListen(h, frame * frameBytes);
        calls.push_back(seek.call);
        heard.push_back(seek.heard);
        // Let it play a moment, as a listener would between seeks.
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    std::sort(calls.begin(), calls.end());
    std::sort(heard.begin(), heard.end());
    std::printf("%-6s seeks=%zu call_ms median=%.3f max=%.3f  heard_ms median=%.1f max=%.1f\n", kind,
                calls.size(), calls[calls.size() / 2], calls.back(), heard[heard.size() / 2], heard.back());
    audio::stop(h);
}

} // namespace

int main() {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    BenchFolder dir;
    const std::string wav = dir.path("in.wav");
    if (!MakeWav(wav, kSongSeconds) || !fixtures::EncodeMp3(wav, dir.path("a.mp3"), "-b 192") ||
        !fixtures::EncodeOgg(wav, dir.path("a.ogg")) || !fixtures::EncodeWma(wav, dir.path("a.wma")) ||
        !fixtures::WriteMidi(dir.path("a.mid"), kSongSeconds)) {
        std::fprintf(stderr, "could not make the inputs\n");
        return 1;
    }
    if (!audio::openOutput(-1, 44100, audio::kFloatSamples)) {
        std::fprintf(stderr, "the output device cannot be opened\n");
        return 1;
    }
    const uint32_t flags = audio::kExactLength | audio::kFloatSamples;
    const std::vector<double> places = {0.8, 0.1, 0.5, 0.3, 0.9, 0.05, 0.6, 0.2, 0.7, 0.4};
    std::printf("driver=%s, %g s inputs (targets: call and heard under 20 ms; MIDI call under 10 ms)\n",
                std::getenv("SDL_AUDIODRIVER"), kSongSeconds);
    Report("MP3", audio::openFileChannel(dir.path("a.mp3"), 0, 0, flags), places);
    Report("Ogg", audio::openFileChannel(dir.path("a.ogg"), 0, 0, flags), places);
    Report("WMA", audio::openWmaChannel(dir.path("a.wma"), flags), places);
    Report("MIDI", audio::openMidiChannel(dir.path("a.mid"), 0, 0, 0, 44100),
           {1.0 - 1.0 / kSongSeconds});
    std::printf("underruns=%llu\n", static_cast<unsigned long long>(audio::underruns()));
    audio::closeOutput();
    return 0;
}
