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
#include "audio/AudioLibrary.h"

using EqPositions = std::array<int32_t, 8>; // slider positions 0..10, band 0 first

// Band gain in dB: +4 at the top position 0, -6 at the bottom position 10.
void SetEqualizer(audio::Handle Channel, float Q, const EqPositions& Positions);
// 125, 250, ... 1000 Hz.
std::array<float, 8> EqCentres();
void SetEqBand(audio::Handle Channel, int Band, int Position);
void RemoveEqualizer(audio::Handle Channel);

// Delay outside 1200..10000 ms keeps the previous one.
void SetReverb(audio::Handle Channel, float Level, int32_t Delay);
void UpdateReverb(audio::Handle Channel, float Level, int32_t Delay);
void RemoveReverb(audio::Handle Channel);
void ApplyReverb(audio::Handle Channel, const effects::FilterControls& Controls);

void SetNormalize(audio::Handle Channel, float AmpLevel);
void UpdateNormalize(audio::Handle Channel, float AmpLevel);
void RemoveNormalize(audio::Handle Channel);
void ApplyNormalize(audio::Handle Channel, const effects::FilterControls& Controls);
