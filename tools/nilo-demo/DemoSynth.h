// A small additive synthesizer for the demo pieces: voices of notes, each
// with a timbre (partials and decay), mixed to 44.1 kHz stereo.
#pragma once

#include <vector>

namespace demo {

constexpr int kRest = -1;
constexpr unsigned kRate = 44100;

struct Note {
    int midi; // MIDI note number, or kRest
    double beats;
};

struct Timbre {
    std::vector<double> partials; // frequency ratios
    std::vector<double> levels;   // one level per partial
    double decayPerSecond;
};

extern const Timbre kPiano;
extern const Timbre kBell;
extern const Timbre kOrgan;

struct Voice {
    std::vector<Note> notes;
    const Timbre* timbre;
    double pan; // -1 left .. 1 right
    double gain;
};

// Interleaved stereo, peak 0.7, with a short tail after the last note.
std::vector<float> Render(const std::vector<Voice>& voices, double beatsPerMinute);

} // namespace demo
