#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "Commands.h"
#include "EffectOptions.h"
#include "FloatWavWriter.h"
#include "OptionTable.h"

namespace {

struct RenderSettings {
    double start = 0;
    double duration = -1; // to the end
    int volume = 100;
    int pan = 0;
};

constexpr double kLongest = 1e7; // seconds; far beyond any file

std::vector<Option> RenderOptions(RenderSettings& s) {
    return {
        {"--start", "S", [&s](const std::string& v) { return ParseNumber(v, 0, kLongest, s.start); }},
        {"--duration", "S",
         [&s](const std::string& v) { return ParseNumber(v, 0, kLongest, s.duration); }},
        {"--volume", "0..100", [&s](const std::string& v) { return ParseInteger(v, 0, 100, s.volume); }},
        {"--pan", "-100..100", [&s](const std::string& v) { return ParseInteger(v, -100, 100, s.pan); }},
    };
}

// Renders what the device would receive, from the channel's position on; a
// stream is waited for while it goes on.
bool RenderTo(HSTREAM h, FloatWavWriter& out, uint64_t frames) {
    constexpr size_t kBlock = 4096;
    std::vector<float> block(2 * kBlock);
    while (frames > 0) {
        const size_t wanted = frames < kBlock ? static_cast<size_t>(frames) : kBlock;
        const size_t got = audio::renderOutput(h, block.data(), wanted);
        if (!out.write(block.data(), got)) return false;
        frames -= got;
        if (got == wanted) continue;
        if (!StreamGoesOn(h)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace

int RenderCommand(const std::vector<std::string>& arguments) {
    RenderSettings settings;
    EffectSettings effects;
    std::vector<Option> options = RenderOptions(settings);
    const std::vector<Option> effectOptions = EffectOptions(effects);
    options.insert(options.end(), effectOptions.begin(), effectOptions.end());
    std::vector<std::string> positional;
    std::string error;
    if (!ParseCommandLine(arguments, options, 2, "nilo-audio render FILE|ADDRESS OUT.wav", positional, error))
        return Fail(error);
    const std::string& path = positional[0];

    // Opened as playback opens a file.
    const HSTREAM h = OpenChannel(path, 0x20000);
    if (h == 0) return 1;
    audio::ChannelInfo info;
    audio::channelInfo(h, info);
    const uint64_t frameBytes = uint64_t{info.channels} * (info.bits / 8);
    // The tolerance keeps starts such as 0.3 s on the frame they name.
    const auto startFrame = static_cast<uint64_t>(std::floor(settings.start * info.rate + 1e-6));
    const uint64_t frames = settings.duration < 0
                                ? std::numeric_limits<uint64_t>::max()
                                : static_cast<uint64_t>(std::llround(settings.duration * audio::kOutputRate));

    int status = 0;
    if (IsAddress(path) && startFrame > 0) {
        status = Fail("a stream plays from where it is: --start is for files");
    } else if (!IsAddress(path) && !audio::seekBytes(h, startFrame * frameBytes)) {
        status = Fail("start " + std::to_string(settings.start) + " s is past the end of " + path);
    } else {
        audio::setAttributes(h, -1, settings.volume, settings.pan);
        ApplyEffectOptions(h, effects);
        FloatWavWriter out(positional[1]);
        if (!out.isOpen() || !RenderTo(h, out, frames) || !out.finish())
            status = Fail(positional[1] + ": cannot be written");
    }
    FreeChannel(h);
    return status;
}
