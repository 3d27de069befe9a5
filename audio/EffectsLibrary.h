// The effects add-on of the audio library: installs an equalizer, a reverb or
// a normalizer on a channel and passes their parameter records in and out.
// Calls on handle 0, an unknown handle or an effect that is not installed are
// ignored and return false.
#pragma once

#include <cstdint>

#include "AudioLibrary.h"

namespace audio {

enum EffectType : int {
    kEffectEqualizer = 5,
    kEffectReverb = 6,
    kEffectNormalize = 9,
};

// One band of the peaking equalizer (eight bands, 0..7).
struct EqBandRecord {
    int32_t band = 0;
    int32_t rate = 0;      // informational; the channel's own rate is used
    float bandwidth = 0;   // octaves; 0 = take q instead
    float q = 0;           // used only when bandwidth is 0
    float centre = 0;      // Hz
    float gain = 0;        // dB
    int32_t reserved = 0;
};

struct ReverbRecord {
    float level = 0;      // wet mix 0..1
    int32_t delayMs = 0;  // reverb time; 0 = default
};

struct NormalizeRecord {
    float target = 0;       // peak level aimed at
    float quiet = 0;        // below it nothing is amplified
    float rate = 0;         // share of the gap closed every 10 ms
    float maxAmp = 0;       // largest amplification
    float window = 0;       // seconds over which the peak is measured
    int32_t mode = 0;       // kept, not interpreted
};

static_assert(sizeof(EqBandRecord) == 28 && sizeof(ReverbRecord) == 8 &&
              sizeof(NormalizeRecord) == 24);

// Installing an effect that is already there changes nothing. The equalizer
// is one effect with eight bands, however often it is installed.
bool installEffect(Handle h, int type);
bool removeEffect(Handle h, int type);

// The equalizer's record names its band in `band`.
bool setEffectParameters(Handle h, const EqBandRecord& record);
bool setEffectParameters(Handle h, const ReverbRecord& record);
bool setEffectParameters(Handle h, const NormalizeRecord& record);

// Fills the record with the values last set (for the equalizer, those of the
// band named in record.band); leaves it untouched when false.
bool readEffectParameters(Handle h, EqBandRecord& record);
bool readEffectParameters(Handle h, ReverbRecord& record);
bool readEffectParameters(Handle h, NormalizeRecord& record);

} // namespace audio
