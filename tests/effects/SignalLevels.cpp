#include "SignalLevels.h"

#include <cmath>
#include <numbers>
#include <random>

namespace effects_test {

std::vector<float> Sine(double hz, double amplitude, uint32_t rate, uint32_t channels, size_t frames) {
    std::vector<float> out(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        const float v = float(amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / rate));
        for (uint32_t c = 0; c < channels; ++c) out[i * channels + c] = v;
    }
    return out;
}

std::vector<float> Noise(double amplitude, uint32_t channels, size_t frames) {
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> uniform(-float(amplitude), float(amplitude));
    std::vector<float> out(frames * channels);
    for (float& v : out) v = uniform(random);
    return out;
}

double Rms(const std::vector<float>& interleaved, uint32_t channels, uint32_t channel, size_t from,
           size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) {
        const double v = interleaved[i * channels + channel];
        sum += v * v;
    }
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

double Peak(const std::vector<float>& samples) {
    double peak = 0;
    for (float v : samples) peak = std::max(peak, double(std::abs(v)));
    return peak;
}

double Decibels(double ratio) { return 20.0 * std::log10(ratio); }

} // namespace effects_test
