#include <chrono>
#include <thread>

#include "Commands.h"
#include "OptionTable.h"

int PlayCommand(const std::vector<std::string>& arguments) {
    double seconds = -1; // until the end
    const std::vector<Option> options = {
        {"--seconds", "S", [&](const std::string& v) { return ParseNumber(v, 0, 1e7, seconds); }},
    };
    std::vector<std::string> positional;
    std::string error;
    if (!ParseCommandLine(arguments, options, 1, "nilo-audio play FILE|ADDRESS", positional, error))
        return Fail(error);
    const std::string& path = positional[0];

    const HSTREAM h = OpenChannel(path, 0x20000);
    if (h == 0) return 1;
    if (!audio::openOutput(-1, audio::kOutputRate, audio::kFloatSamples)) {
        FreeChannel(h);
        return Fail("the audio output device cannot be opened");
    }
    audio::startOutput();
    audio::play(h, false);
    const auto started = std::chrono::steady_clock::now();
    const auto limit = std::chrono::duration<double>(seconds);
    while (audio::activity(h) != audio::kStopped &&
           (seconds < 0 || std::chrono::steady_clock::now() - started < limit)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    FreeChannel(h);
    audio::closeOutput();
    return 0;
}
