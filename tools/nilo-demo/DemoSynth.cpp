#include "tools/nilo-demo/DemoSynth.h"

#include <algorithm>
#include <cmath>

namespace demo {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kAttackSeconds = 0.01;
constexpr double kReleaseSeconds = 0.08;

void AddNote(std::vector<double>& left, std::vector<double>& right, const Voice& voice, int midi,
             size_t start, double seconds)
{
    const double frequency = 440.0 * std::pow(2.0, (midi - 69) / 12.0);
    const double leftGain = voice.gain * std::cos((voice.pan + 1) * kTwoPi / 8);
    const double rightGain = voice.gain * std::sin((voice.pan + 1) * kTwoPi / 8);
    const size_t frames = static_cast<size_t>((seconds + kReleaseSeconds) * kRate);
    for (size_t i = 0; i < frames && start + i < left.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        double envelope = std::min(1.0, t / kAttackSeconds) * std::exp(-voice.timbre->decayPerSecond * t);
        if (t > seconds)
            envelope *= 1.0 - (t - seconds) / kReleaseSeconds;
        double v = 0;
        for (size_t p = 0; p < voice.timbre->partials.size(); ++p)
            v += voice.timbre->levels[p] * std::sin(kTwoPi * frequency * voice.timbre->partials[p] * t);
        left[start + i] += leftGain * envelope * v;
        right[start + i] += rightGain * envelope * v;
    }
}

} // namespace

const Timbre kPiano{{1, 2, 3, 4}, {1, 0.45, 0.2, 0.1}, 2.5};
const Timbre kBell{{1, 2.76, 5.4, 8.93}, {1, 0.5, 0.25, 0.12}, 1.8};
const Timbre kOrgan{{1, 2, 4}, {1, 0.6, 0.3}, 0.2};

std::vector<float> Render(const std::vector<Voice>& voices, double beatsPerMinute)
{
    const double secondsPerBeat = 60.0 / beatsPerMinute;
    double longest = 0;
    for (const Voice& voice : voices) {
        double beats = 0;
        for (const Note& n : voice.notes)
            beats += n.beats;
        longest = std::max(longest, beats * secondsPerBeat);
    }
    const size_t frames = static_cast<size_t>((longest + kReleaseSeconds) * kRate);
    std::vector<double> left(frames);
    std::vector<double> right(frames);
    for (const Voice& voice : voices) {
        double at = 0;
        for (const Note& n : voice.notes) {
            if (n.midi != kRest)
                AddNote(left, right, voice, n.midi, static_cast<size_t>(at * kRate), n.beats * secondsPerBeat);
            at += n.beats * secondsPerBeat;
        }
    }
    double peak = 1e-9;
    for (size_t i = 0; i < frames; ++i)
        peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    std::vector<float> out;
    out.reserve(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        out.push_back(static_cast<float>(left[i] * 0.7 / peak));
        out.push_back(static_cast<float>(right[i] * 0.7 / peak));
    }
    return out;
}

} // namespace demo
