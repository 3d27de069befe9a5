// Files and helpers for the audio tests: a temporary folder, WAVs of the
// test signal, whole renders, waits, and the check of what SDL's disk driver
// wrote.
#pragma once

#include <cstdlib>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioLibrary.h"
#include "audio/Library.h"
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

inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The disk driver without delay runs far faster than real time: a channel
// must be buffered whole (or as far as the decode thread keeps ahead) before
// the device starts, or the decode thread could not keep up.
inline bool Buffered(std::initializer_list<audio::Handle> handles) {
    return WaitFor([&] {
        for (audio::Handle h : handles)
            if (!audio::Library::Instance().buffered(h)) return false;
        return true;
    });
}

// The disk driver writes what the device receives to raw; without realTime
// it runs as fast as it is fed.
inline void UseDiskDriver(const std::string& raw, bool realTime) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    if (realTime) {
        unsetenv("SDL_DISKAUDIODELAY");
    } else {
        setenv("SDL_DISKAUDIODELAY", "0", 1);
    }
}

// Everything the channel would send to the device from where it is.
inline std::vector<float> RenderAll(audio::Handle h) {
    std::vector<float> all(2 * 4096);
    size_t used = 0;
    for (;;) {
        const size_t got = audio::renderOutput(h, all.data() + used, 4096);
        used += 2 * got;
        if (got < 4096) break;
        all.resize(used + 2 * 4096);
    }
    all.resize(used);
    return all;
}

// What a fresh channel of the file sends to the device, at this volume and pan.
inline std::vector<float> RenderFile(const std::string& path, int volume = 100, int pan = 0) {
    const audio::Handle h = audio::openFileChannel(path, 0, 0, audio::kFloatSamples);
    audio::setAttributes(h, -1, volume, pan);
    std::vector<float> all = RenderAll(h);
    audio::releaseStream(h);
    return all;
}

// The raw stereo floats the disk driver wrote.
inline std::vector<float> DeviceFile(const std::string& raw) {
    std::ifstream in(raw, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> heard(bytes.size() / sizeof(float));
    std::memcpy(heard.data(), bytes.data(), heard.size() * sizeof(float));
    return heard;
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
    const std::vector<float> heard = DeviceFile(raw);
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
