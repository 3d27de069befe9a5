// Volume, pan, mute, equalizer and filters on the current channel.
#include "audio/AudioLibrary.h"
#include "effects/EffectChain.h"
#include "engine/Tonik_main.h"

void TTonikMain::ApplyVolume() {
    if (Volume < 0 || Volume > 100) return;
    Volume = view_.volumePosition();
    if (!Mute) audio::setAttributes(Channel, -1, Volume, -101);
    SaveConfig();
}

void TTonikMain::ApplyPan() {
    if (Pan < -1 || Pan > 1) return;
    Pan = view_.panPosition() - 1;
    audio::setAttributes(Channel, -1, -1, Pan * 100);
    SaveConfig();
}

// A new channel plays with the pan the control shows, not the library's centre.
void TTonikMain::SendStoredPan() {
    if (Pan >= -1 && Pan <= 1) audio::setAttributes(Channel, -1, -1, Pan * 100);
}

void TTonikMain::ApplyMute() {
    view_.setMuteGlyph(Mute);
    audio::setAttributes(Channel, -1, Mute ? 0 : Volume, -101);
}

void TTonikMain::ApplyEqualizer() {
    if (!view_.equalizerEnabled()) {
        RemoveEqualizer(Channel);
        return;
    }
    EqPositions positions{};
    for (int band = 0; band < 8; ++band) positions[band] = view_.bandPosition(band);
    SetEqualizer(Channel, 0, positions);
}

void TTonikMain::ApplyEffectChain() {
    ApplyEqualizer();
    ApplyFilters();
}

void TTonikMain::ApplyFilters() {
    ApplyReverb(Channel, view_.filterControls());
    ApplyNormalize(Channel, view_.filterControls());
}
