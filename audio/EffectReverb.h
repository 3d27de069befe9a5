// Reverb: per audio channel a network of eight damped feedback combs and four
// all-passes; the comb feedback is set from the reverb time so that the tail
// falls by 60 dB over it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "Effect.h"
#include "EffectsLibrary.h"

namespace audio {

class Reverb : public Effect {
  public:
    static constexpr int kDefaultDelayMs = 2000;

    Reverb(uint32_t rate, uint32_t channels);

    void setParameters(const ReverbRecord& record);
    const ReverbRecord& parameters() const { return record_; }

    void process(float* interleaved, size_t frames) override;

  private:
    struct Comb {
        std::vector<float> buffer;
        size_t pos = 0;
        float feedback = 0;
        float inputGain = 0;
        float store = 0;
    };
    struct AllPass {
        std::vector<float> buffer;
        size_t pos = 0;
    };
    struct Network {
        std::array<Comb, 8> combs;
        std::array<AllPass, 4> allPasses;
    };

    float runNetwork(Network& n, float input);

    uint32_t rate_;
    std::vector<Network> networks_; // one per audio channel
    ReverbRecord record_{};
    float wet_ = 0;
};

} // namespace audio
