// Lengths to the sample as each kind's reference decoder gives them, the
// lossless kinds' samples bit for bit, and seeks landing on the very samples
// of a decode from the start.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/decoders/DecoderFixtures.h"
#include "tests/formats/FormatFiles.h"

namespace formats_test {
namespace {

using decoders_test::OpenWith;
using decoders_test::ReadAll;

TEST(FormatLength, EqualsTheReferenceDecodersToTheSample)
{
    for (const FormatFile& f : FormatFiles()) {
        SCOPED_TRACE(f.name);
        std::string kind;
        auto decoder = decoders_test::OpenByTrial(f.path, kind);
        ASSERT_TRUE(decoder);
        EXPECT_EQ(kind, f.kind);
        EXPECT_EQ(decoder->typeCode(), f.type);
        EXPECT_EQ(decoder->rate(), f.rate);
        EXPECT_EQ(decoder->channels(), f.channels);
        ASSERT_GT(f.referenceFrames, 0u);
        EXPECT_EQ(decoder->lengthFrames(), f.referenceFrames);
        const std::vector<float> all = ReadAll(*decoder, UINT64_MAX, 1001);
        EXPECT_EQ(all.size(), f.referenceFrames * f.channels);
        // Opened to be measured, as the playlist does: the same length and
        // format, and reading still gives the same samples.
        audio::DecoderOptions measure;
        measure.measureOnly = true;
        auto measured = decoders_test::OpenWith(f.kind, f.path, measure);
        ASSERT_TRUE(measured);
        EXPECT_EQ(measured->lengthFrames(), f.referenceFrames);
        EXPECT_EQ(measured->rate(), f.rate);
        EXPECT_TRUE(ReadAll(*measured) == all);
    }
}

TEST(FormatLength, LosslessKindsGiveTheSourceBitForBit)
{
    for (const FormatFile& f : FormatFiles()) {
        if (!f.lossless)
            continue;
        SCOPED_TRACE(f.name);
        auto decoder = OpenWith(f.kind, f.path);
        auto source = OpenWith("sndfile", f.source);
        ASSERT_TRUE(decoder && source);
        EXPECT_TRUE(ReadAll(*decoder) == ReadAll(*source));
    }
}

// The difference of got from all's frames from `at` on, relative to their
// level.
double RelativeDifference(const std::vector<float>& got, const std::vector<float>& all, size_t at)
{
    double difference = 0;
    double level = 1e-12;
    for (size_t i = 0; i < got.size() && at + i < all.size(); ++i) {
        difference += (got[i] - all[at + i]) * (got[i] - all[at + i]);
        level += all[at + i] * all[at + i];
    }
    return std::sqrt(difference / level);
}

TEST(FormatSeek, LandsOnTheSamplesOfADecodeFromTheStart)
{
    for (const FormatFile& f : FormatFiles()) {
        SCOPED_TRACE(f.name);
        auto plain = OpenWith(f.kind, f.path);
        ASSERT_TRUE(plain);
        const std::vector<float> all = ReadAll(*plain);
        const uint64_t length = plain->lengthFrames();
        std::vector<uint64_t> targets = {0, 777, length / 3, length / 2 + 4097};
        if (f.lossless)
            targets.push_back(length - 300);
        for (const uint64_t target : targets) {
            SCOPED_TRACE(target);
            auto decoder = OpenWith(f.kind, f.path);
            ASSERT_TRUE(decoder->seek(length - 100));
            ASSERT_TRUE(decoder->seek(target));
            const std::vector<float> got = ReadAll(*decoder, 2000);
            ASSERT_EQ(got.size(), std::min<uint64_t>(2000, length - target) * f.channels);
            const size_t at = target * f.channels;
            if (f.lossless) {
                EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin() + static_cast<ptrdiff_t>(at)));
                continue;
            }
            // A lossy decoder restarts its prediction at a seek, so the
            // samples converge on the plain decode's; a frame off would be
            // far further from them.
            const double here = RelativeDifference(got, all, at);
            EXPECT_LT(here, 0.25);
            EXPECT_LT(here * 2, RelativeDifference(got, all, at + f.channels));
        }
        EXPECT_FALSE(plain->seek(length + 1));
    }
}

} // namespace
} // namespace formats_test
