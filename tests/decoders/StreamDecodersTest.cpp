// The decoders of network streams, on encoded files whose bytes arrive in
// pieces from a feeder thread as from a download: format, length and tone,
// joined and chained streams, a start in mid-frame, closing while a read
// waits, and damage.
#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "audio/AudioLibrary.h"
#include "audio/decoders/MpegFrameHeader.h"
#include "audio/decoders/StreamDecoders.h"
#include "tests/decoders/DecoderFixtures.h"
#include "tests/fixtures/Fixtures.h"

namespace decoders_test {
namespace {

using audio::StreamKind;

constexpr double kToneHz = 441.0;
constexpr double kSeconds = 3.0;

// Bytes that arrive from a feeder thread. readAt waits until the bytes asked
// for are in, or the stream has ended or been closed; past the file's bytes
// an endless source gives noise that never ends.
class ArrivingSource final : public audio::ByteSource {
  public:
    explicit ArrivingSource(std::string bytes, bool endless = false) : bytes_(std::move(bytes)), endless_(endless) {}
    ~ArrivingSource() override
    {
        close();
        if (feeder_.joinable())
            feeder_.join();
    }

    // Lets the bytes up to `upTo` arrive in pieces; the stream ends there
    // when they are all of them.
    void feed(size_t upTo)
    {
        feeder_ = std::thread([this, upTo] {
            for (size_t at = 0; at < upTo;) {
                at = std::min<size_t>(at + 1500, upTo);
                std::lock_guard<std::mutex> hold(lock_);
                if (closed_)
                    return;
                arrived_ = endless_ && at == bytes_.size() ? UINT64_MAX : at;
                ended_ = at == bytes_.size();
                changed_.notify_all();
            }
        });
    }

    void close()
    {
        std::lock_guard<std::mutex> hold(lock_);
        closed_ = true;
        changed_.notify_all();
    }

    // Waits (bounded) until a reader waits for bytes that have not come.
    bool waitForReader()
    {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, std::chrono::seconds(30), [this] { return waiting_ > 0; });
    }

    size_t readAt(uint64_t offset, void* out, size_t size) override
    {
        std::unique_lock<std::mutex> hold(lock_);
        const auto in = [&] { return closed_ || ended_ || arrived_ >= offset + size; };
        if (!in()) {
            ++waiting_;
            changed_.notify_all();
            changed_.wait(hold, in);
            --waiting_;
        }
        const size_t n = offset < arrived_ ? static_cast<size_t>(std::min<uint64_t>(size, arrived_ - offset)) : 0;
        auto* to = static_cast<uint8_t*>(out);
        for (size_t i = 0; i < n; ++i)
            to[i] = offset + i < bytes_.size() ? static_cast<uint8_t>(bytes_[offset + i]) : Noise(offset + i);
        return n;
    }
    std::optional<uint64_t> size() const override { return std::nullopt; }
    bool moreMayCome() const override { return true; }

  private:
    static uint8_t Noise(uint64_t at) { return static_cast<uint8_t>((at * 2654435761u) >> 13 ^ at >> 5); }

    std::string bytes_;
    bool endless_;
    std::mutex lock_;
    std::condition_variable changed_;
    uint64_t arrived_ = 0;
    bool ended_ = false;
    bool closed_ = false;
    int waiting_ = 0;
    std::thread feeder_;
};

struct Encoded {
    StreamKind kind;
    uint32_t type;
    uint32_t rate;
    uint32_t channels;
    std::string bytes;
};

// The tone with a little noise, which keeps the encoders from packing
// seconds of it into one Ogg page.
std::string ToneWav(uint32_t rate, uint32_t channels, double seconds)
{
    const std::string path = ScratchPath("tone" + std::to_string(rate) + "x" + std::to_string(channels) + ".wav");
    std::vector<float> samples;
    const auto frames = static_cast<uint64_t>(seconds * rate);
    uint32_t noise = 1;
    for (uint64_t i = 0; i < frames; ++i) {
        const double tone = 0.5 * std::sin(6.283185307179586 * kToneHz * static_cast<double>(i) / rate);
        for (uint32_t c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            samples.push_back(static_cast<float>(tone + 0.03 * (noise / 4294967296.0 - 0.5)));
        }
    }
    EXPECT_TRUE(fixtures::WriteWav16(path, rate, channels, fixtures::ToInt16(samples)));
    return path;
}

// Names: mp3, aac, ogg, opus, asf (3 s of a 441 Hz tone, stereo at 44.1 or
// 48 kHz); mp3-32k, aac-32k, ogg-32k (2 s, mono at 32 kHz); ogg-two and
// opus-two (the tone again, titled "Two").
const Encoded& Get(const std::string& name)
{
    static std::mutex guard;
    static std::map<std::string, Encoded> made;
    std::lock_guard<std::mutex> hold(guard);
    if (const auto it = made.find(name); it != made.end())
        return it->second;
    const bool low = name.ends_with("-32k");
    const uint32_t rate = low ? 32000 : name.starts_with("opus") ? 48000 : 44100;
    const std::string wav = ToneWav(rate, low ? 1 : 2, low ? 2.0 : kSeconds);
    const std::string out = ScratchPath("stream-" + name);
    const auto q = fixtures::ShellQuote;
    const std::string ffmpeg = "ffmpeg -nostdin -v error -y -i " + q(wav) + " ";
    const bool two = name.ends_with("-two");
    Encoded e{StreamKind::Mp3, audio::kTypeMp3, rate, low ? 1u : 2u, {}};
    bool ok = false;
    if (name.starts_with("mp3")) {
        ok = fixtures::EncodeMp3(wav, out, "-b 128");
    } else if (name.starts_with("aac")) {
        e = {StreamKind::Aac, audio::kTypeAac, e.rate, e.channels, {}};
        ok = fixtures::Run(ffmpeg + "-c:a aac -b:a 128k -f adts " + q(out));
    } else if (name.starts_with("ogg")) {
        e = {StreamKind::OggVorbis, audio::kTypeOgg, e.rate, e.channels, {}};
        ok = fixtures::EncodeOgg(wav, out, two ? "-t Two" : "-t One -a Artist");
    } else if (name.starts_with("opus")) {
        e = {StreamKind::OggOpus, audio::kTypeOpus, e.rate, e.channels, {}};
        const std::string tags = two ? "-metadata title=Two" : "-metadata title=One -metadata artist=Artist";
        ok = fixtures::Run(ffmpeg + "-c:a libopus -b:a 96k " + tags + " -page_duration 200000 -f ogg " + q(out));
    } else if (name == "asf") {
        e = {StreamKind::Asf, audio::kTypeWma, e.rate, e.channels, {}};
        ok = fixtures::EncodeWma(wav, out, "-f asf");
    }
    e.bytes = ReadBytes(out);
    EXPECT_TRUE(ok && !e.bytes.empty()) << "fixture " << name;
    return made.emplace(name, e).first->second;
}

struct Played {
    std::unique_ptr<audio::StreamDecoder> decoder;
    std::vector<float> samples;                           // interleaved
    std::vector<std::pair<uint64_t, std::string>> titles; // the frame each came at, and the title
    bool ended = false;                                   // read() gave 0 within the bound

    double seconds() const { return static_cast<double>(samples.size()) / decoder->channels() / decoder->rate(); }
    // Rising crossings of a band about zero per second, in [from, to) s.
    double toneHz(double from, double to) const
    {
        const size_t c = decoder->channels();
        const auto at = [&](double s) { return std::min(samples.size() / c, static_cast<size_t>(s * decoder->rate())); };
        int crossings = 0;
        bool low = false;
        for (size_t i = at(from); i < at(to); ++i) {
            if (samples[i * c] < -0.1f) {
                low = true;
            } else if (samples[i * c] > 0.1f && low) {
                ++crossings;
                low = false;
            }
        }
        return crossings / (to - from);
    }
};

std::unique_ptr<audio::StreamDecoder> Open(StreamKind kind, const std::shared_ptr<ArrivingSource>& source,
                                           uint64_t offset)
{
    if (kind == StreamKind::Mp3)
        return audio::OpenMpegStreamDecoder(source, offset);
    if (kind == StreamKind::OggVorbis)
        return audio::OpenVorbisStreamDecoder(source, offset);
    return audio::OpenPluginStreamDecoder(source, offset, kind);
}

// Reads to the end (or maxReads reads); a decoder that has not finished
// within a minute has its source closed.
void ReadAll(Played& p, ArrivingSource& source, size_t maxReads = SIZE_MAX)
{
    auto run = std::async(std::launch::async, [&] {
        const uint32_t channels = p.decoder->channels();
        std::vector<float> buffer(1000 * channels);
        for (size_t reads = 0; reads < maxReads && !p.ended; ++reads) {
            const size_t got = p.decoder->read(buffer.data(), 1000);
            if (auto title = p.decoder->takeTitle())
                p.titles.emplace_back(p.samples.size() / channels, *title);
            p.ended = got == 0;
            p.samples.insert(p.samples.end(), buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(got * channels));
        }
    });
    if (run.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "decoding did not finish";
        source.close();
    }
}

// The bytes as they arrive, from offset, decoded as `kind`.
Played Play(StreamKind kind, const std::string& bytes, uint64_t offset = 0, bool endless = false)
{
    auto source = std::make_shared<ArrivingSource>(bytes, endless);
    source->feed(bytes.size());
    Played p;
    p.decoder = Open(kind, source, offset);
    EXPECT_TRUE(p.decoder);
    if (p.decoder)
        ReadAll(p, *source, endless ? 4000 : SIZE_MAX);
    return p;
}

const std::vector<std::string> kKinds = {"mp3", "aac", "ogg", "opus", "asf"};

TEST(StreamDecoders, DecodeTheWholeToneOfEachKindAsItArrives)
{
    for (const auto& name : kKinds) {
        SCOPED_TRACE(name);
        const Encoded& e = Get(name);
        const Played p = Play(e.kind, e.bytes);
        ASSERT_TRUE(p.decoder);
        EXPECT_EQ(p.decoder->rate(), e.rate);
        EXPECT_EQ(p.decoder->channels(), e.channels);
        EXPECT_EQ(p.decoder->typeCode(), e.type);
        EXPECT_TRUE(p.ended);
        EXPECT_NEAR(p.seconds(), kSeconds, 0.08);
        EXPECT_NEAR(p.toneHz(0.2, 2.8), kToneHz, 5);
    }
}

// The first MPEG or ADTS frame at or after `from` that the next frame
// follows at once.
size_t NextFrame(const std::string& bytes, size_t from, StreamKind kind)
{
    const auto length = [&](size_t at) -> size_t {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + at;
        if (at + 7 > bytes.size())
            return 0;
        if (kind == StreamKind::Aac)
            return p[0] == 0xFF && (p[1] & 0xF6) == 0xF0 ? ((p[3] & 3u) << 11) | (p[4] << 3) | (p[5] >> 5) : 0;
        const auto h = audio::ParseMpegFrameHeader(p, 4);
        return h ? h->frameBytes : 0;
    };
    for (size_t at = from; at + 7 < bytes.size(); ++at)
        if (const size_t n = length(at); n > 7 && length(at + n) > 7)
            return at;
    return bytes.size();
}

TEST(StreamDecoders, JoinedAndChainedStreamsPlayOnInTheFirstFormat)
{
    for (const std::string name : {"mp3", "aac"}) {
        SCOPED_TRACE(name);
        const Encoded& e = Get(name);
        // Half the first encoding, then all two seconds of the second (mono
        // at 32 kHz) at the same pitch.
        const Played p = Play(e.kind, e.bytes.substr(0, e.bytes.size() / 2) + Get(name + "-32k").bytes);
        ASSERT_TRUE(p.decoder);
        EXPECT_EQ(p.decoder->rate(), 44100u);
        EXPECT_EQ(p.decoder->channels(), 2u);
        EXPECT_NEAR(p.seconds(), kSeconds / 2 + 2.0, 0.15);
        EXPECT_NEAR(p.toneHz(2.0, 3.3), kToneHz, 5);

        // Joined in mid-frame: decoded from the next frame on.
        const std::string rest = e.bytes.substr(e.bytes.size() / 3 + 7);
        const Played late = Play(e.kind, rest, NextFrame(rest, 0, e.kind));
        ASSERT_TRUE(late.decoder);
        EXPECT_EQ(late.decoder->rate(), 44100u);
        EXPECT_NEAR(late.seconds(), kSeconds * 2 / 3, 0.1);
        EXPECT_NEAR(late.toneHz(0.2, 1.8), kToneHz, 5);
    }

    // Chained Ogg links play on and give their titles, up to a link of
    // another format.
    const Played ogg = Play(StreamKind::OggVorbis, Get("ogg").bytes + Get("ogg-two").bytes + Get("ogg-32k").bytes);
    ASSERT_TRUE(ogg.decoder);
    EXPECT_NEAR(ogg.seconds(), 2 * kSeconds, 0.05);
    using Titles = std::vector<std::pair<uint64_t, std::string>>;
    ASSERT_EQ(ogg.titles.size(), 2u);
    EXPECT_EQ(ogg.titles[0], Titles::value_type(0, "Artist - One"));
    EXPECT_EQ(ogg.titles[1].second, "Two");
    EXPECT_NEAR(ogg.titles[1].first / 44100.0, kSeconds, 0.05);
    // FFmpeg does so for Opus too.
    const Played opus = Play(StreamKind::OggOpus, Get("opus").bytes + Get("opus-two").bytes);
    ASSERT_TRUE(opus.decoder);
    EXPECT_NEAR(opus.seconds(), 2 * kSeconds, 0.08);
    ASSERT_EQ(opus.titles.size(), 2u);
    EXPECT_EQ(opus.titles[0].second, "Artist - One");
    EXPECT_EQ(opus.titles[1].second, "Two");
}

TEST(StreamDecoders, ClosingTheSourceEndsAWaitingRead)
{
    for (const auto& name : kKinds) {
        SCOPED_TRACE(name);
        const Encoded& e = Get(name);
        auto source = std::make_shared<ArrivingSource>(e.bytes);
        source->feed(e.bytes.size() / 2);
        Played p;
        p.decoder = Open(e.kind, source, 0);
        ASSERT_TRUE(p.decoder);
        auto reading = std::async(std::launch::async, [&] { ReadAll(p, *source); });
        ASSERT_TRUE(source->waitForReader());
        source->close();
        reading.get();
        EXPECT_TRUE(p.ended);
        EXPECT_LT(p.seconds(), kSeconds * 0.6);
    }
}

TEST(StreamDecoders, DamageIsPassedOverAndEndlessNoiseEndsEachRead)
{
    std::string noise;
    for (uint32_t i = 0, x = 12345; i < 20000; ++i)
        noise += static_cast<char>((x = x * 1103515245 + 12345) >> 16);
    for (const auto& name : kKinds) {
        SCOPED_TRACE(name);
        const Encoded& e = Get(name);
        const size_t half = e.bytes.size() / 2;
        const Played damaged = Play(e.kind, e.bytes.substr(0, half) + noise + e.bytes.substr(half));
        EXPECT_TRUE(damaged.ended);
        // ASF packets stop at damage; the other kinds find their frames again
        // and take nothing from the noise.
        if (e.kind != StreamKind::Asf) {
            EXPECT_GT(damaged.seconds(), kSeconds * 0.8);
            EXPECT_LT(damaged.seconds(), kSeconds * 1.05);
        }
        const Played endless = Play(e.kind, e.bytes.substr(0, half), 0, true);
        EXPECT_GT(endless.seconds(), kSeconds * 0.4);
    }
}

} // namespace
} // namespace decoders_test
