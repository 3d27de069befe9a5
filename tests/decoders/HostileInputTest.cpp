// Files built to mislead the decoders: headers claiming absurd rates or
// lengths, tags claiming more bytes than there are. Each still opens (or is
// refused), plays and seeks with bounded work.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "tests/decoders/DecoderFixtures.h"
#include "tests/fixtures/Fixtures.h"

namespace decoders_test {
namespace {

std::string Le(uint64_t v, int bytes)
{
    std::string s;
    for (int i = 0; i < bytes; ++i)
        s += static_cast<char>(v >> (8 * i));
    return s;
}

std::string Be(uint64_t v, int bytes)
{
    std::string s;
    for (int i = bytes - 1; i >= 0; --i)
        s += static_cast<char>(v >> (8 * i));
    return s;
}

std::string Wav(uint32_t rate, size_t frames)
{
    const std::string data(frames * 4, '\x10');
    const std::string fmt = Le(1, 2) + Le(2, 2) + Le(rate, 4) + Le(uint64_t{rate} * 4, 4) + Le(4, 2) + Le(16, 2);
    const std::string body = "WAVEfmt " + Le(fmt.size(), 4) + fmt + "data" + Le(data.size(), 4) + data;
    return "RIFF" + Le(body.size(), 4) + body;
}

// The rate as the 80-bit extended number AIFF stores.
std::string Extended(uint32_t rate)
{
    int exponent = 31;
    while (!(rate & 0x80000000u)) {
        rate <<= 1;
        --exponent;
    }
    return Be(16383 + exponent, 2) + Be(uint64_t{rate} << 32, 8);
}

std::string Aiff(uint32_t rate, size_t frames)
{
    const std::string comm = Be(2, 2) + Be(frames, 4) + Be(16, 2) + Extended(rate);
    const std::string ssnd = Be(0, 4) + Be(0, 4) + std::string(frames * 4, '\x10');
    const std::string body = "AIFFCOMM" + Be(comm.size(), 4) + comm + "SSND" + Be(ssnd.size(), 4) + ssnd;
    return "FORM" + Be(body.size(), 4) + body;
}

std::string Written(const std::string& name, const std::string& bytes)
{
    const std::string path = ScratchPath(name);
    EXPECT_TRUE(WriteBytes(path, bytes));
    return path;
}

TEST(HostileInput, RatesOutsideOneKilohertzTo768KilohertzAreRefused)
{
    std::string kind;
    EXPECT_FALSE(OpenByTrial(Written("ghz.wav", Wav(1000000000, 1000)), kind)) << kind;
    EXPECT_FALSE(OpenByTrial(Written("ghz.aiff", Aiff(1000000000, 1000)), kind)) << kind;
    EXPECT_FALSE(OpenByTrial(Written("low.wav", Wav(999, 1000)), kind)) << kind;
    for (const uint32_t rate : {1000u, 768000u}) {
        auto wav = OpenByTrial(Written("edge.wav", Wav(rate, 1000)), kind);
        ASSERT_TRUE(wav) << rate;
        EXPECT_EQ(wav->rate(), rate);
        auto aiff = OpenWith("sndfile", Written("edge.aiff", Aiff(rate, 1000)));
        ASSERT_TRUE(aiff) << rate;
        EXPECT_EQ(aiff->rate(), rate);
    }
}

// CRC of an Ogg page (polynomial 0x04C11DB7, its own CRC field zero).
uint32_t OggCrc(const std::string& page)
{
    uint32_t crc = 0;
    for (unsigned char c : page) {
        crc ^= uint32_t{c} << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// Puts `bytes` at `offset` of the page at `at` and gives it its checksum.
void Rewrite(std::string& ogg, size_t at, size_t offset, const std::string& bytes)
{
    const size_t segments = static_cast<uint8_t>(ogg[at + 26]);
    size_t length = 27 + segments;
    for (size_t i = 0; i < segments; ++i)
        length += static_cast<uint8_t>(ogg[at + 27 + i]);
    std::string page = ogg.substr(at, length);
    page.replace(offset, bytes.size(), bytes);
    page.replace(22, 4, std::string(4, '\0'));
    page.replace(22, 4, Le(OggCrc(page), 4));
    ogg.replace(at, length, page);
}

// The Ogg file with its last page claiming `granule`.
std::string WithLastGranule(std::string ogg, uint64_t granule)
{
    Rewrite(ogg, ogg.rfind("OggS"), 6, Le(granule, 8));
    return ogg;
}

std::string Tool(const std::string& arguments, int* status = nullptr)
{
    std::string out;
    const bool ok = fixtures::Capture(std::string(NILO_AUDIO_TOOL) + " " + arguments + " 2>/dev/null", out);
    if (status)
        *status = ok ? 0 : 1;
    return out;
}

TEST(HostileInput, AnOggWhoseLastPageClaimsAnEndlessStreamEndsWhereItsDataDoes)
{
    const std::string wav = ScratchPath("ogg-source.wav");
    const std::string original = ScratchPath("short.ogg");
    ASSERT_TRUE(fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, 44100))));
    ASSERT_TRUE(fixtures::EncodeOgg(wav, original, "-q 0"));
    auto good = OpenWith("vorbis", original);
    ASSERT_TRUE(good);
    const uint64_t goodLength = good->lengthFrames();

    const std::string path = Written("endless.ogg", WithLastGranule(ReadBytes(original), (uint64_t{1} << 63) - 1));
    auto decoder = OpenWith("vorbis", path);
    ASSERT_TRUE(decoder);
    const uint64_t length = decoder->lengthFrames();
    EXPECT_GE(length, goodLength);
    EXPECT_LE(length, goodLength + 4096) << "at most the last packet's frames beyond the true end";
    EXPECT_EQ(ReadAll(*decoder).size(), length * 2);
    ASSERT_TRUE(decoder->seek(length - 100));
    EXPECT_EQ(ReadAll(*decoder).size(), 200u);

    const std::string info = Tool("info " + fixtures::ShellQuote(path));
    EXPECT_NE(info.find("length_seconds=1."), std::string::npos) << info;
    const std::string rendered = ScratchPath("endless.wav");
    Tool("render " + fixtures::ShellQuote(path) + " " + fixtures::ShellQuote(rendered));
    EXPECT_LT(std::filesystem::file_size(rendered), 2u * 44100 * 8);
}

TEST(HostileInput, AChainedOggWithADamagedLinkPlaysTheLinksBefore)
{
    const std::string wav = ScratchPath("link.wav");
    ASSERT_TRUE(fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, 22050))));
    std::string chain;
    for (const char* serial : {"101", "202", "303"}) {
        const std::string link = ScratchPath(std::string("link") + serial + ".ogg");
        ASSERT_TRUE(fixtures::EncodeOgg(wav, link, std::string("-q 0 -s ") + serial));
        chain += ReadBytes(link);
    }
    auto whole = OpenWith("vorbis", Written("chain.ogg", chain));
    ASSERT_TRUE(whole);
    const uint64_t linkFrames = whole->lengthFrames() / 3;
    EXPECT_EQ(whole->lengthFrames(), 3 * linkFrames);

    // The second link's first page names a stream none of its pages belong to.
    Rewrite(chain, ReadBytes(ScratchPath("link101.ogg")).size(), 14, Le(999, 4));
    auto damaged = OpenWith("vorbis", Written("damaged-chain.ogg", chain));
    ASSERT_TRUE(damaged);
    EXPECT_EQ(damaged->lengthFrames(), linkFrames);
    EXPECT_EQ(ReadAll(*damaged).size(), linkFrames * 2);
}

TEST(HostileInput, AStoppedRenderLeavesNoPartFile)
{
    // An hour of MIDI renders for long enough to be stopped midway.
    const std::string midi = ScratchPath("hour.mid");
    ASSERT_TRUE(fixtures::WriteMidi(midi, 3600));
    const std::string out = ScratchPath("stopped.wav");
    const std::string part = out + ".part";
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, 2);
            execl(NILO_AUDIO_TOOL, NILO_AUDIO_TOOL, "render", midi.c_str(), out.c_str(), nullptr);
            _exit(127);
        }
        for (int wait = 0; wait < 1000 && !std::filesystem::exists(part); ++wait)
            usleep(10000);
        EXPECT_TRUE(std::filesystem::exists(part)) << "the render started";
        kill(child, signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
        EXPECT_FALSE(std::filesystem::exists(part));
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

std::string Smf(const std::string& track)
{
    return "MThd" + Be(6, 4) + Be(0, 2) + Be(1, 2) + Be(1, 2) + "MTrk" + Be(track.size(), 4) + track;
}

TEST(HostileInput, MidiTimesBeyondReasonAreBoundedAndSeekWithoutRendering)
{
    // One tick a quarter, 16.8 s a quarter: a four-byte delta is 4.5e9 s.
    const std::string slowest = std::string("\x00\xFF\x51\x03\xFF\xFF\xFF", 7);
    const std::string note = std::string("\x00\xC0\x0B\x00\x90\x40\x60", 7);
    const std::string huge = "\xFF\xFF\xFF\x7F";
    const std::string end = std::string("\xFF\x2F\x00", 3);

    // The track's end lies 4.5e9 s after its last note.
    const std::string silentEnd = Smf(slowest + note + huge + end);
    EXPECT_LE(silentEnd.size(), 60u);
    auto decoder = OpenWith("midi", Written("far-end.mid", silentEnd));
    ASSERT_TRUE(decoder);
    EXPECT_GT(decoder->lengthFrames(), 0u);
    EXPECT_LE(decoder->lengthFrames(), 10u * 44100) << "ends once the last note can no longer ring";
    EXPECT_EQ(ReadAll(*decoder).size(), decoder->lengthFrames() * 2);

    // A note 4.5e9 s in: seeking there passes the events, not the samples.
    decoder = OpenWith("midi", Written("far-note.mid", Smf(slowest + note + huge + "\x90\x41\x60" + '\0' + end)));
    ASSERT_TRUE(decoder);
    const uint64_t length = decoder->lengthFrames();
    EXPECT_GT(length, uint64_t{4000000000} * 44100);
    for (const uint64_t target : {length - 44100, length / 2, uint64_t{100}, length - 1}) {
        ASSERT_TRUE(decoder->seek(target)) << target;
        EXPECT_EQ(ReadFrames(*decoder, 1000).size(), std::min<uint64_t>(1000, length - target) * 2);
    }

    // A genuine hour seeks to its end and back.
    const std::string hour = ScratchPath("hour.mid");
    ASSERT_TRUE(fixtures::WriteMidi(hour, 3600));
    decoder = OpenWith("midi", hour);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->lengthFrames(), uint64_t{3600} * 44100);
    ASSERT_TRUE(decoder->seek(decoder->lengthFrames() - 2000));
    EXPECT_EQ(ReadAll(*decoder).size(), 4000u);
    ASSERT_TRUE(decoder->seek(1234));
    EXPECT_EQ(ReadFrames(*decoder, 1000).size(), 2000u);
}

TEST(HostileInput, AnMp3TagClaimingMoreThanTheFileHoldsIsPassedOver)
{
    const Fixture& f = GetFixture("cbrmp3");
    const std::string plain = ReadBytes(f.path);
    const uint32_t claimed = 200000000;
    std::string size;
    for (int shift = 21; shift >= 0; shift -= 7)
        size += static_cast<char>((claimed >> shift) & 0x7F);
    const std::string tag = std::string("ID3\x03\0\0", 6) + size + "TIT2" + Be(6, 4) + std::string(3, '\0') + "Title";
    auto decoder = OpenWith("mpeg", Written("tag-past-end.mp3", tag + plain));
    ASSERT_TRUE(decoder);
    auto reference = OpenWith("mpeg", f.path);
    ASSERT_TRUE(reference);
    EXPECT_EQ(decoder->lengthFrames(), reference->lengthFrames());
    EXPECT_TRUE(ReadAll(*decoder) == ReadAll(*reference));
}

// What the process writes to its standard error while it lives.
class StderrCapture {
  public:
    explicit StderrCapture(std::string path) : path_(std::move(path))
    {
        std::fflush(stderr);
        saved_ = dup(2);
        const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        close(fd);
    }
    std::string finish()
    {
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        return ReadBytes(path_);
    }

  private:
    std::string path_;
    int saved_;
};

TEST(HostileInput, FfmpegSaysNothingOnStderr)
{
    const std::string good = ReadBytes(GetFixture("wma").path);
    std::string garbled = good;
    for (size_t i = 40; i < std::min<size_t>(garbled.size(), 600); i += 7)
        garbled[i] = static_cast<char>(garbled[i] * 31 + 7);
    std::string scrambled = good;
    for (size_t i = scrambled.size() / 3; i < scrambled.size(); i += 13)
        scrambled[i] = static_cast<char>(~scrambled[i]);

    StderrCapture capture(ScratchPath("stderr.txt"));
    for (const std::string& bytes : {good.substr(0, good.size() / 3), garbled, scrambled}) {
        std::string kind;
        if (auto decoder = OpenByTrial(Written("damaged.wma", bytes), kind))
            ReadAll(*decoder, 10 * 44100);
    }
    // A rate the resampler cannot take.
    SwrContext* swr = nullptr;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_FLT, 44100, &stereo, AV_SAMPLE_FMT_FLT, 0, 0, nullptr) == 0) {
        EXPECT_LT(swr_init(swr), 0);
        swr_free(&swr);
    }
    EXPECT_EQ(capture.finish(), "");
}

} // namespace
} // namespace decoders_test
