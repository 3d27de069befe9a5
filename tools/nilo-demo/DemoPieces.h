// The bundled demo playlist: one short piece for each kind of file the
// player plays.
#pragma once

#include "tools/nilo-demo/DemoSynth.h"

#include <string>
#include <vector>

namespace demo {

enum class Kind { Wav, Aiff, Mp3, Ogg, Wma, Mod, Xm, It, S3m, Midi };

struct Piece {
    std::string file;
    Kind kind;
    std::string title;
    // Synthesized kinds: the tune; the others play the fixture tune for seconds.
    double beatsPerMinute;
    std::vector<Voice> voices;
    double seconds;
};

std::vector<Piece> DemoPieces();

} // namespace demo
