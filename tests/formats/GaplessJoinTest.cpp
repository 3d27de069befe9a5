// A signal cut into two files of each kind reaches SDL's disk device as one
// stream through the gapless hand-over: every frame of both files in order
// (their lengths add up), the lossless kinds equal to the uncut signal, the
// lossy ones without a gap or click at the join.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/audio/AudioTestFiles.h"
#include "tests/formats/FormatFiles.h"

namespace formats_test {
namespace {

using namespace audio;

// The largest step between neighbouring frames of one side in [from, to).
float LargestStep(const std::vector<float>& stereo, size_t from, size_t to)
{
    float step = 0;
    for (size_t i = std::max<size_t>(from, 1); i < to && 2 * i + 1 < stereo.size(); ++i)
        for (size_t c = 0; c < 2; ++c)
            step = std::max(step, std::fabs(stereo[2 * i + c] - stereo[2 * (i - 1) + c]));
    return step;
}

// The longest run of frames in [from, to) where both sides are silent.
size_t LongestQuiet(const std::vector<float>& stereo, size_t from, size_t to)
{
    size_t longest = 0;
    size_t run = 0;
    for (size_t i = from; i < to && 2 * i + 1 < stereo.size(); ++i) {
        run = std::fabs(stereo[2 * i]) < 1e-4f && std::fabs(stereo[2 * i + 1]) < 1e-4f ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

void PlayJoined(const std::string& name)
{
    SCOPED_TRACE(name);
    const CutSignal parts = CutInTwo(name);
    audiotest::TempFolder folder;
    const std::string raw = folder / "out.raw";
    audiotest::UseDiskDriver(raw, false);

    std::vector<float> expected = audiotest::RenderFile(parts.first);
    const size_t join = expected.size() / 2;
    const std::vector<float> second = audiotest::RenderFile(parts.second);
    expected.insert(expected.end(), second.begin(), second.end());

    const Handle a = openFileChannel(parts.first, 0, 0, kFloatSamples | kExactLength);
    const Handle b = openFileChannel(parts.second, 0, 0, kFloatSamples | kExactLength);
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(queueNext(a, b));
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    stopOutput();
    ASSERT_TRUE(play(a, false));
    ASSERT_TRUE(audiotest::Buffered({a, b}));
    startOutput();
    ASSERT_TRUE(audiotest::WaitFor([&] { return activity(a) == kStopped && activity(b) == kStopped; }));
    EXPECT_EQ(positionBytes(b), lengthBytes(b));
    closeOutput();
    releaseStream(a);
    releaseStream(b);

    EXPECT_TRUE(audiotest::DeviceFileHolds(raw, expected));
    const std::vector<float> whole = audiotest::RenderFile(parts.whole);
    if (name == "flac" || name == "alac") {
        EXPECT_TRUE(expected == whole);
        return;
    }
    // Lossy encoders keep the length only to a few frames (FFmpeg's AAC
    // edit list drops a few of the last ones); at the join there is no
    // silence and no step far beyond those the signal itself takes.
    EXPECT_NEAR(static_cast<double>(expected.size()), static_cast<double>(whole.size()), 2.0 * 64);
    EXPECT_LT(LongestQuiet(expected, join - 256, join + 256), 8u);
    EXPECT_LE(LargestStep(expected, join - 64, join + 64), 3.0f * LargestStep(whole, 0, whole.size() / 2));
}

TEST(FormatGapless, TwoFilesOfOneSignalPlayAsOne)
{
    for (const char* name : {"flac", "alac", "opus", "m4a"})
        PlayJoined(name);
}

} // namespace
} // namespace formats_test
