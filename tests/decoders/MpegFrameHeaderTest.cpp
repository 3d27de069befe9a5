#include <gtest/gtest.h>

#include "audio/decoders/MpegFrameHeader.h"
#include "audio/decoders/MpegStreamProbe.h"
#include "audio/sources/MemoryByteSource.h"
#include "tests/decoders/DecoderFixtures.h"

namespace decoders_test {
namespace {

using audio::ParseMpegFrameHeader;

std::string Header(uint8_t b1, uint8_t b2, uint8_t b3)
{
    return std::string{'\xFF', static_cast<char>(b1), static_cast<char>(b2), static_cast<char>(b3)};
}

// A frame of the header's own length, its body filled with a byte that never
// looks like a sync.
std::string Frame(const std::string& header)
{
    const auto h = ParseMpegFrameHeader(reinterpret_cast<const uint8_t*>(header.data()), header.size());
    return header + std::string(h ? h->frameBytes - 4 : 0, '\x11');
}

TEST(MpegFrameHeader, SizesRatesAndSamplesOfEveryVersionAndLayer)
{
    struct Case {
        std::string bytes;
        int version, layer;
        uint32_t bitrate, rate, channels, frameBytes, samples;
    };
    const Case cases[] = {
        {Header(0xFB, 0x90, 0x64), 1, 3, 128000, 44100, 2, 417, 1152},  // MPEG 1 layer 3, 128k
        {Header(0xFB, 0x92, 0x64), 1, 3, 128000, 44100, 2, 418, 1152},  // padded
        {Header(0xFB, 0xE4, 0xC4), 1, 3, 320000, 48000, 1, 960, 1152},  // mono, 48 kHz
        {Header(0xFD, 0xA0, 0x04), 1, 2, 192000, 44100, 2, 626, 1152},  // layer 2
        {Header(0xFF, 0x48, 0x00), 1, 1, 128000, 32000, 2, 192, 384},   // layer 1, 32 kHz
        {Header(0xF3, 0x80, 0xC0), 2, 3, 64000, 22050, 1, 208, 576},    // MPEG 2
        {Header(0xE3, 0x84, 0x00), 25, 3, 64000, 12000, 2, 384, 576},   // MPEG 2.5
    };
    for (const Case& c : cases) {
        const auto h = ParseMpegFrameHeader(reinterpret_cast<const uint8_t*>(c.bytes.data()), 4);
        ASSERT_TRUE(h);
        EXPECT_EQ(h->version, c.version);
        EXPECT_EQ(h->layer, c.layer);
        EXPECT_EQ(h->bitrate, c.bitrate);
        EXPECT_EQ(h->rate, c.rate);
        EXPECT_EQ(h->channels, c.channels);
        EXPECT_EQ(h->frameBytes, c.frameBytes);
        EXPECT_EQ(h->samples, c.samples);
    }
    // Reserved version, layer, rate, emphasis; free format; bad bitrate; no sync.
    for (const std::string& bad : {Header(0xEB, 0x90, 0x64), Header(0xF9, 0x90, 0x64), Header(0xFB, 0x9C, 0x64),
                                   Header(0xFB, 0x90, 0x66), Header(0xFB, 0x00, 0x64), Header(0xFB, 0xF0, 0x64),
                                   std::string("\xFE\xFB\x90\x64", 4), std::string("\xFF\xFB\x90", 3)})
        EXPECT_FALSE(ParseMpegFrameHeader(reinterpret_cast<const uint8_t*>(bad.data()), bad.size()));
}

TEST(MpegFrameHeader, XingAndVbriHeadersGiveFramesAndBytes)
{
    const std::string header = Header(0xFB, 0x90, 0x64);
    const auto h = ParseMpegFrameHeader(reinterpret_cast<const uint8_t*>(header.data()), 4);
    std::string frame = Frame(header);
    frame.replace(36, 16, std::string("Xing\0\0\0\x03\0\0\x01\x2C\0\x01\xE2\x40", 16));
    auto info = audio::ReadMpegVbrInfo(reinterpret_cast<const uint8_t*>(frame.data()), frame.size(), *h);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->frames, 300u);
    EXPECT_EQ(info->bytes, 123456u);

    frame = Frame(header);
    frame.replace(36, 12, std::string("Info\0\0\0\x01\0\0\0\x07", 12));
    info = audio::ReadMpegVbrInfo(reinterpret_cast<const uint8_t*>(frame.data()), frame.size(), *h);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->frames, 7u);
    EXPECT_FALSE(info->bytes);

    frame = Frame(header);
    frame.replace(36, 18, std::string("VBRI\0\x01\0\0\0\0\0\0\x10\0\0\0\0\x20", 18));
    info = audio::ReadMpegVbrInfo(reinterpret_cast<const uint8_t*>(frame.data()), frame.size(), *h);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->bytes, 4096u);
    EXPECT_EQ(info->frames, 32u);

    EXPECT_FALSE(audio::ReadMpegVbrInfo(reinterpret_cast<const uint8_t*>(Frame(header).data()), 417, *h));
}

class MpegProbe : public ::testing::Test {
  protected:
    std::optional<audio::MpegStreamProbe> Probe(const std::string& bytes)
    {
        audio::MemoryByteSource source(bytes);
        return audio::ProbeMpegStream(source, audio::ReadSourceHeader(source));
    }
    const std::string frame = Frame(Header(0xFB, 0x90, 0x64));
    const std::string id3 = std::string("ID3\x04\0\0\0\0\x01\x00", 10) + std::string(128, '\0');
};

TEST_F(MpegProbe, FramesMustStartAtOnceAfterTheTagAndChain)
{
    std::string run;
    for (int i = 0; i < 6; ++i)
        run += frame;
    auto probe = Probe(id3 + run + "TAG" + std::string(125, ' '));
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->audioStart, 138u);
    EXPECT_EQ(probe->audioBytes, run.size());
    EXPECT_EQ(probe->first.layer, 3);

    // Two tags in a row, and a tag with a footer.
    std::string footer = id3;
    footer[5] = 0x10;
    probe = Probe(id3 + footer + std::string(10, '\0') + run);
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->audioStart, 138u * 2 + 10);

    // A tag larger than the head the creation call reads first.
    const uint32_t big = 100000;
    std::string bigTag("ID3\x04\0\0", 6);
    for (int shift = 21; shift >= 0; shift -= 7)
        bigTag += static_cast<char>((big >> shift) & 0x7F);
    probe = Probe(bigTag + std::string(big, '\0') + run);
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->audioStart, 10u + big);
    EXPECT_EQ(probe->audioBytes, run.size());

    EXPECT_FALSE(Probe(id3 + std::string(1, '\0') + run)) << "a byte between tag and first frame";
    EXPECT_FALSE(Probe(std::string(32, '\0') + run)) << "leading junk";
    EXPECT_FALSE(Probe(frame + frame + std::string(5, '\x11') + run)) << "broken chain";
    const std::string layer2 = Frame(Header(0xFD, 0x90, 0x04));
    EXPECT_FALSE(Probe(frame + layer2 + frame + layer2 + frame)) << "layers alternate";
    // A tag that cannot be followed: the first run of frames after its header.
    probe = Probe(std::string("ID3\x04\0\0\x7F\x7F\x7F\x7F", 10) + "TIT2" + run);
    ASSERT_TRUE(probe) << "tag runs past the end";
    EXPECT_EQ(probe->audioStart, 14u);
    probe = Probe(std::string("ID3\x04\0\0\x80\0\0\0", 10) + run);
    ASSERT_TRUE(probe) << "size not sync-safe";
    EXPECT_EQ(probe->audioStart, 10u);
    EXPECT_FALSE(Probe(std::string("ID3\x04\0\0\x7F\x7F\x7F\x7F", 10) + std::string(20000, '\0') + run))
        << "no run within the header's reach";
}

TEST_F(MpegProbe, ShortStreamsEndingEarlyAreTaken)
{
    EXPECT_TRUE(Probe(frame + frame));
    EXPECT_TRUE(Probe(frame + "TAG" + std::string(125, ' ')));
    EXPECT_TRUE(Probe(frame + frame + frame.substr(0, 100))) << "last frame cut short";
    EXPECT_FALSE(Probe(frame.substr(0, 300))) << "no whole frame";
    EXPECT_FALSE(Probe(frame + frame + "junk after the frames"));
    EXPECT_FALSE(Probe(id3));
}

} // namespace
} // namespace decoders_test
