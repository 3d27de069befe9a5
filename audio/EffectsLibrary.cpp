#include "EffectsLibrary.h"

#include <memory>

#include "Effect.h"
#include "EffectNormalize.h"
#include "EffectPeakingEq.h"
#include "EffectReverb.h"

namespace audio {

namespace {

std::unique_ptr<Effect> makeEffect(int type, uint32_t rate, uint32_t channels) {
    switch (type) {
    case kEffectEqualizer: return std::make_unique<PeakingEqualizer>(rate, channels);
    case kEffectReverb: return std::make_unique<Reverb>(rate, channels);
    case kEffectNormalize: return std::make_unique<Normalizer>(rate, channels);
    default: return nullptr;
    }
}

// Runs fn on the channel's effect of type T, if installed; true when it ran
// and fn returned true.
template <class T, class Fn> bool withEffect(Handle h, int type, Fn fn) {
    bool done = false;
    editChannelEffects(h, [&](std::vector<EffectSlot>& effects, uint32_t, uint32_t) {
        for (EffectSlot& slot : effects) {
            if (slot.type != type) continue;
            if (T* effect = dynamic_cast<T*>(slot.effect.get())) done = fn(*effect);
            return;
        }
    });
    return done;
}

} // namespace

bool installEffect(Handle h, int type) {
    bool installed = false;
    editChannelEffects(h, [&](std::vector<EffectSlot>& effects, uint32_t rate, uint32_t channels) {
        for (const EffectSlot& slot : effects) {
            if (slot.type == type) {
                installed = true;
                return;
            }
        }
        if (auto effect = makeEffect(type, rate, channels)) {
            effects.push_back({type, std::move(effect)});
            installed = true;
        }
    });
    return installed;
}

bool removeEffect(Handle h, int type) {
    bool removed = false;
    editChannelEffects(h, [&](std::vector<EffectSlot>& effects, uint32_t, uint32_t) {
        removed = std::erase_if(effects, [type](const EffectSlot& s) { return s.type == type; }) > 0;
    });
    return removed;
}

bool setEffectParameters(Handle h, const EqBandRecord& record) {
    return withEffect<PeakingEqualizer>(h, kEffectEqualizer,
                                        [&](PeakingEqualizer& eq) { return eq.setBand(record); });
}

bool setEffectParameters(Handle h, const ReverbRecord& record) {
    return withEffect<Reverb>(h, kEffectReverb, [&](Reverb& reverb) {
        reverb.setParameters(record);
        return true;
    });
}

bool setEffectParameters(Handle h, const NormalizeRecord& record) {
    return withEffect<Normalizer>(h, kEffectNormalize, [&](Normalizer& normalizer) {
        normalizer.setParameters(record);
        return true;
    });
}

bool readEffectParameters(Handle h, EqBandRecord& record) {
    return withEffect<PeakingEqualizer>(
        h, kEffectEqualizer, [&](PeakingEqualizer& eq) { return eq.band(record.band, record); });
}

bool readEffectParameters(Handle h, ReverbRecord& record) {
    return withEffect<Reverb>(h, kEffectReverb, [&](Reverb& reverb) {
        record = reverb.parameters();
        return true;
    });
}

bool readEffectParameters(Handle h, NormalizeRecord& record) {
    return withEffect<Normalizer>(h, kEffectNormalize, [&](Normalizer& normalizer) {
        record = normalizer.parameters();
        return true;
    });
}

} // namespace audio
