#include "EffectChain.h"

#include "audio/EffectsLibrary.h"

namespace {

audio::EqBandRecord EqRecord;
audio::ReverbRecord ReverbRecord;
audio::NormalizeRecord NormalizeRecord;

constexpr int kEqBands = 8;

float GainOfPosition(int Position) { return float(4 - Position); }

} // namespace

void SetEqualizer(audio::Handle Channel, float Q, const EqPositions& Positions) {
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

void SetEqBand(audio::Handle Channel, int Band, int Position) {
    EqRecord.band = Band;
    audio::readEffectParameters(Channel, EqRecord);
    EqRecord.gain = GainOfPosition(Position);
    audio::setEffectParameters(Channel, EqRecord);
}

void RemoveEqualizer(audio::Handle Channel) { audio::removeEffect(Channel, audio::kEffectEqualizer); }

void SetReverb(audio::Handle Channel, float Level, int32_t Delay) {
    ReverbRecord.level = Level;
    if (Delay >= 1200 && Delay <= 10000) ReverbRecord.delayMs = Delay;
    audio::installEffect(Channel, audio::kEffectReverb);
    audio::setEffectParameters(Channel, ReverbRecord);
}

void UpdateReverb(audio::Handle Channel, float Level, int32_t Delay) {
    ReverbRecord.level = Level;
    ReverbRecord.delayMs = Delay;
    audio::setEffectParameters(Channel, ReverbRecord);
}

void RemoveReverb(audio::Handle Channel) { audio::removeEffect(Channel, audio::kEffectReverb); }

void ApplyReverb(audio::Handle Channel, const effects::FilterControls& Controls) {
    if (Controls.reverbEnabled())
        SetReverb(Channel, float(Controls.signalPosition()) * 0.01f, Controls.delayPosition());
    else
        RemoveReverb(Channel);
}

void SetNormalize(audio::Handle Channel, float AmpLevel) {
    NormalizeRecord = {0.85f, 0.1f, 0.02f, AmpLevel, 1.0f, 2};
    audio::installEffect(Channel, audio::kEffectNormalize);
    audio::setEffectParameters(Channel, NormalizeRecord);
}

void UpdateNormalize(audio::Handle Channel, float AmpLevel) {
    audio::readEffectParameters(Channel, NormalizeRecord);
    NormalizeRecord.maxAmp = AmpLevel;
    audio::setEffectParameters(Channel, NormalizeRecord);
}

void RemoveNormalize(audio::Handle Channel) { audio::removeEffect(Channel, audio::kEffectNormalize); }

void ApplyNormalize(audio::Handle Channel, const effects::FilterControls& Controls) {
    if (Controls.normalizeEnabled())
        SetNormalize(Channel, float(Controls.ampLevelPosition()));
    else
        RemoveNormalize(Channel);
}
