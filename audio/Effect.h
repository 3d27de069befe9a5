// Effects run on a channel's decoded samples (its own rate and channel
// count), in installation order, on the library's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "AudioLibrary.h"

namespace audio {

class Effect {
  public:
    virtual ~Effect() = default;
    virtual void process(float* interleaved, size_t frames) = 0;
};

struct EffectSlot {
    int type = 0;
    std::unique_ptr<Effect> effect;
};

// Runs fn on the channel's effect list with the channel locked against its
// decoding thread; fn gets the channel's playback rate (as readAttributes
// gives it) and its decoded channel count, and must not call the library.
// False (fn not run) for handle 0 or an unknown handle.
bool editChannelEffects(
    Handle h, const std::function<void(std::vector<EffectSlot>& effects, uint32_t rate,
                                       uint32_t channels)>& fn);

} // namespace audio
