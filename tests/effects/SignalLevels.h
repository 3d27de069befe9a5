// Signals and level measurements shared by the effect tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace effects_test {

// Interleaved sine on every channel.
std::vector<float> Sine(double hz, double amplitude, uint32_t rate, uint32_t channels, size_t frames);
// Deterministic white noise in -amplitude..amplitude.
std::vector<float> Noise(double amplitude, uint32_t channels, size_t frames);

// RMS of one channel over frames [from, to).
double Rms(const std::vector<float>& interleaved, uint32_t channels, uint32_t channel, size_t from,
           size_t to);
double Peak(const std::vector<float>& samples);
double Decibels(double ratio);

} // namespace effects_test
