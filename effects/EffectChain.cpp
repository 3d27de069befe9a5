#include "EffectChain.h"

#include "audio/EffectsLibrary.h"

namespace {

audio::EqBandRecord EqRecord;
audio::ReverbRecord ReverbRecord;
audio::NormalizeRecord NormalizeRecord;

constexpr int kEqBands = 8;

float GainOfPosition(int Position) { return float(4 - Position); }

} // namespace

void SetEqualizer(HSTREAM Channel, float Q, const EqPositions& Positions) {
    uint32_t Rate = 0;
    audio::readAttributes(Channel, &Rate, nullptr, nullptr);
    for (int i = 0; i < kEqBands; ++i) audio::installEffect(Channel, audio::kEffectEqualizer);
    EqRecord.rate = int32_t(Rate);
    EqRecord.bandwidth = 2.5f;
    EqRecord.q = Q;
    const std::array<float, 8> Centres = EqCentres();
    for (int b = 0; b < kEqBands; ++b) {
        EqRecord.band = b;
        EqRecord.centre = Centres[b];
        EqRecord.gain = GainOfPosition(Positions[b]);
        audio::setEffectParameters(Channel, EqRecord);
    }
}

std::array<float, 8> EqCentres() {
    std::array<float, 8> Centres{};
    for (int b = 0; b < kEqBands; ++b) Centres[b] = float(b + 1) * 125.0f;
    return Centres;
}

void SetEqBand(HSTREAM Channel, int Band, int Position) {
    EqRecord.band = Band;
    audio::readEffectParameters(Channel, EqRecord);
    EqRecord.gain = GainOfPosition(Position);
    audio::setEffectParameters(Channel, EqRecord);
}

void RemoveEqualizer(HSTREAM Channel) { audio::removeEffect(Channel, audio::kEffectEqualizer); }

void SetReverb(HSTREAM Channel, float Level, int32_t Delay) {
    ReverbRecord.level = Level;
    if (Delay >= 1200 && Delay <= 10000) ReverbRecord.delayMs = Delay;
    audio::installEffect(Channel, audio::kEffectReverb);
    audio::setEffectParameters(Channel, ReverbRecord);
}

void UpdateReverb(HSTREAM Channel, float Level, int32_t Delay) {
    ReverbRecord.level = Level;
    ReverbRecord.delayMs = Delay;
    audio::setEffectParameters(Channel, ReverbRecord);
}

void RemoveReverb(HSTREAM Channel) { audio::removeEffect(Channel, audio::kEffectReverb); }

void ApplyReverb(HSTREAM Channel, const effects::FilterControls& Controls) {
    if (Controls.reverbEnabled())
        SetReverb(Channel, float(Controls.signalPosition()) * 0.01f, Controls.delayPosition());
    else
        RemoveReverb(Channel);
}

void SetNormalize(HSTREAM Channel, float AmpLevel) {
    NormalizeRecord = {0.85f, 0.1f, 0.02f, AmpLevel, 1.0f, 2};
    audio::installEffect(Channel, audio::kEffectNormalize);
    audio::setEffectParameters(Channel, NormalizeRecord);
}

void UpdateNormalize(HSTREAM Channel, float AmpLevel) {
    audio::readEffectParameters(Channel, NormalizeRecord);
    NormalizeRecord.maxAmp = AmpLevel;
    audio::setEffectParameters(Channel, NormalizeRecord);
}

void RemoveNormalize(HSTREAM Channel) { audio::removeEffect(Channel, audio::kEffectNormalize); }

void ApplyNormalize(HSTREAM Channel, const effects::FilterControls& Controls) {
    if (Controls.normalizeEnabled())
        SetNormalize(Channel, float(Controls.ampLevelPosition()));
    else
        RemoveNormalize(Channel);
}
