// Files for the audio tests: a temporary folder, WAVs of the test signal and
// the check of what SDL's disk driver wrote.
#pragma once

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fixtures/Fixtures.h"

namespace audiotest {

struct TempFolder {
    std::string path = fixtures::MakeTempDir("nilo-audio");
    ~TempFolder() { fixtures::RemoveTree(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

inline std::string SignalWav(const TempFolder& folder, const std::string& name, uint32_t rate,
                             uint32_t channels, double seconds) {
    const std::string path = folder / name;
    const auto frames = static_cast<uint64_t>(seconds * rate);
    EXPECT_TRUE(fixtures::WriteWav16(path, rate, channels,
                                     fixtures::ToInt16(fixtures::TestSignal(rate, channels, frames))));
    return path;
}

inline size_t FirstSoundingFrame(const std::vector<float>& stereo) {
    for (size_t i = 0; i < stereo.size(); ++i)
        if (stereo[i] != 0.0f) return i / 2;
    return stereo.size() / 2;
}

// The raw stereo floats of the disk driver hold expected exactly, after the
// silence the device played before the channel started.
inline testing::AssertionResult DeviceFileHolds(const std::string& raw,
                                                const std::vector<float>& expected) {
    std::ifstream in(raw, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> heard(bytes.size() / sizeof(float));
    std::memcpy(heard.data(), bytes.data(), heard.size() * sizeof(float));
    const size_t lead = FirstSoundingFrame(expected);
    const size_t start = FirstSoundingFrame(heard);
    if (start < lead || heard.size() < 2 * (start - lead) + expected.size())
        return testing::AssertionFailure() << "the device file is too short";
    for (size_t i = 2 * lead; i < expected.size(); ++i) {
        if (heard[2 * (start - lead) + i] != expected[i])
            return testing::AssertionFailure() << "sample " << i << " differs";
    }
    return testing::AssertionSuccess();
}

} // namespace audiotest
