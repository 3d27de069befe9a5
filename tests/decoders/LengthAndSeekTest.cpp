#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tests/decoders/DecoderFixtures.h"
#include "tests/fixtures/Fixtures.h"

namespace decoders_test {
namespace {

float MaxDifference(const std::vector<float>& got, const std::vector<float>& all, size_t from)
{
    float worst = 0;
    for (size_t i = 0; i < got.size(); ++i)
        worst = std::max(worst, i + from < all.size() ? std::fabs(got[i] - all[i + from]) : std::fabs(got[i]));
    return worst;
}

bool Silent(const std::vector<float>& samples, size_t from)
{
    return std::all_of(samples.begin() + static_cast<ptrdiff_t>(from), samples.end(), [](float s) { return s == 0.0f; });
}

TEST(DecoderLength, EveryKindDeliversExactlyItsLengthAndTheSamplesItHolds)
{
    for (const std::string& name : AllFixtureNames()) {
        SCOPED_TRACE(name);
        const Fixture& f = GetFixture(name);
        auto decoder = OpenWith(f.kind, f.path);
        ASSERT_TRUE(decoder);
        EXPECT_EQ(decoder->typeCode(), f.type);
        const uint64_t length = decoder->lengthFrames();
        if (f.frames != 0) {
            EXPECT_EQ(length, f.frames);
        }
        // Reads of odd sizes must add up the same.
        const auto all = ReadAll(*decoder, UINT64_MAX, 1000 + 1);
        EXPECT_EQ(all.size(), length * decoder->channels());
        EXPECT_EQ(decoder->read(nullptr, 0), 0u);
        std::vector<float> more(64 * decoder->channels());
        EXPECT_EQ(decoder->read(more.data(), 64), 0u) << "ended";
        if (f.kind != "module" && f.kind != "midi") {
            // Real signal to the last frames: nothing was padded on.
            ASSERT_GT(all.size(), 400 * decoder->channels());
            EXPECT_FALSE(Silent(all, all.size() - 200 * decoder->channels()));
        }
    }
}

TEST(DecoderLength, OwnRateAndChannels)
{
    auto check = [](const std::string& name, uint32_t rate, uint32_t channels) {
        const Fixture& f = GetFixture(name);
        auto decoder = OpenWith(f.kind, f.path);
        ASSERT_TRUE(decoder) << name;
        EXPECT_EQ(decoder->rate(), rate) << name;
        EXPECT_EQ(decoder->channels(), channels) << name;
    };
    check("wav", 44100, 2);
    check("floatwav", 48000, 1);
    check("aiff", 22050, 2);
    check("mpeg2mp3", 22050, 1);
    check("cbrmp3", 44100, 2);
    check("ogg", 44100, 2);
    check("wmav1", 22050, 1);
    check("midi", 44100, 2);
    check("it", 44100, 2);
    const Fixture& mod = GetFixture("mod");
    auto at22k = OpenWith("module", mod.path, {true, 22050, false});
    ASSERT_TRUE(at22k);
    EXPECT_EQ(at22k->rate(), 22050u);
    auto at44k = OpenWith("module", mod.path);
    ASSERT_TRUE(at44k);
    EXPECT_NEAR(static_cast<double>(at22k->lengthFrames()) * 2, static_cast<double>(at44k->lengthFrames()), 2.0);
}

TEST(DecoderLength, MpegLengthWithoutExactCountComesFromTheHeader)
{
    const Fixture& f = GetFixture("vbrmp3");
    auto quick = OpenWith("mpeg", f.path, {false});
    ASSERT_TRUE(quick);
    EXPECT_EQ(quick->lengthFrames(), f.frames) << "the LAME header is exact";
}

// The mpg123 command's own decode, as it plays the file.
std::vector<float> Mpg123Decode(const std::string& path)
{
    std::string out;
    EXPECT_TRUE(fixtures::Capture("mpg123 -q -e f32 -s " + fixtures::ShellQuote(path), out));
    std::vector<float> samples(out.size() / sizeof(float));
    std::memcpy(samples.data(), out.data(), samples.size() * sizeof(float));
    return samples;
}

// MPEG: the frame is exact; the synthesis filter, refilled from the frames
// before the target, rounds the last float bit differently (1.2e-7 measured).
constexpr float kMpegTolerance = 1e-6f;

TEST(DecoderLength, MpegFilesThatDisagreeWithTheirLameHeaderPlayAsMpg123DecodesThem)
{
    const std::string good = ReadBytes(GetFixture("cbrmp3").path);
    const std::pair<const char*, std::string> variants[] = {{"cut.mp3", good.substr(0, good.size() / 2)},
                                                            {"appended.mp3", good + good}};
    for (const auto& [name, bytes] : variants) {
        SCOPED_TRACE(name);
        const std::string path = ScratchPath(name);
        ASSERT_TRUE(WriteBytes(path, bytes));
        auto decoder = OpenWith("mpeg", path);
        ASSERT_TRUE(decoder);
        const auto expected = Mpg123Decode(path);
        ASSERT_EQ(decoder->lengthFrames(), expected.size() / 2) << "the encoder delay is removed";
        const auto all = ReadAll(*decoder);
        ASSERT_EQ(all.size(), expected.size());
        EXPECT_LE(MaxDifference(all, expected, 0), kMpegTolerance);
        for (size_t i = 0; i < all.size(); ++i) if (std::fabs(all[i] - expected[i]) > 1e-6f) { printf("DIFF at %zu\n", i / 2); for (long s = -3000; s < 3000; ++s) { bool same = true; for (size_t k = i; k < i + 4000 && k < all.size(); ++k) { long j = (long)k + 2 * s; if (j < 0 || j >= (long)expected.size() || std::fabs(all[k] - expected[j]) > 1e-6f) { same = false; break; } } if (same) printf("shift %ld\n", s); } break; }
        const uint64_t target = decoder->lengthFrames() * 3 / 4;
        ASSERT_TRUE(decoder->seek(target));
        EXPECT_LE(MaxDifference(ReadFrames(*decoder, 4096), expected, target * 2), kMpegTolerance);
    }
}

// Modules: libopenmpt starts a seek at a row with sample playback synced,
// but its volume ramps and resampler history are not those of a continuous
// run, so samples after a seek differ slightly (below 1e-5 measured).
constexpr float kModuleTolerance = 1e-4f;
TEST(DecoderSeek, LandsOnTheRequestedFrame)
{
    for (const std::string& name : AllFixtureNames()) {
        SCOPED_TRACE(name);
        const Fixture& f = GetFixture(name);
        auto reference = OpenWith(f.kind, f.path);
        auto decoder = OpenWith(f.kind, f.path);
        ASSERT_TRUE(reference && decoder);
        const auto all = ReadAll(*reference);
        const uint64_t length = decoder->lengthFrames();
        const uint32_t ch = decoder->channels();
        const float tolerance = f.kind == "module" ? kModuleTolerance : f.kind == "mpeg" ? kMpegTolerance : 0.0f;
        // Forward and backward jumps on one decoder.
        for (uint64_t target : {length / 2 + 577, uint64_t{1}, length - 1000, uint64_t{1234}, length / 3, uint64_t{0},
                                length - 1}) {
            SCOPED_TRACE(target);
            ASSERT_TRUE(decoder->seek(target));
            const auto got = ReadFrames(*decoder, 2048);
            ASSERT_EQ(got.size(), std::min<uint64_t>(2048, length - target) * ch);
            EXPECT_LE(MaxDifference(got, all, target * ch), tolerance);
        }
        EXPECT_TRUE(decoder->seek(length));
        std::vector<float> buffer(16 * ch);
        EXPECT_EQ(decoder->read(buffer.data(), 16), 0u);
        EXPECT_FALSE(decoder->seek(length + 1));
    }
}

} // namespace
} // namespace decoders_test
