#include "tools/nilo-demo/DemoPieces.h"

namespace demo {
namespace {

Piece Synthesized(std::string file, Kind kind, std::string title, double bpm, std::vector<Voice> voices)
{
    return {std::move(file), kind, std::move(title), bpm, std::move(voices), 0};
}

Piece Sequenced(std::string file, Kind kind, std::string title, double seconds)
{
    return {std::move(file), kind, std::move(title), 0, {}, seconds};
}

std::vector<Note> Repeat(const Note& note, int times)
{
    return std::vector<Note>(times, note);
}

} // namespace

std::vector<Piece> DemoPieces()
{
    std::vector<Note> trainBass = Repeat({45, 0.5}, 12);
    const std::vector<Note> trainEnd = Repeat({40, 0.5}, 4);
    trainBass.insert(trainBass.end(), trainEnd.begin(), trainEnd.end());

    return {
        Synthesized("01 Morning Steps.wav", Kind::Wav, "Nilo Demo - Morning Steps", 120,
                    {{{{60, .5}, {64, .5}, {67, .5}, {72, .5}, {71, .5}, {67, .5}, {69, .5}, {65, .5},
                       {67, .5}, {64, .5}, {65, .5}, {62, .5}, {60, 2}},
                      &kPiano, -0.3, 1.0},
                     {{{48, 2}, {53, 2}, {43, 2}, {48, 2}}, &kPiano, 0.3, 0.6}}),
        Synthesized("02 Evening Bell.aiff", Kind::Aiff, "Nilo Demo - Evening Bell", 90,
                    {{{{72, 1}, {67, 1}, {69, 1}, {64, 1}, {65, 1}, {60, 1}, {62, 1}, {67, 1}}, &kBell, -0.2, 1.0},
                     {{{48, 4}, {41, 2}, {43, 2}}, &kOrgan, 0.2, 0.3}}),
        Synthesized("03 Coffee Waltz.mp3", Kind::Mp3, "Nilo Demo - Coffee Waltz", 150,
                    {{{{67, 1}, {71, 1}, {74, 1}, {72, 2}, {71, 1}, {69, 1}, {72, 1}, {76, 1}, {74, 3},
                       {71, 1}, {74, 1}, {79, 1}, {78, 2}, {76, 1}, {74, 3}},
                      &kPiano, -0.25, 1.0},
                     {{{43, 3}, {48, 3}, {45, 3}, {50, 3}, {43, 3}, {50, 3}, {43, 3}}, &kPiano, 0.25, 0.5}}),
        Synthesized("04 River Song.ogg", Kind::Ogg, "Nilo Demo - River Song", 100,
                    {{{{62, 1}, {64, 1}, {66, 2}, {69, 1}, {66, 1}, {64, 2}, {62, 1}, {59, 1}, {62, 2}},
                      &kOrgan, -0.2, 1.0},
                     {{{50, 4}, {45, 4}, {50, 4}}, &kOrgan, 0.2, 0.4}}),
        Synthesized("05 Night Train.wma", Kind::Wma, "Nilo Demo - Night Train", 132,
                    {{{{69, .5}, {72, .5}, {76, .5}, {72, .5}, {69, .5}, {72, .5}, {76, .5}, {79, .5},
                       {77, 1}, {76, .5}, {74, .5}, {76, 2}},
                      &kPiano, -0.3, 1.0},
                     {trainBass, &kPiano, 0.3, 0.45}}),
        Sequenced("06 Tracker Tune.mod", Kind::Mod, "Nilo Demo - Tracker Tune (MOD)", 6),
        Sequenced("07 Tracker Tune.xm", Kind::Xm, "Nilo Demo - Tracker Tune (XM)", 6),
        Sequenced("08 Tracker Tune.it", Kind::It, "Nilo Demo - Tracker Tune (IT)", 6),
        Sequenced("09 Tracker Tune.s3m", Kind::S3m, "Nilo Demo - Tracker Tune (S3M)", 6),
        Sequenced("10 Vibraphone Walk.mid", Kind::Midi, "Nilo Demo - Vibraphone Walk", 6),
    };
}

} // namespace demo
