// Volume, pan, mute, equalizer and filters on the current channel and on the
// channels prepared to follow it.
#include "audio/AudioLibrary.h"
#include "effects/EffectChain.h"
#include "engine/Tonik_main.h"

// A prepared channel starts on its own, so it must already play as the
// controls stand when it does.
std::vector<HSTREAM> TTonikMain::SoundTargets() const {
    if (soleTarget_ != 0) return {soleTarget_};
    std::vector<HSTREAM> targets{Channel};
    for (const PreparedEntry& entry : prepared_)
        if (entry.Channel != 0) targets.push_back(entry.Channel);
    return targets;
}

void TTonikMain::SendAttributes(int NewVolume, int NewPan) {
    for (const HSTREAM target : SoundTargets())
        audio::setAttributes(target, -1, NewVolume, NewPan);
}

void TTonikMain::ApplyVolume() {
    if (Volume < 0 || Volume > 100) return;
    Volume = view_.volumePosition();
    if (!Mute) SendAttributes(Volume, -101);
    SaveConfig();
}

void TTonikMain::ApplyPan() {
    if (Pan < -1 || Pan > 1) return;
    Pan = view_.panPosition() - 1;
    SendAttributes(-1, Pan * 100);
    SaveConfig();
}

// A new channel plays with the pan the control shows, not the library's centre.
void TTonikMain::SendStoredPan() {
    if (Pan >= -1 && Pan <= 1) SendAttributes(-1, Pan * 100);
}

void TTonikMain::ApplyMute() {
    view_.setMuteGlyph(Mute);
    SendAttributes(Mute ? 0 : Volume, -101);
}

void TTonikMain::ApplyEqualizer() {
    const bool enabled = view_.equalizerEnabled();
    EqPositions positions{};
    for (int band = 0; band < 8; ++band)
        positions[band] = view_.bandPosition(band);
    for (const HSTREAM target : SoundTargets()) {
        if (enabled)
            SetEqualizer(target, 0, positions);
        else
            RemoveEqualizer(target);
    }
}

void TTonikMain::ApplyEffectChain() {
    ApplyEqualizer();
    ApplyFilters();
}

void TTonikMain::ApplyFilters() {
    for (const HSTREAM target : SoundTargets()) {
        ApplyReverb(target, view_.filterControls());
        ApplyNormalize(target, view_.filterControls());
    }
}

EffectSettings TTonikMain::ReadEffectSettings() const {
    const effects::FilterControls& filters = view_.filterControls();
    EffectSettings settings{view_.equalizerEnabled(),  {},
                            filters.reverbEnabled(),   filters.signalPosition(),
                            filters.delayPosition(),   filters.normalizeEnabled(),
                            filters.ampLevelPosition()};
    for (int band = 0; band < 8; ++band)
        settings.Bands[static_cast<size_t>(band)] = view_.bandPosition(band);
    return settings;
}
