// URL channels against servers of our own on 127.0.0.1: every kind of
// stream, the ways an address leads to one or fails, titles, drops and
// stalls, and that a stalled stream holds up nothing else.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>

#include "audio/network/IcyMetadata.h"
#include "platform/CodePage.h"
#include "tests/audio/AudioTestFiles.h"
#include "tests/network/StreamTestSupport.h"
#include "tests/servers/Scenarios.h"
#include "tests/servers/StreamHandler.h"

using namespace audio;
using namespace streamtest;
using servers::AudioFormat;
using servers::LoopbackServer;
using servers::StreamOptions;

namespace {

StreamOptions Station(AudioFormat format) {
    StreamOptions options;
    options.audio = &servers::Stream(format);
    options.icyName = "Loopback FM";
    options.metaint = 8192;
    options.titles = {{0, servers::StreamTitleBlock("Artist - First")}};
    return options;
}

// Plays the channel for a while through the disk driver and returns the
// loudest sample it sent there.
float PlayedPeak(Handle h, const std::string& raw, double seconds) {
    const size_t before = audiotest::DeviceFile(raw).size();
    EXPECT_TRUE(play(h, false));
    WaitFor([&] { return positionBytes(h) > 0; }, 5);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop(h);
    const std::vector<float> heard = audiotest::DeviceFile(raw);
    float peak = 0;
    for (size_t i = before; i < heard.size(); ++i) peak = std::max(peak, std::fabs(heard[i]));
    return peak;
}

} // namespace

TEST(StreamChannels, EveryKindPlaysAtItsOwnFormat) {
    audiotest::TempFolder folder;
    const std::string raw = folder / "device.raw";
    audiotest::UseDiskDriver(raw, true);
    ASSERT_TRUE(openOutput(-1, kOutputRate, kFloatSamples));
    const struct {
        AudioFormat format;
        uint32_t rate;
        uint32_t type;
        const char* statusLine;
    } kinds[] = {{AudioFormat::Mp3, 44100, kTypeMp3, "ICY 200 OK"},
                 {AudioFormat::Aac, 44100, kTypeAac, "HTTP/1.0 200 OK"},
                 {AudioFormat::Vorbis, 44100, kTypeOgg, "HTTP/1.0 200 OK"},
                 {AudioFormat::Opus, 48000, kTypeOpus, "HTTP/1.0 200 OK"},
                 {AudioFormat::Wma, 44100, kTypeWma, "HTTP/1.0 200 OK"}};
    for (const auto& kind : kinds) {
        SCOPED_TRACE(servers::Stream(kind.format).contentType);
        StreamOptions options = Station(kind.format);
        options.statusLine = kind.statusLine;
        LoopbackServer server(servers::StreamHandler(options));
        const Handle h = openUrlChannel(server.url("/live"), kUrlNoKeep | kFloatSamples);
        ASSERT_NE(h, 0u);
        ASSERT_GE(WaitBuffered(h), 90) << StatusOf(h).error;
        ChannelInfo info;
        ASSERT_TRUE(channelInfo(h, info));
        EXPECT_EQ(info.rate, kind.rate);
        EXPECT_EQ(info.channels, 2u);
        EXPECT_EQ(info.type, kind.type);
        EXPECT_EQ(channelKind(h), ChannelKind::Url);
        EXPECT_EQ(lengthBytes(h), kUnknownLength);
        EXPECT_EQ(bytesToSeconds(h, lengthBytes(h)), -1.0);
        EXPECT_FALSE(seekBytes(h, 0));
        const StreamStatus status = StatusOf(h);
        EXPECT_EQ(status.station, "Loopback FM");
        EXPECT_EQ(status.title, "Artist - First");
        EXPECT_FALSE(status.failed);
        // The tone at 0.5 reaches the device, and the position grows with it.
        const float peak = PlayedPeak(h, raw, 0.5);
        EXPECT_GT(peak, 0.35f);
        EXPECT_LT(peak, 0.7f);
        EXPECT_GT(bytesToSeconds(h, positionBytes(h)), 0.4);
        releaseStream(h);
    }
    // The WMA creation call takes addresses of ASF streams only.
    LoopbackServer mp3(servers::StreamHandler(Station(AudioFormat::Mp3)));
    LoopbackServer wma(servers::StreamHandler(Station(AudioFormat::Wma)));
    const Handle notAsf = openWmaChannel(mp3.url("/live"), 0);
    const Handle asf = openWmaChannel(wma.url("/live"), 0);
    EXPECT_LT(WaitBuffered(notAsf), 0);
    EXPECT_GE(WaitBuffered(asf), 90);
    EXPECT_EQ(channelKind(asf), ChannelKind::Wma);
    releaseStream(notAsf);
    releaseStream(asf);
    closeOutput();
}

TEST(StreamChannels, AddressesLeadToTheStreamOrFailAtOnce) {
    LoopbackServer stream(servers::StreamHandler(Station(AudioFormat::Mp3)));
    const std::string target = stream.url("/live");
    LoopbackServer links(servers::Routes({{"/chain/", servers::RedirectChain(target)},
                                          {"/loop/", servers::RedirectLoop()},
                                          {"/listen.pls", servers::PlsPlaylist(target)},
                                          {"/listen.m3u", servers::M3uPlaylist(target)}}));
    LoopbackServer redirects(servers::RedirectChain(target));
    for (const std::string& address : {redirects.url("/5"), links.url("/listen.pls"), links.url("/listen.m3u")}) {
        SCOPED_TRACE(address);
        const Handle h = openUrlChannel(address, kUrlNoKeep);
        EXPECT_GE(WaitBuffered(h), 90) << StatusOf(h).error;
        EXPECT_EQ(StatusOf(h).address, target);
        releaseStream(h);
    }

    LoopbackServer loop(servers::RedirectLoop());
    LoopbackServer notFound(servers::NotFound());
    LoopbackServer garbage(servers::Garbage(true));
    LoopbackServer noise(servers::Garbage(false));
    StreamOptions huge = Station(AudioFormat::Mp3);
    huge.headerBytes = 1 << 20;
    LoopbackServer hugeHeader(servers::StreamHandler(huge));
    LoopbackServer closed(servers::NotFound());
    const std::string refused = closed.url("/live");
    closed.stop();
    const std::pair<std::string, const char*> failures[] = {
        {redirects.url("/6"), "redirects"},  {loop.url("/loop/a"), "redirects"},
        {notFound.url("/live"), "404"},      {garbage.url("/live"), "no audio"},
        {noise.url("/live"), ""},            {hugeHeader.url("/live"), "header"},
        {refused, "connect"},                {"http://", ""}};
    for (const auto& [address, why] : failures) {
        SCOPED_TRACE(address);
        const auto start = Clock::now();
        const Handle h = openUrlChannel(address, kUrlNoKeep);
        if (h == 0) continue;
        EXPECT_LT(WaitBuffered(h), 0);
        EXPECT_LT(SecondsSince(start), 5.0) << "a failure is known at once";
        const StreamStatus status = StatusOf(h);
        EXPECT_TRUE(status.failed && status.ended);
        EXPECT_NE(status.error.find(why), std::string::npos) << status.error;
        releaseStream(h);
    }
    EXPECT_EQ(openUrlChannel("ftp://127.0.0.1/x", 0), 0u);
}

TEST(StreamChannels, ASilentServerFailsWithinTheStallBound) {
    LoopbackServer silent(servers::Silent());
    const auto start = Clock::now();
    const Handle h = openUrlChannel(silent.url("/live"), kUrlNoKeep);
    EXPECT_EQ(WaitBuffered(h, 6), 0) << "nothing arrived, nothing failed yet";
    EXPECT_LT(WaitBuffered(h, 6), 0);
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_NE(StatusOf(h).error.find("8 s"), std::string::npos);
    releaseStream(h);
}

TEST(StreamChannels, TitlesAreTheServersTextAsShown) {
    setenv("NILO_CODEPAGE", "windows-1252", 1);
    StreamOptions options = Station(AudioFormat::Mp3);
    const std::string longest(servers::kMostMetadataBytes - 16, 'x');
    options.titles = {{0, servers::StreamTitleBlock("It's \"here\"; it';s on")},
                      {1, "StreamTitle='unterminated"},
                      {2, servers::StreamTitleBlock("")},
                      {3, servers::StreamTitleBlock("Caf\xe9\x01 tune")},
                      {4, servers::StreamTitleBlock(longest)}};
    LoopbackServer server(servers::StreamHandler(options));
    const Handle h = openUrlChannel(server.url("/live"), kUrlNoKeep);
    ASSERT_GE(WaitBuffered(h), 90);
    // Playing drains the buffers, so the later blocks come in real time.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(openOutput(-1, kOutputRate, kFloatSamples));
    play(h, false);
    std::vector<std::string> seen;
    WaitFor([&] {
        const StreamStatus status = StatusOf(h);
        if (seen.empty() || seen.back() != status.title) seen.push_back(status.title);
        return status.title.size() == kMostStreamTextCharacters;
    }, 15);
    const std::vector<std::string> expected = {"It's \"here\"; it';s on", "Café tune", std::string(200, 'x')};
    EXPECT_EQ(seen, expected) << "the malformed and the empty title are passed over";
    releaseStream(h);

    // A Vorbis comment may be far longer than an ICY block.
    StreamOptions ogg;
    ogg.audio = &servers::VorbisChain({servers::LongTitleLink()});
    LoopbackServer oggServer(servers::StreamHandler(ogg));
    const Handle o = openUrlChannel(oggServer.url("/live"), kUrlNoKeep);
    ASSERT_GE(WaitBuffered(o), 90);
    EXPECT_EQ(platform::Utf8Length(StatusOf(o).title), kMostStreamTextCharacters);
    EXPECT_EQ(StatusOf(o).title.rfind("Artist Long - Long xxx", 0), 0u);
    releaseStream(o);
    closeOutput();
}

TEST(StreamChannels, DroppedConnectionsAreMadeAgainThenTheStreamEnds) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(openOutput(-1, kOutputRate, kFloatSamples));
    StreamOptions options = Station(AudioFormat::Mp3);
    options.closeAfterSeconds = 2;
    LoopbackServer server(servers::StreamHandler(options));
    const Handle h = openUrlChannel(server.url("/live"), kUrlNoKeep);
    ASSERT_GE(WaitBuffered(h), 90);
    play(h, false);
    int mostSeen = 0;
    EXPECT_TRUE(WaitFor([&] {
        mostSeen = std::max(mostSeen, StatusOf(h).reconnecting);
        return StatusOf(h).ended;
    }, 30));
    EXPECT_EQ(StatusOf(h).reconnects, kStreamReconnects);
    EXPECT_GE(mostSeen, 1);
    EXPECT_EQ(server.connections(), 1u + kStreamReconnects);
    EXPECT_FALSE(StatusOf(h).failed);
    // What was buffered plays out, and the channel ends like a file.
    EXPECT_TRUE(WaitFor([&] { return activity(h) == kStopped; }, 10));
    EXPECT_GT(bytesToSeconds(h, positionBytes(h)), 6.0);

    // A stall longer than the bound drops the connection; the next one plays on.
    StreamOptions stalling = Station(AudioFormat::Mp3);
    stalling.stallAfterSeconds = 1;
    stalling.stallSeconds = 10;
    LoopbackServer stalls(servers::StreamHandler(stalling));
    const Handle s = openUrlChannel(stalls.url("/live"), kUrlNoKeep);
    ASSERT_GE(WaitBuffered(s), 90);
    play(s, false);
    EXPECT_TRUE(WaitFor([&] { return StatusOf(s).reconnects == 1 && StatusOf(s).reconnecting == 0; }, 15));
    const double before = bytesToSeconds(s, positionBytes(s));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_GT(bytesToSeconds(s, positionBytes(s)), before + 0.5);
    EXPECT_EQ(activity(s), kPlaying);
    releaseStream(h);
    releaseStream(s);

    // A server faster than real time fills every buffer; the stream plays on
    // at its own pace as they drain.
    StreamOptions burst = Station(AudioFormat::Mp3);
    burst.realTime = false;
    LoopbackServer fast(servers::StreamHandler(burst));
    const Handle f = openUrlChannel(fast.url("/live"), kUrlNoKeep);
    ASSERT_GE(WaitBuffered(f), 90);
    play(f, false);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    EXPECT_GT(bytesToSeconds(f, positionBytes(f)), 4.5);
    releaseStream(f);
    closeOutput();
}

// Sends a slow stream until the client leaves, and tells when it did.
struct WatchedStream {
    std::atomic<bool> left{false};
    LoopbackServer server{[this](servers::Connection& connection) {
        const servers::StreamAudio& audio = servers::Stream(AudioFormat::Mp3);
        connection.send("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n");
        for (size_t at = 0; connection.sendPaced(audio.loop().substr(at % audio.loop().size(), 512), 4000); at += 512) {
        }
        left = true;
    }};
};

TEST(StreamChannels, AStalledStreamHoldsUpNothingAndClosesAtOnce) {
    audiotest::TempFolder folder;
    const std::string wav = audiotest::SignalWav(folder, "local.wav", 44100, 2, 3);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(openOutput(-1, kOutputRate, kFloatSamples));
    const Handle local = openFileChannel(wav, 0, 0, kFloatSamples);
    stopOutput();
    play(local, false);
    ASSERT_TRUE(audiotest::Buffered({local}));
    const uint64_t underrunsBefore = underruns();
    startOutput();

    // A stream being opened on a silent server, and one too slow to fill
    // queued to follow the file.
    LoopbackServer silent(servers::Silent());
    WatchedStream slow;
    const Handle opening = openUrlChannel(silent.url("/live"), kUrlNoKeep);
    const Handle next = openUrlChannel(slow.server.url("/live"), kUrlNoKeep);
    EXPECT_TRUE(queueNext(local, next));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(activity(local), kPlaying);
    EXPECT_EQ(underruns(), underrunsBefore);
    EXPECT_GT(bytesToSeconds(local, positionBytes(local)), 1.2);

    const auto released = Clock::now();
    releaseStream(next);
    releaseStream(opening);
    EXPECT_LT(SecondsSince(released), 1.0) << "freeing a stream waits for no server";
    EXPECT_TRUE(WaitFor([&] { return slow.left.load(); }, 5)) << "its download stopped";
    releaseStream(local);
    closeOutput();
}

TEST(StreamChannels, HttpsWithATrustedCertificate) {
    LoopbackServer secure(servers::StreamHandler(Station(AudioFormat::Mp3)), {.tls = true});
    ASSERT_EQ(secure.url("/live").rfind("https://", 0), 0u);
    unsetenv("SSL_CERT_FILE");
    const Handle untrusted = openUrlChannel(secure.url("/live"), kUrlNoKeep);
    EXPECT_LT(WaitBuffered(untrusted), 0);
    releaseStream(untrusted);
    setenv("SSL_CERT_FILE", secure.certificateFile().c_str(), 1);
    const Handle trusted = openUrlChannel(secure.url("/live"), kUrlNoKeep);
    EXPECT_GE(WaitBuffered(trusted), 90) << StatusOf(trusted).error;
    EXPECT_EQ(StatusOf(trusted).title, "Artist - First");
    releaseStream(trusted);
}
