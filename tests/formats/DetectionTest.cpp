// Each of today's kinds is taken by its own decoder alone: the new decoders
// refuse MP3, WAV, Ogg Vorbis and noise, and the others refuse the new kinds.
#include <gtest/gtest.h>

#include <random>

#include "tests/decoders/DecoderFixtures.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/formats/FormatFiles.h"

namespace formats_test {
namespace {

TEST(FormatDetection, EachFileIsTakenByItsOwnDecoderAlone)
{
    for (const FormatFile& f : FormatFiles())
        for (const audio::DecoderEntry& entry : audio::DecoderTable())
            EXPECT_EQ(audio::OpenFileWith(entry, f.path) != nullptr, f.kind == entry.name) << f.name << " " << entry.name;
}

TEST(FormatDetection, NewDecodersRefuseOtherContent)
{
    const std::string wav = FormatFileNamed("flac").source;
    const std::string mp3 = decoders_test::ScratchPath("other.mp3");
    const std::string ogg = decoders_test::ScratchPath("other.ogg");
    const std::string noise = decoders_test::ScratchPath("noise.bin");
    ASSERT_TRUE(fixtures::EncodeMp3(wav, mp3));
    ASSERT_TRUE(fixtures::EncodeOgg(wav, ogg));
    std::mt19937 random(7);
    std::string bytes(200000, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    ASSERT_TRUE(decoders_test::WriteBytes(noise, bytes));
    for (const std::string& other : {wav, mp3, ogg, noise})
        for (const char* kind : {"flac", "opus", "mp4"})
            EXPECT_FALSE(decoders_test::OpenWith(kind, other)) << kind << " " << other;
}

} // namespace
} // namespace formats_test
