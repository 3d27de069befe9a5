#include "tests/servers/IcecastServer.h"
#include "tests/servers/ProcessFolder.h"
#include "tests/servers/Scenarios.h"
#include "tests/servers/StreamHandler.h"
#include "testdata/Fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace servers {
namespace {

using fixtures::ShellQuote;

// What the server sends back to a GET of path with the extra header lines.
HttpMessage Get(const LoopbackServer& server, const std::string& path, const std::string& headers = "",
                size_t maxBytes = 1 << 22, double seconds = 10)
{
    return SplitHttp(
        Exchange(server.port(), "GET " + path + " HTTP/1.0\r\n" + headers + "\r\n", maxBytes, seconds));
}

// curl's output and exit code.
int Curl(const std::string& args, std::string& out)
{
    fixtures::Capture("curl -s " + args + " 2>/dev/null; printf '|%d' $?", out);
    const size_t bar = out.rfind('|');
    const int code = bar == std::string::npos ? -1 : std::atoi(out.c_str() + bar + 1);
    out.resize(std::min(bar, out.size()));
    return code;
}

// An ICY body split into its audio and its non-empty metadata blocks.
struct IcyBody {
    std::string audio;
    std::vector<std::string> blocks;
    std::vector<size_t> blockSlots; // the metadata slot (1 for the first) of each block
    bool wellFormed = true;
};

IcyBody SplitIcy(const std::string& body, size_t metaint)
{
    IcyBody out;
    size_t at = 0;
    for (size_t slot = 1; at < body.size(); ++slot) {
        out.audio += body.substr(at, metaint);
        at += metaint;
        if (at >= body.size())
            break;
        const size_t size = static_cast<uint8_t>(body[at]) * 16;
        out.wellFormed = out.wellFormed && at + 1 + size <= body.size();
        if (size > 0) {
            out.blocks.push_back(body.substr(at + 1, size));
            out.blockSlots.push_back(slot);
        }
        at += 1 + size;
    }
    return out;
}

std::string Padded(std::string text)
{
    text.resize((text.size() + 15) / 16 * 16, '\0');
    return text;
}

size_t BytesOf(const StreamAudio& audio, double seconds)
{
    return static_cast<size_t>(std::llround(seconds * audio.bytesPerSecond()));
}

TEST(LoopbackServer, ServesStopsPromptlyAndSurvivesPeersThatLeave)
{
    std::atomic<int> finished{0};
    LoopbackServer server([&](Connection& c) {
        const Request& request = c.request();
        c.send("HTTP/1.0 200 OK\r\n\r\n" + request.path + "|" + request.header("x-probe").value_or("-"));
        if (request.path == "/sleep")
            c.wait(3600);
        if (request.path == "/pace")
            c.sendPaced(std::string(1 << 20, 'p'), 1000);
        if (request.path == "/flood")
            while (c.send(std::string(65536, 'f'))) {
            }
        ++finished;
    });
    ASSERT_TRUE(server.ok());
    EXPECT_EQ(server.url("/a"), "http://127.0.0.1:" + std::to_string(server.port()) + "/a");
    EXPECT_EQ(Get(server, "/hello", "X-Probe: abc\r\n").body, "/hello|abc");

    // A peer that leaves in the middle of a send fails that send only.
    const int fd = ConnectLoopback(server.port());
    ASSERT_TRUE(SendAll(fd, "GET /flood HTTP/1.0\r\n\r\n"));
    char some[1024];
    EXPECT_GT(::recv(fd, some, sizeof some, 0), 0);
    ::close(fd);
    for (int i = 0; i < 500 && finished < 2; ++i)
        usleep(10000);
    EXPECT_EQ(finished, 2);

    auto sleeping = std::async(std::launch::async, [&] { return Get(server, "/sleep", "", 1 << 22, 60); });
    auto pacing = std::async(std::launch::async, [&] { return Get(server, "/pace", "", 1 << 22, 60); });
    for (int i = 0; i < 500 && server.connections() < 4; ++i)
        usleep(10000);
    auto stopping = std::async(std::launch::async, [&] { server.stop(); });
    ASSERT_EQ(stopping.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "stop() hangs";
    EXPECT_EQ(sleeping.get().body, "/sleep|-");
    EXPECT_LT(pacing.get().body.size(), 100000u);
    EXPECT_EQ(finished, 4);
    EXPECT_EQ(server.connections(), 4u);
}

TEST(StreamHandler, IcyBlocksOnlyWhenAskedAndTitlesOnTheirTimeline)
{
    const StreamAudio& mp3 = Stream(AudioFormat::Mp3);
    ASSERT_TRUE(mp3.ok());
    const std::string odd = StreamTitleBlock("It's; \"odd\" \xff\xfe;");
    const std::string largest = "StreamTitle='" + std::string(kMostMetadataBytes, 'y');
    StreamOptions options;
    options.audio = &mp3;
    options.statusLine = "ICY 200 OK";
    options.icyName = "Test FM";
    options.metaint = 1000;
    options.titles = {{1.0, StreamTitleBlock("Third")}, {0, odd}, {0.5, largest}};
    options.realTime = false;
    options.closeAfterSeconds = 2;
    LoopbackServer server(StreamHandler(options));

    const HttpMessage icy = Get(server, "/", "Icy-MetaData: 1\r\n");
    EXPECT_EQ(icy.startLine(), "ICY 200 OK");
    EXPECT_EQ(icy.header("content-type"), "audio/mpeg");
    EXPECT_EQ(icy.header("icy-name"), "Test FM");
    EXPECT_EQ(icy.header("icy-metaint"), "1000");
    const IcyBody body = SplitIcy(icy.body, 1000);
    EXPECT_TRUE(body.wellFormed);
    EXPECT_EQ(body.audio, mp3.loop().substr(0, BytesOf(mp3, 2)));
    ASSERT_EQ(body.blocks.size(), 3u);
    EXPECT_EQ(body.blocks[0], Padded(odd));
    EXPECT_EQ(body.blocks[1], largest.substr(0, kMostMetadataBytes));
    EXPECT_EQ(body.blocks[2], Padded(StreamTitleBlock("Third")));
    // Slot k follows k * 1000 bytes of audio.
    EXPECT_EQ(body.blockSlots,
              (std::vector<size_t>{1, (BytesOf(mp3, 0.5) + 999) / 1000, (BytesOf(mp3, 1) + 999) / 1000}));

    const HttpMessage plain = Get(server, "/");
    EXPECT_FALSE(plain.header("icy-metaint"));
    EXPECT_EQ(plain.body, mp3.loop().substr(0, BytesOf(mp3, 2)));

    StreamOptions bare = options;
    bare.statusLine = "HTTP/1.0 200 OK";
    bare.contentType = "";
    bare.headerBytes = 1 << 20;
    LoopbackServer big(StreamHandler(bare));
    const HttpMessage large = Get(big, "/");
    EXPECT_EQ(large.startLine(), "HTTP/1.0 200 OK");
    EXPECT_GE(large.head.size(), 1u << 20);
    EXPECT_FALSE(large.header("content-type"));
}

TEST(StreamHandler, PaceStallsAndDrops)
{
    const StreamAudio& mp3 = Stream(AudioFormat::Mp3);
    ASSERT_TRUE(mp3.ok());
    StreamOptions options;
    options.audio = &mp3;
    LoopbackServer live(StreamHandler(options));
    const size_t received = Get(live, "/", "", 1 << 22, 2).body.size();
    EXPECT_GT(received, BytesOf(mp3, 0.5)) << "real-time pace is far too slow";
    EXPECT_LT(received, BytesOf(mp3, 6)) << "real-time pace is far too fast";

    options.realTime = false;
    options.closeAfterSeconds = 1;
    options.stallAfterSeconds = 0.5;
    options.stallSeconds = 60;
    LoopbackServer dropping(StreamHandler(options));
    EXPECT_EQ(Get(dropping, "/", "", 1 << 22, 1).body, mp3.loop().substr(0, BytesOf(mp3, 0.5)))
        << "the first connection stalls after 0.5 s of audio";
    EXPECT_EQ(Get(dropping, "/").body, mp3.loop().substr(0, BytesOf(mp3, 1)))
        << "the next one starts again, does not stall, and closes after 1 s";
}

TEST(StreamAudio, EveryFormatDecodesAcrossItsLoops)
{
    const std::pair<AudioFormat, std::string> formats[] = {{AudioFormat::Mp3, "mp3"},
                                                           {AudioFormat::Aac, "aac"},
                                                           {AudioFormat::Vorbis, "vorbis"},
                                                           {AudioFormat::Opus, "opus"},
                                                           {AudioFormat::Wma, "wmav2"}};
    for (const auto& [format, codec] : formats) {
        const StreamAudio& audio = Stream(format);
        ASSERT_TRUE(audio.ok()) << codec;
        std::string probed;
        fixtures::Capture("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels -of csv=p=0 "
                              + ShellQuote(audio.path),
                          probed);
        EXPECT_EQ(probed, codec + (format == AudioFormat::Opus ? ",48000,2\n" : ",44100,2\n"));
        StreamOptions options;
        options.audio = &audio;
        options.realTime = false;
        options.closeAfterSeconds = 2.5 * audio.loopSeconds;
        LoopbackServer server(StreamHandler(options));
        std::string bytes;
        fixtures::Capture("ffmpeg -nostdin -v quiet -i " + server.url("/") + " -ar 44100 -f s16le - | wc -c",
                          bytes);
        EXPECT_GT(std::atof(bytes.c_str()) / (44100 * 4), 2.2 * audio.loopSeconds) << codec;
    }
}

TEST(StreamAudio, VorbisChainsKeepTheirCommentsAndLoopAsNewLinks)
{
    std::vector<OggLink> links = ThreeLinks();
    links.insert(links.begin() + 1, LongTitleLink());
    const StreamAudio& chain = VorbisChain(links);
    ASSERT_TRUE(chain.ok());
    EXPECT_EQ(LongTitleLink().title.size(), 10000u);
    for (const OggLink& link : links)
        EXPECT_NE(chain.bytes.find("title=" + link.title), std::string::npos) << link.title.substr(0, 20);

    StreamOptions options;
    options.audio = &chain;
    options.realTime = false;
    options.closeAfterSeconds = 2 * chain.loopSeconds;
    LoopbackServer server(StreamHandler(options));
    const std::string file = ProcessFolder() + "/two-loops.ogg";
    std::ofstream(file, std::ios::binary) << Get(server, "/").body;
    std::string report;
    EXPECT_TRUE(fixtures::Capture("ogginfo " + ShellQuote(file), report)) << report;
    size_t streams = 0;
    for (size_t at = report.find("New logical stream"); at != std::string::npos;
         at = report.find("New logical stream", at + 1))
        ++streams;
    EXPECT_EQ(streams, 8u);
    EXPECT_EQ(report.find("WARNING"), std::string::npos) << report;
}

TEST(Scenarios, RedirectsPlaylistsTlsAndMisbehaviour)
{
    const StreamAudio& mp3 = Stream(AudioFormat::Mp3);
    ASSERT_TRUE(mp3.ok());
    StreamOptions options;
    options.audio = &mp3;
    options.realTime = false;
    options.closeAfterSeconds = 0.5;
    LoopbackServer station(Routes({{"/stream", StreamHandler(options)},
                                   {"/list.pls", PlsPlaylist("http://127.0.0.1:1/stream")},
                                   {"/list.m3u", M3uPlaylist("http://127.0.0.1:1/stream")},
                                   {"/silent", Silent()},
                                   {"/garbage", Garbage(true, 100000)},
                                   {"/raw/", Garbage(false)}}));
    LoopbackServer chain(RedirectChain(station.url("/stream"), 301));
    LoopbackServer loop(RedirectLoop());
    const std::string size = std::to_string(BytesOf(mp3, 0.5));
    std::string out;
    const std::string follow = "-L --max-redirs 5 -o /dev/null ";
    EXPECT_EQ(Curl(follow + "-w '%{http_code} %{num_redirects} %{size_download}' " + chain.url("/5"), out), 0);
    EXPECT_EQ(out, "200 5 " + size);
    EXPECT_EQ(Curl(follow + chain.url("/6"), out), 47);
    EXPECT_EQ(Curl(follow + loop.url("/loop/a"), out), 47);

    EXPECT_EQ(Curl("-w '|%{content_type}' " + station.url("/list.pls"), out), 0);
    EXPECT_NE(out.find("File1=http://127.0.0.1:1/stream\r\n"), std::string::npos);
    EXPECT_TRUE(out.ends_with("|audio/x-scpls")) << out;
    EXPECT_EQ(Curl("-w '|%{content_type}' " + station.url("/list.m3u"), out), 0);
    EXPECT_TRUE(out.starts_with("#EXTM3U\r\n")) << out;
    EXPECT_TRUE(out.ends_with("http://127.0.0.1:1/stream\r\n|audio/x-mpegurl")) << out;
    EXPECT_EQ(Curl("-o /dev/null -w '%{http_code}' " + station.url("/nothing"), out), 0);
    EXPECT_EQ(out, "404");

    EXPECT_EQ(Curl("-m 1 -o /dev/null -w '%{size_download}' " + station.url("/silent"), out), 28);
    EXPECT_EQ(out, "0");
    const std::string what = "-o /dev/null -w '%{http_code} %{content_type} %{size_download}' ";
    EXPECT_EQ(Curl(what + station.url("/garbage"), out), 0);
    EXPECT_EQ(out, "200 audio/mpeg 100000");
    const std::string raw = Exchange(station.port(), "GET /raw/ HTTP/1.0\r\n\r\n", 1 << 20, 10);
    EXPECT_EQ(raw.size(), 1u << 20);
    EXPECT_NE(Curl("-o /dev/null " + station.url("/raw/"), out), 0) << "raw bytes are no HTTP response";

    // The curl tool itself reads no SSL_CERT_FILE, so the file goes by --cacert.
    LoopbackServer secure(Respond("HTTP/1.0 200 OK", "text/plain", "secure"), ServerOptions{.tls = true});
    ASSERT_TRUE(secure.ok());
    EXPECT_TRUE(secure.url("/").starts_with("https://127.0.0.1:"));
    EXPECT_EQ(Curl(secure.url("/"), out), 60) << "a certificate no one trusts";
    EXPECT_EQ(Curl("--cacert " + ShellQuote(secure.certificateFile()) + " " + secure.url("/"), out), 0);
    EXPECT_EQ(out, "secure");
    LoopbackServer secureStream(StreamHandler(options), ServerOptions{.tls = true});
    const std::string trusting = "--cacert " + ShellQuote(secureStream.certificateFile()) + " ";
    EXPECT_EQ(Curl(trusting + "-o /dev/null -w '%{size_download}' " + secureStream.url("/"), out), 0);
    EXPECT_EQ(out, size);
}

// The mount's response once it holds text, or all that came within seconds.
std::string ReadMount(uint16_t port, const std::string& mount, const std::string& headers, const std::string& text,
                      double seconds)
{
    return Exchange(port, "GET " + mount + " HTTP/1.0\r\n" + headers + "\r\n", 1 << 22, seconds,
                    [&](const std::string& received) { return received.find(text) != std::string::npos; });
}

bool Holds(const std::string& bytes, const std::string& text)
{
    return bytes.find(text) != std::string::npos;
}

TEST(IcecastServer, MountsStreamAndTakeTitles)
{
    if (!IcecastServer::Installed())
        GTEST_SKIP() << "icecast2 is not installed (scripts/deps.sh test installs it)";
    IcecastServer icecast;
    ASSERT_TRUE(icecast.start()) << icecast.error();
    EXPECT_EQ(icecast.url(IcecastServer::kMp3Mount),
              "http://127.0.0.1:" + std::to_string(icecast.port()) + "/radio.mp3");

    const HttpMessage mp3 =
        SplitHttp(ReadMount(icecast.port(), IcecastServer::kMp3Mount, "Icy-MetaData: 1\r\n", "\r\n\r\n", 5));
    EXPECT_EQ(mp3.startLine(), "HTTP/1.0 200 OK");
    EXPECT_EQ(mp3.header("content-type"), "audio/mpeg");
    EXPECT_EQ(mp3.header("icy-name"), IcecastServer::kStationName);
    EXPECT_TRUE(mp3.header("icy-metaint"));
    const HttpMessage ogg = SplitHttp(ReadMount(icecast.port(), IcecastServer::kOggMount, "", "OggS", 5));
    EXPECT_EQ(ogg.header("content-type"), "application/ogg");
    EXPECT_TRUE(ogg.body.starts_with("OggS"));

    ASSERT_TRUE(icecast.setTitle(IcecastServer::kMp3Mount, "Song \xc3\xbc", "Artist"));
    const std::string title = "StreamTitle='Artist - Song \xc3\xbc';";
    EXPECT_TRUE(
        Holds(ReadMount(icecast.port(), IcecastServer::kMp3Mount, "Icy-MetaData: 1\r\n", title, 15), title));
    ASSERT_TRUE(icecast.setTitle(IcecastServer::kOggMount, "Ogg Title"));
    EXPECT_TRUE(
        Holds(ReadMount(icecast.port(), IcecastServer::kOggMount, "", "title=Ogg Title", 15), "title=Ogg Title"));

    icecast.stop();
    EXPECT_LT(ConnectLoopback(icecast.port()), 0) << "icecast2 still listens after stop()";
}

// Run by the next test as a process of its own that ends without cleaning up.
TEST(IcecastServer, DISABLED_StartAndVanish)
{
    IcecastServer icecast;
    if (!icecast.start())
        _exit(2);
    std::printf("port %u\n", icecast.port());
    std::fflush(stdout);
    _exit(3);
}

TEST(IcecastServer, NothingOutlivesATestProcessThatDies)
{
    if (!IcecastServer::Installed())
        GTEST_SKIP() << "icecast2 is not installed (scripts/deps.sh test installs it)";
    // icecast2's folder, made in ours, must be reachable by the user it runs as.
    const std::string folder = fixtures::MakeTempDir("nilo-vanish");
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    char self[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    std::string out;
    fixtures::Capture("TMPDIR=" + ShellQuote(folder) + " " + ShellQuote(self)
                          + " --gtest_also_run_disabled_tests --gtest_filter=IcecastServer.DISABLED_StartAndVanish",
                      out);
    const size_t at = out.find("port ");
    ASSERT_NE(at, std::string::npos) << out;
    const auto port = static_cast<uint16_t>(std::atoi(out.c_str() + at + 5));
    int fd = -1;
    for (int i = 0; i < 100 && (fd = ConnectLoopback(port)) >= 0; ++i) {
        ::close(fd);
        usleep(50000);
    }
    EXPECT_LT(fd, 0) << "icecast2 outlived the process that started it";
    fixtures::RemoveTree(folder);
}

} // namespace
} // namespace servers
