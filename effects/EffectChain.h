// The effect chain: equalizer, reverb and normalize on a channel, driven by
// the positions of the sound controls. Each effect has one parameter record
// for the life of the process, all zero at start; a call writes only some of
// its fields, the others keep the values of the previous call. Results of the
// audio library are not examined: calls without the effect, or on handle 0,
// are sent all the same and the library ignores them.
#pragma once

#include <array>
#include <cstdint>

#include "FilterControls.h"
#include "engine/Tonik_utilfunc.h"

using EqPositions = std::array<int32_t, 8>; // slider positions 0..10, band 0 first

// Band gain in dB: +4 at the top position 0, -6 at the bottom position 10.
void SetEqualizer(HSTREAM Channel, float Q, const EqPositions& Positions);
// 125, 250, ... 1000 Hz.
std::array<float, 8> EqCentres();
void SetEqBand(HSTREAM Channel, int Band, int Position);
void RemoveEqualizer(HSTREAM Channel);

// Delay outside 1200..10000 ms keeps the previous one.
void SetReverb(HSTREAM Channel, float Level, int32_t Delay);
void UpdateReverb(HSTREAM Channel, float Level, int32_t Delay);
void RemoveReverb(HSTREAM Channel);
void ApplyReverb(HSTREAM Channel, const effects::FilterControls& Controls);

void SetNormalize(HSTREAM Channel, float AmpLevel);
void UpdateNormalize(HSTREAM Channel, float AmpLevel);
void RemoveNormalize(HSTREAM Channel);
void ApplyNormalize(HSTREAM Channel, const effects::FilterControls& Controls);
