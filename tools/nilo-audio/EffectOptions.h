// render's effect options: the equalizer's slider positions, reverb and
// normalize, installed through the effect chain as the player installs them.
#pragma once

#include <optional>
#include <vector>

#include "OptionTable.h"
#include "effects/EffectChain.h"

struct EffectSettings {
    std::optional<EqPositions> eq;
    std::optional<std::pair<float, int>> reverb; // level 0..1, delay in ms
    std::optional<float> normalize;              // amplification 1..10
};

// --eq P1,...,P8 (0..10), --reverb LEVEL,DELAY_MS, --normalize AMP
std::vector<Option> EffectOptions(EffectSettings& settings);
void ApplyEffectOptions(audio::Handle h, const EffectSettings& settings);
