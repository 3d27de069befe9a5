#include <gtest/gtest.h>

#include <random>

#include "tests/decoders/DecoderFixtures.h"

namespace decoders_test {
namespace {

// Work per damaged file is bounded: at most this many frames are read.
constexpr uint64_t kMaxFramesRead = 10 * 48000;

struct Variant {
    std::string label;
    std::string bytes;
};

void PutLe32(std::string& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4 && at + i < b.size(); ++i)
        b[at + i] = static_cast<char>(v >> (8 * i));
}

std::vector<Variant> Damage(const std::string& name, const std::string& good)
{
    std::mt19937 random(static_cast<uint32_t>(std::hash<std::string>()(name)));
    std::vector<Variant> out;
    for (size_t cut : {size_t{0}, size_t{1}, size_t{12}, size_t{64}, size_t{300}, good.size() / 3, good.size() * 2 / 3,
                       good.size() - 1})
        out.push_back({"cut at " + std::to_string(cut), good.substr(0, std::min(cut, good.size()))});
    std::string scrambled = good;
    for (int block = 0; block < 6; ++block) {
        const size_t at = random() % scrambled.size();
        for (size_t i = at; i < std::min(at + 97, scrambled.size()); ++i)
            scrambled[i] = static_cast<char>(random());
    }
    out.push_back({"random blocks", scrambled});
    std::string flipped = good;
    for (size_t i = 7; i < flipped.size(); i += 61)
        flipped[i] = static_cast<char>(flipped[i] ^ (1 << (i % 8)));
    out.push_back({"bits flipped", flipped});
    std::string header = good;
    for (size_t i = 4; i < std::min<size_t>(header.size(), 200); ++i)
        header[i] = static_cast<char>(random());
    out.push_back({"header garbled", header});
    // Every 32-bit word of the first kilobyte in turn claims a huge size.
    for (size_t at = 4; at < std::min<size_t>(good.size(), 1024); at += 4 * 37) {
        std::string huge = good;
        PutLe32(huge, at, 0xFFFFFFF0u);
        out.push_back({"huge word at " + std::to_string(at), huge});
        std::string zero = good;
        PutLe32(zero, at, 0);
        out.push_back({"zero word at " + std::to_string(at), zero});
    }
    return out;
}

TEST(DamagedInput, EveryKindGivesNothingOrItsValidPart)
{
    for (const std::string& name : AllFixtureNames()) {
        const Fixture& f = GetFixture(name);
        const std::string good = ReadBytes(f.path);
        ASSERT_FALSE(good.empty()) << name;
        uint64_t goodLength = 0;
        uint32_t goodRate = 0;
        if (auto original = OpenWith(f.kind, f.path)) {
            goodLength = original->lengthFrames();
            goodRate = original->rate();
        }
        for (const Variant& v : Damage(name, good)) {
            SCOPED_TRACE(name + ", " + v.label);
            const std::string path = ScratchPath("damaged-" + name);
            ASSERT_TRUE(WriteBytes(path, v.bytes));
            std::string kind;
            auto decoder = OpenByTrial(path, kind);
            if (!decoder)
                continue;
            ASSERT_GT(decoder->channels(), 0u);
            ASSERT_GT(decoder->rate(), 0u);
            const uint64_t length = decoder->lengthFrames();
            // A cut file is no longer than the whole, give or take an MPEG
            // file's last frames; a cut module may be longer: its missing
            // patterns play as empty ones.
            if (v.label.rfind("cut", 0) == 0 && kind == f.kind && kind != "module" && decoder->rate() == goodRate) {
                EXPECT_LE(length, goodLength + 3 * 1152) << "a cut file is not longer";
            }
            const auto all = ReadAll(*decoder, kMaxFramesRead);
            EXPECT_EQ(all.size(), std::min(length, kMaxFramesRead) * decoder->channels());
            if (length > 0) {
                EXPECT_TRUE(decoder->seek(length / 2));
                EXPECT_EQ(ReadFrames(*decoder, 4096).size(), std::min<uint64_t>(4096, length - length / 2) * decoder->channels());
                EXPECT_TRUE(decoder->seek(0));
                EXPECT_FALSE(ReadFrames(*decoder, 100).empty());
            }
        }
    }
}

} // namespace
} // namespace decoders_test
