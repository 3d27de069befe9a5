#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "audio/decoders/MpegFrameHeader.h"
#include "audio/network/AdtsFrameHeader.h"
#include "audio/network/IcyMetadata.h"
#include "audio/network/StreamPlaylist.h"
#include "audio/network/StreamProbe.h"
#include "platform/CodePage.h"
#include "tests/fixtures/Fixtures.h"

namespace {

using audio::StreamKind;
using Verdict = audio::StreamProbeResult::Verdict;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Encoded {
    std::string name;
    StreamKind kind;
    std::string bytes;
    bool framed = false; // MPEG audio or ADTS, which a stream may begin in the middle of
};

// Two seconds of the test signal in every kind, made once by Debian's encoders.
const std::vector<Encoded>& EncodedStreams()
{
    static const std::vector<Encoded> streams = [] {
        const std::string dir = fixtures::MakeTempDir("nilo-stream-parsers");
        const std::string wav = dir + "/signal.wav";
        fixtures::WriteWav16(wav, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, 2 * 44100)));
        const auto ffmpeg = [&](const std::string& out, const std::string& options) {
            fixtures::Run("ffmpeg -nostdin -v error -y -i " + fixtures::ShellQuote(wav) + " " + options + " "
                          + fixtures::ShellQuote(dir + "/" + out));
            return ReadFile(dir + "/" + out);
        };
        fixtures::EncodeMp3(wav, dir + "/a.mp3");
        fixtures::EncodeOgg(wav, dir + "/a.ogg");
        fixtures::EncodeWma(wav, dir + "/a.wma");
        std::vector<Encoded> made = {
            {"mp3", StreamKind::Mp3, ReadFile(dir + "/a.mp3"), true},
            {"mp2", StreamKind::Mp3, ffmpeg("a.mp2", "-c:a mp2 -b:a 192k"), true},
            {"adts", StreamKind::Aac, ffmpeg("a.aac", "-c:a aac -b:a 128k -f adts"), true},
            {"vorbis", StreamKind::OggVorbis, ReadFile(dir + "/a.ogg")},
            {"opus", StreamKind::OggOpus, ffmpeg("a.opus", "-c:a libopus -b:a 96k -f ogg")},
            {"asf", StreamKind::Asf, ReadFile(dir + "/a.wma")},
        };
        fixtures::RemoveTree(dir);
        return made;
    }();
    return streams;
}

audio::StreamProbeResult Probe(std::string_view bytes, bool complete, std::string_view type = "")
{
    return audio::ProbeStream(type, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, complete);
}

// Offsets of the stream's first frames, walked by their headers.
std::vector<size_t> FrameStarts(const std::string& bytes, StreamKind kind)
{
    std::vector<size_t> starts;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t at = 0; starts.size() < 8 && at < bytes.size();) {
        starts.push_back(at);
        const auto mpeg = audio::ParseMpegFrameHeader(p + at, bytes.size() - at);
        const auto adts = audio::ParseAdtsFrameHeader(p + at, bytes.size() - at);
        const uint32_t length = kind == StreamKind::Mp3 ? (mpeg ? mpeg->frameBytes : 0) : (adts ? adts->frameBytes : 0);
        if (length == 0)
            break;
        at += length;
    }
    return starts;
}

// An MPEG frame of the header's own length, its body a byte that never looks like a sync.
std::string MpegFrame(const char* header)
{
    const auto h = audio::ParseMpegFrameHeader(reinterpret_cast<const uint8_t*>(header), 4);
    return std::string(header, 4) + std::string(h ? h->frameBytes - 4 : 0, '\x11');
}

// Probing any beginning of the bytes either waits or gives the answer that all of them give.
void ExpectTheSameAnswerWhileTheyCome(const std::string& bytes, StreamKind kind, size_t offset)
{
    for (size_t n = 0; n < std::min<size_t>(bytes.size(), 20000); n += 53) {
        const auto early = Probe(bytes.substr(0, n), false);
        ASSERT_TRUE(early.verdict == Verdict::NeedMore
                    || (early.verdict == Verdict::Found && early.offset == offset && early.kind == kind))
            << n << " bytes";
    }
}

std::string Id3v2Block(const std::string& body)
{
    const size_t n = body.size();
    return std::string("ID3\x04\0\0", 6) + char((n >> 21) & 0x7F) + char((n >> 14) & 0x7F) + char((n >> 7) & 0x7F)
        + char(n & 0x7F) + body;
}

TEST(StreamProbe, FindsEveryKindAtItsFirstFrameHoweverTheStreamBegins)
{
    const auto& streams = EncodedStreams();
    for (const Encoded& e : streams) {
        SCOPED_TRACE(e.name);
        ASSERT_GT(e.bytes.size(), 4096u);
        for (bool complete : {false, true}) {
            const auto found = Probe(e.bytes, complete);
            EXPECT_EQ(found.verdict, Verdict::Found);
            EXPECT_EQ(found.kind, e.kind);
            EXPECT_EQ(found.offset, 0u);
        }
        EXPECT_EQ(Probe(e.bytes.substr(0, 3), false).verdict, Verdict::NeedMore);
        EXPECT_EQ(Probe(e.bytes.substr(0, 3), true).verdict, Verdict::Unknown);
        if (!e.framed)
            continue;

        // Cut in the middle of a frame, and behind an ID3v2 block that holds frames of another stream.
        const std::vector<size_t> starts = FrameStarts(e.bytes, e.kind);
        ASSERT_EQ(starts.size(), 8u);
        const size_t cut = starts[2] + 37;
        const std::string midFrame = e.bytes.substr(cut);
        const std::string& other = streams[e.name == "mp3" ? 1 : 0].bytes;
        const std::string tagged = Id3v2Block(other.substr(0, 3000)) + e.bytes;
        const std::pair<const std::string*, size_t> cases[] = {{&midFrame, starts[3] - cut}, {&tagged, 3010}};
        for (const auto& [bytes, offset] : cases) {
            const auto whole = Probe(*bytes, true);
            EXPECT_EQ(whole.verdict, Verdict::Found);
            EXPECT_EQ(whole.kind, e.kind);
            EXPECT_EQ(whole.offset, offset);
            ExpectTheSameAnswerWhileTheyCome(*bytes, e.kind, offset);
        }
    }

    // Long frames whose first one holds a run of short frames: the run that starts first is the stream.
    std::string nested;
    for (int i = 0; i < 5; ++i)
        nested += MpegFrame("\xFF\xFD\xA0\x04");
    std::string inner;
    for (int i = 0; i < 4; ++i)
        inner += MpegFrame("\xFF\xFB\x10\xC4");
    nested.replace(100, inner.size(), inner);
    EXPECT_EQ(Probe(nested, true).offset, 0u);
    ExpectTheSameAnswerWhileTheyCome(nested, StreamKind::Mp3, 0);
}

TEST(StreamProbe, RefusesWhatIsNoStream)
{
    std::string html = "<!DOCTYPE html>\r\n<html><head><title>404 Not Found</title></head><body>";
    while (html.size() < 3000)
        html += "<p>The stream you asked for is not here.</p>\r\n";
    EXPECT_EQ(Probe(html + "</body></html>", true).verdict, Verdict::Unknown);

    const std::string dir = fixtures::MakeTempDir("nilo-stream-parsers");
    ASSERT_TRUE(fixtures::WriteMidi(dir + "/song.mid", 3.0));
    EXPECT_EQ(Probe(ReadFile(dir + "/song.mid"), true).verdict, Verdict::Unknown);
    fixtures::RemoveTree(dir);

    // An Ogg Vorbis stream whose first page fails its checksum.
    std::string damaged = EncodedStreams()[3].bytes;
    damaged[40] ^= 0x20;
    EXPECT_EQ(Probe(damaged, true).verdict, Verdict::Unknown);

    // Frames that chain but change their rate are no stream.
    std::string mixed;
    for (int i = 0; i < 8; ++i)
        mixed += MpegFrame(i % 2 ? "\xFF\xFB\x94\x64" : "\xFF\xFB\x90\x64");
    EXPECT_EQ(Probe(mixed, true).verdict, Verdict::Unknown);

    std::mt19937 random(20240611);
    std::string noise(audio::kStreamProbeLimit, '\0');
    for (int round = 0; round < 200; ++round) {
        for (char& c : noise)
            c = static_cast<char>(random());
        // Every other round strewn with plausible MPEG and ADTS headers.
        for (size_t at = 0; round % 2 && at + 8 < noise.size(); at += 100 + random() % 900)
            noise.replace(at, 4, round % 4 == 1 ? "\xFF\xFB\x90\x64" : "\xFF\xF1\x50\x80");
        const auto result = Probe(noise, false);
        ASSERT_EQ(result.verdict, Verdict::Unknown) << "round " << round << " at " << result.offset;
    }
}

TEST(StreamProbe, TheContentDecidesOverTheContentType)
{
    const auto& streams = EncodedStreams();
    const std::pair<size_t, const char*> mislabelled[] = {
        {0, "audio/aac"},  {2, "Audio/MPEG; charset=x"}, {3, "video/x-ms-asf"},
        {4, "audio/mpeg"}, {5, "application/ogg"}};
    for (const auto& [index, type] : mislabelled) {
        const auto result = Probe(streams[index].bytes, false, type);
        EXPECT_EQ(result.verdict, Verdict::Found) << type;
        EXPECT_EQ(result.kind, streams[index].kind) << type;
    }
}

TEST(IcyDemuxer, GivesTheAudioAndEachBlockWhateverThePieces)
{
    const std::string audio = EncodedStreams()[0].bytes.substr(0, 3000);
    constexpr size_t kInterval = 256;
    std::string body;
    std::vector<std::string> blocks;
    size_t runs = 0;
    for (size_t at = 0; at < audio.size(); at += kInterval, ++runs) {
        body += audio.substr(at, kInterval);
        if (at + kInterval >= audio.size())
            break;
        if (runs % 3 != 1) {
            body += '\0';
            continue;
        }
        std::string block = "StreamTitle='Song " + std::to_string(runs) + "';StreamUrl='';";
        block.resize((block.size() + 15) / 16 * 16, '\0');
        body += char(block.size() / 16) + block;
        blocks.push_back(block);
    }

    for (size_t piece = 1; piece <= body.size(); ++piece) {
        audio::IcyDemuxer demuxer(kInterval);
        std::string gotAudio;
        std::vector<std::string> gotBlocks;
        size_t calls = 0;
        for (size_t at = 0; at < body.size(); at += piece) {
            demuxer.feed(
                reinterpret_cast<const uint8_t*>(body.data()) + at, std::min(piece, body.size() - at),
                [&](const uint8_t* bytes, size_t size) {
                    gotAudio.append(reinterpret_cast<const char*>(bytes), size);
                    ++calls;
                },
                [&](std::string_view block) { gotBlocks.emplace_back(block); });
        }
        ASSERT_EQ(gotAudio, audio) << "pieces of " << piece;
        ASSERT_EQ(gotBlocks, blocks) << "pieces of " << piece;
        if (piece == body.size()) {
            EXPECT_EQ(calls, runs + 1);
        }
    }

    audio::IcyDemuxer plain(0);
    std::string all;
    plain.feed(reinterpret_cast<const uint8_t*>(body.data()), body.size(),
               [&](const uint8_t* bytes, size_t size) { all.append(reinterpret_cast<const char*>(bytes), size); },
               [](std::string_view) { ADD_FAILURE() << "no blocks without an interval"; });
    EXPECT_EQ(all, body);
}

TEST(IcyMetadata, TitlesAreReadAndShownSafely)
{
    using std::nullopt;
    const std::pair<std::string, std::optional<std::string>> titles[] = {
        {"StreamTitle='Artist - Title';", "Artist - Title"},
        {"StreamTitle='It's \"on\"; ok';StreamUrl='http://127.0.0.1/';", "It's \"on\"; ok"},
        {"StreamTitle='a';b';", "a';b"},
        {std::string("StreamTitle='Padded';\0\0\0\0\0", 26), "Padded"},
        {std::string("StreamTitle='No semicolon'\0\0", 29), "No semicolon"},
        {"StreamUrl='x';StreamTitle='Second';", "Second"},
        {"StreamTitle='';", ""},
        {"StreamTitle='Unclosed", nullopt},
        {"StreamUrl='x';", nullopt},
        {"no keys here", nullopt},
        {"", nullopt},
    };
    for (const auto& [block, title] : titles)
        EXPECT_EQ(audio::StreamTitleOf(block), title) << block;

    setenv("NILO_CODEPAGE", "windows-1252", 1);
    const std::pair<std::string, std::optional<std::string>> shown[] = {
        {"  Some\t\r\nTitle  \x1F", "Some Title"},
        {"Caf\xE9 \x96 Bar", "Caf\xC3\xA9 \xE2\x80\x93 Bar"},
        {"a\xC2\x85z\x7F!", "a z !"},
        {"\x01\x02  \x7F", nullopt},
        {"", nullopt},
    };
    for (const auto& [raw, text] : shown)
        EXPECT_EQ(audio::CleanStreamText(raw), text) << raw;

    std::string euros;
    for (int i = 0; i < 150; ++i)
        euros += "\xE2\x82\xAC ";
    const auto cut = audio::CleanStreamText(euros);
    ASSERT_TRUE(cut);
    EXPECT_TRUE(platform::IsValidUtf8(*cut));
    EXPECT_EQ(platform::Utf8Length(*cut), audio::kMostStreamTextCharacters - 1);
    EXPECT_EQ(cut->back(), '\xAC');
    EXPECT_EQ(audio::CleanStreamText(std::string(199, 'a') + "\xE2\x82\xAC\xE2\x82\xAC"),
              std::string(199, 'a') + "\xE2\x82\xAC");
}

TEST(StreamPlaylist, FirstAddressOfPlsAndM3u)
{
    const std::string base = "http://127.0.0.1:8000/dir/list.pls?station=1";
    using std::nullopt;
    const std::pair<std::string, std::optional<std::string>> bodies[] = {
        {"[playlist]\r\nNumberOfEntries=2\r\nFile2=http://127.0.0.1/two\r\nfile1 = stream.mp3\r\n",
         "http://127.0.0.1:8000/dir/stream.mp3"},
        {"[Playlist]\nFile1=rtsp://127.0.0.1/x\nFILE3=HTTPS://Host/A\nFile4=http://127.0.0.1/b\n", "https://Host/A"},
        {"\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:-1,Radio\r\n/live?x=1\r\n", "http://127.0.0.1:8000/live?x=1"},
        {"\n  //127.0.0.2:9000/x  \n", "http://127.0.0.2:9000/x"},
        {"../up/./s.aac\n", "http://127.0.0.1:8000/up/s.aac"},
        {"file:///music/a.mp3\nHtTp://127.0.0.1/Path\n", "http://127.0.0.1/Path"},
        {"#EXTM3U\n#EXT-X-VERSION:3\n#EXTINF:10,\nsegment1.ts\n", nullopt},
        {"[playlist]\nNumberOfEntries=0\nVersion=2\n", nullopt},
        {"#EXTM3U\n# nothing but comments\n", nullopt},
        {std::string(audio::kMostPlaylistBytes, '#') + "\nhttp://127.0.0.1/late\n", nullopt},
    };
    for (const auto& [body, address] : bodies)
        EXPECT_EQ(audio::FirstStreamAddress(body, base), address) << body.substr(0, 80);

    EXPECT_TRUE(audio::IsPlaylistResponse("Audio/X-SCPLS; charset=utf-8", ""));
    EXPECT_TRUE(audio::IsPlaylistResponse("application/x-mpegurl", ""));
    EXPECT_TRUE(audio::IsPlaylistResponse("audio/mpeg", "\xEF\xBB\xBF[playlist]\r\nFile1=ht"));
    EXPECT_TRUE(audio::IsPlaylistResponse("text/plain", "\r\n  https://127.0.0.1/stream\r\n"));
    EXPECT_TRUE(audio::IsPlaylistResponse("", "#EXTM3U\n"));
    EXPECT_FALSE(audio::IsPlaylistResponse("audio/mpeg", EncodedStreams()[0].bytes.substr(0, 4096)));
    EXPECT_FALSE(audio::IsPlaylistResponse("text/html", "<html><body>http://127.0.0.1/</body></html>"));
}

} // namespace
