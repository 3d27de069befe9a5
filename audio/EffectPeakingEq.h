// Eight-band equalizer: each band a peaking biquad (gain in dB, width in
// octaves) with its own state per audio channel.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "Effect.h"
#include "EffectsLibrary.h"

namespace audio {

class PeakingEqualizer : public Effect {
  public:
    static constexpr int kBands = 8;

    PeakingEqualizer(uint32_t rate, uint32_t channels);

    // False (nothing changed) for a band number outside 0..7.
    bool setBand(const EqBandRecord& record);
    bool band(int index, EqBandRecord& record) const;

    void process(float* interleaved, size_t frames) override;

  private:
    struct Coefficients {
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
        bool flat = true;
    };

    Coefficients design(const EqBandRecord& record) const;

    uint32_t rate_;
    uint32_t channels_;
    std::array<EqBandRecord, kBands> records_{};
    std::array<Coefficients, kBands> coefficients_{};
    std::vector<double> state_; // two values per band and channel
};

} // namespace audio
