// Damaged and hostile files of each kind: cut short, claiming lengths, rates
// and blocks beyond their data, or garbled. Each is refused or plays what it
// holds, within its real length, with finite samples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/decoders/DecoderFixtures.h"
#include "tests/formats/FormatFiles.h"

namespace formats_test {
namespace {

using decoders_test::ReadBytes;

struct Variant {
    std::string what;
    std::string bytes;
    // Holds less than the whole file, whatever its header claims.
    bool shorter = false;
};

// Overwrites bytes at the offset of the first `tag` plus `after`, when found.
std::string Patched(std::string bytes, const std::string& tag, size_t after, const std::string& with)
{
    const size_t at = bytes.find(tag);
    if (at != std::string::npos && at + after + with.size() <= bytes.size())
        bytes.replace(at + after, with.size(), with);
    return bytes;
}

std::vector<Variant> Variants(const FormatFile& f)
{
    const std::string whole = ReadBytes(f.path);
    std::string garbled = whole;
    for (size_t i = whole.size() / 3; i < whole.size() / 2; i += 97)
        garbled[i] = static_cast<char>(garbled[i] ^ 0x5A);
    std::vector<Variant> variants = {{"head only", whole.substr(0, 200)},
                                     {"half", whole.substr(0, whole.size() / 2), true},
                                     {"garbled", garbled}};
    const std::string ones(4, '\xFF');
    if (f.kind == "flac") {
        // Stream information: the total in the low 36 bits of bytes 13..17,
        // the rate in the top 20 bits of bytes 10..12.
        variants.push_back({"total beyond the data", Patched(whole, "\x10\x00\x10\x00", 13, "\x0F" + ones)});
        variants.push_back({"rate beyond any", Patched(whole, "\x10\x00\x10\x00", 10, "\xFF\xFF\xF2")});
        // A padding block claiming 16 MiB after the stream information.
        std::string padded = whole;
        const size_t info = padded.find("\x10\x00\x10\x00");
        if (info != std::string::npos)
            padded.insert(info + 34, std::string("\x01\xFF\xFF\xFF", 4) + std::string(64, '\0'));
        variants.push_back({"huge block", padded});
        // Ends right after a whole frame, so the tail is intact but the claim
        // is not: frames of one size begin alike.
        const size_t first = whole.find("\xFF\xF8", 42);
        if (first != std::string::npos)
            variants.push_back({"cut after a frame", whole.substr(0, whole.rfind(whole.substr(first, 4))), true});
    }
    if (f.kind == "mp4") {
        variants.push_back({"duration beyond the data", Patched(Patched(whole, "mdhd", 20, "\x7F" + ones.substr(1)),
                                                                "mvhd", 20, "\x7F" + ones.substr(1))});
        variants.push_back({"edit beyond the data", Patched(whole, "elst", 12, "\x7F" + ones.substr(1))});
        // A box claiming gigabytes before the rest.
        std::string boxed = whole;
        const size_t after = boxed.find("moov");
        if (after != std::string::npos && after >= 4)
            boxed.insert(after - 4, std::string("\xFF\xFF\xFF\xF0" "free", 8));
        variants.push_back({"huge box", boxed});
    }
    return variants;
}

TEST(FormatHostile, RefusedOrPlaysWhatItHolds)
{
    for (const FormatFile& f : FormatFiles()) {
        for (const Variant& v : Variants(f)) {
            SCOPED_TRACE(f.name + ": " + v.what);
            const std::string path = decoders_test::ScratchPath(f.name + "-hostile");
            ASSERT_TRUE(decoders_test::WriteBytes(path, v.bytes));
            std::string kind;
            auto decoder = decoders_test::OpenByTrial(path, kind);
            audio::DecoderOptions measure;
            measure.measureOnly = true;
            // Measured, as the playlist does, then played from that open.
            if (auto measured = decoders_test::OpenWith(f.kind, path, measure)) {
                EXPECT_LE(measured->lengthFrames(), f.referenceFrames + 4096);
                if (v.shorter) {
                    EXPECT_LT(measured->lengthFrames(), f.referenceFrames);
                }
                EXPECT_EQ(decoders_test::ReadAll(*measured).size(), measured->lengthFrames() * measured->channels());
            }
            if (!decoder)
                continue;
            EXPECT_LE(decoder->lengthFrames(), f.referenceFrames + 4096);
            if (v.shorter) {
                EXPECT_LT(decoder->lengthFrames(), f.referenceFrames);
            }
            const std::vector<float> all = decoders_test::ReadAll(*decoder);
            EXPECT_EQ(all.size(), decoder->lengthFrames() * decoder->channels());
            for (float s : all)
                ASSERT_TRUE(std::isfinite(s));
            decoder->seek(decoder->lengthFrames() / 2);
            decoders_test::ReadAll(*decoder, 5000);
        }
    }
}

} // namespace
} // namespace formats_test
