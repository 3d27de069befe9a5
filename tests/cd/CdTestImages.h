// Disc images the CD tests write: tracks cut from one continuous test
// signal, so each track's samples differ and neighbours join seamlessly.
#pragma once

#include <string>
#include <vector>

#include "testdata/Fixtures.h"
#include "tests/audio/AudioTestFiles.h"

namespace cdtest {

// Tracks of the given sector counts, cut in order from one signal.
inline fixtures::CdImage SignalDisc(const std::vector<uint32_t>& sectors)
{
    uint64_t total = 0;
    for (uint32_t n : sectors)
        total += n * fixtures::kCdSectorFrames;
    const std::vector<int16_t> signal = fixtures::ToInt16(fixtures::TestSignal(44100, 2, total));
    fixtures::CdImage image;
    size_t at = 0;
    for (uint32_t n : sectors) {
        fixtures::CdImageTrack track;
        const size_t samples = 2 * n * fixtures::kCdSectorFrames;
        track.samples.assign(signal.begin() + static_cast<std::ptrdiff_t>(at),
                             signal.begin() + static_cast<std::ptrdiff_t>(at + samples));
        at += samples;
        image.tracks.push_back(track);
    }
    return image;
}

inline std::string WriteDisc(const audiotest::TempFolder& folder, const fixtures::CdImage& image)
{
    const std::string cue = folder / "disc.cue";
    EXPECT_TRUE(fixtures::WriteCdImage(cue, "disc.bin", image));
    return cue;
}

inline std::string TrackPath(const std::string& drive, int number)
{
    return drive + (number < 10 ? "/Track0" : "/Track") + std::to_string(number) + ".cda";
}

// What the device gets for 16-bit samples: each divided by 32768.
inline std::vector<float> AsFloat(const std::vector<int16_t>& samples, size_t fromFrame = 0)
{
    std::vector<float> out;
    for (size_t i = 2 * fromFrame; i < samples.size(); ++i)
        out.push_back(static_cast<float>(samples[i]) / 32768.0f);
    return out;
}

} // namespace cdtest
