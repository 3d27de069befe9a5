// What the engine keeps about the entries opened ahead of their turn, so that
// the audio library starts each on the sample after the one before it ends.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/Tonik_utilfunc.h"

// An entry chosen to follow, as Advance would choose it.
struct PreparedEntry {
    int32_t Index = -1;
    std::string Path;
    // 0 for an address or a file that gives no sound: nothing is queued then,
    // and the end of the entry before it is left to Advance.
    HSTREAM Channel = 0;
    float Length = 0;
};

// What the choice of the prepared entries rests on; another value of any of
// these may choose others.
struct PreparedBasis {
    HSTREAM After = 0;
    int32_t From = -1;
    size_t Count = 0;
    bool Loop = false;
    bool Shuffle = false;
};

// The controls the effects on a channel are made from.
struct EffectSettings {
    bool Equalizer = false;
    std::array<int, 8> Bands{};
    bool Reverb = false;
    int Signal = 0;
    int Delay = 0;
    bool Normalize = false;
    int AmpLevel = 0;

    bool operator==(const EffectSettings&) const = default;
};
