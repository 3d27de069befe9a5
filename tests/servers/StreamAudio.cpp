#include "tests/servers/StreamAudio.h"

#include "tests/servers/ProcessFolder.h"
#include "testdata/Fixtures.h"

#include <atomic>
#include <cmath>
#include <functional>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

namespace servers {
namespace {

constexpr uint32_t kRate = 44100;

uint8_t At(std::string_view b, size_t i)
{
    return static_cast<uint8_t>(b[i]);
}
uint32_t Le32(std::string_view b, size_t i)
{
    return At(b, i) | At(b, i + 1) << 8 | At(b, i + 2) << 16 | uint32_t(At(b, i + 3)) << 24;
}
uint64_t Le64(std::string_view b, size_t i)
{
    return Le32(b, i) | uint64_t(Le32(b, i + 4)) << 32;
}

void PutLe32(std::string& b, size_t i, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        b[i + k] = static_cast<char>(v >> (8 * k));
}

struct Frame {
    size_t size = 0;
    uint32_t samples = 0;
    uint32_t rate = 0;
};

// An MPEG-1, -2 or -2.5 Layer III frame header at b[i]; size 0 when none.
Frame MpegFrameAt(std::string_view b, size_t i)
{
    static const uint16_t kV1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const uint16_t kV2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const uint32_t kRates[] = {44100, 48000, 32000};
    if (i + 4 > b.size() || At(b, i) != 0xFF || (At(b, i + 1) & 0xE6) != 0xE2)
        return {};
    const int version = (At(b, i + 1) >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int bitrate = At(b, i + 2) >> 4;
    const int rateIndex = (At(b, i + 2) >> 2) & 3;
    if (version == 1 || bitrate == 0 || bitrate == 15 || rateIndex == 3)
        return {};
    const uint32_t rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const uint32_t kbps = version == 3 ? kV1[bitrate] : kV2[bitrate];
    const size_t size = (version == 3 ? 144000u : 72000u) * kbps / rate + ((At(b, i + 2) >> 1) & 1);
    return {size, version == 3 ? 1152u : 576u, rate};
}

Frame AdtsFrameAt(std::string_view b, size_t i)
{
    static const uint32_t kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                      22050, 16000, 12000, 11025, 8000,  7350};
    if (i + 7 > b.size() || At(b, i) != 0xFF || (At(b, i + 1) & 0xF6) != 0xF0)
        return {};
    const int rateIndex = (At(b, i + 2) >> 2) & 0xF;
    const size_t size = (At(b, i + 3) & 3) << 11 | At(b, i + 4) << 3 | At(b, i + 5) >> 5;
    if (rateIndex > 12 || size < 7)
        return {};
    return {size, 1024u * ((At(b, i + 6) & 3) + 1), kRates[rateIndex]};
}

size_t Id3v2Size(std::string_view b)
{
    if (b.size() < 10 || b.substr(0, 3) != "ID3")
        return 0;
    const size_t size =
        (At(b, 6) & 0x7F) << 21 | (At(b, 7) & 0x7F) << 14 | (At(b, 8) & 0x7F) << 7 | (At(b, 9) & 0x7F);
    return std::min(b.size(), 10 + size + ((At(b, 5) & 0x10) ? 10 : 0));
}

// The whole frames after any ID3v2 tag, up to the first that is cut off or
// is not a frame (an ID3v1 tag at the end).
void FindFrameLoop(StreamAudio& audio, Frame (*frameAt)(std::string_view, size_t))
{
    const std::string_view b = audio.bytes;
    size_t at = Id3v2Size(b);
    audio.loopBegin = at;
    double seconds = 0;
    for (Frame f = frameAt(b, at); f.size > 0 && at + f.size <= b.size(); f = frameAt(b, at)) {
        at += f.size;
        seconds += static_cast<double>(f.samples) / f.rate;
    }
    audio.loopEnd = at;
    audio.loopSeconds = seconds;
}

// ASF: the header object and the data object's own header go once, its
// packets loop. The file properties are marked as a broadcast's, whose
// length and packet count mean nothing, so that readers take packets for
// as long as they come.
void FindAsfLoop(StreamAudio& audio, double seconds)
{
    static const std::string_view kHeaderGuid("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C",
                                              16);
    static const std::string_view kPropertiesGuid(
        "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16);
    static const std::string_view kDataGuid("\x36\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
    constexpr size_t kFlagsOffset = 88;
    const std::string_view b = audio.bytes;
    if (b.size() < 30 || b.substr(0, 16) != kHeaderGuid)
        return;
    const uint64_t data = Le64(b, 16);
    if (data > b.size() - 50 || b.substr(data, 16) != kDataGuid)
        return;
    size_t at = 30;
    while (at + 24 <= data && b.substr(at, 16) != kPropertiesGuid) {
        const uint64_t size = Le64(b, at + 16);
        if (size < 24 || size > data - at)
            return;
        at += size;
    }
    if (at + kFlagsOffset + 4 > data)
        return;
    PutLe32(audio.bytes, at + kFlagsOffset, 1);
    std::ofstream(audio.path, std::ios::binary) << audio.bytes;
    audio.loopBegin = data + 50;
    audio.loopEnd = data + std::min<uint64_t>(Le64(b, data + 16), b.size() - data);
    audio.loopSeconds = seconds;
}

uint32_t OggCrc(std::string_view page)
{
    static const auto table = [] {
        std::vector<uint32_t> t(256);
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int k = 0; k < 8; ++k)
                r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    uint32_t crc = 0;
    for (char c : page)
        crc = (crc << 8) ^ table[((crc >> 24) ^ static_cast<uint8_t>(c)) & 0xFF];
    return crc;
}

// Adds offset to the serial number of every whole page and mends its CRC.
void RenumberOggPages(std::string& b, uint32_t offset)
{
    size_t at = 0;
    while (at + 27 <= b.size() && b.compare(at, 4, "OggS") == 0) {
        const size_t segments = At(b, at + 26);
        if (at + 27 + segments > b.size())
            return;
        size_t size = 27 + segments;
        for (size_t s = 0; s < segments; ++s)
            size += At(b, at + 27 + s);
        if (at + size > b.size())
            return;
        PutLe32(b, at + 14, Le32(b, at + 14) + offset);
        PutLe32(b, at + 22, 0);
        PutLe32(b, at + 22, OggCrc(std::string_view(b).substr(at, size)));
        at += size;
    }
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool EncodeWithFfmpeg(const std::string& wav, const std::string& out, const std::string& args)
{
    return fixtures::HaveTool("ffmpeg")
        && fixtures::Run("ffmpeg -nostdin -v error -y -i " + fixtures::ShellQuote(wav) + " " + args + " "
                         + fixtures::ShellQuote(out));
}

std::string NewPath(const std::string& extension)
{
    static std::atomic<int> counter{0};
    return ProcessFolder() + "/stream-" + std::to_string(++counter) + extension;
}

std::string ToneWav(double seconds)
{
    const std::string wav = NewPath(".wav");
    const auto frames = static_cast<uint64_t>(std::llround(seconds * kRate));
    return fixtures::WriteWav16(wav, kRate, 2, fixtures::ToInt16(Tone(frames))) ? wav : std::string();
}

bool EncodeVorbis(const std::string& wav, const std::string& out, const OggLink& link)
{
    return fixtures::EncodeOgg(
        wav, out, "-a " + fixtures::ShellQuote(link.artist) + " -t " + fixtures::ShellQuote(link.title));
}

StreamAudio Encode(AudioFormat format, double seconds)
{
    static const char* const kExtensions[] = {".mp3", ".aac", ".ogg", ".opus", ".wma"};
    static const char* const kTypes[] = {"audio/mpeg", "audio/aac", "application/ogg", "audio/ogg",
                                         "video/x-ms-asf"};
    StreamAudio audio;
    audio.format = format;
    audio.contentType = kTypes[static_cast<int>(format)];
    audio.path = NewPath(kExtensions[static_cast<int>(format)]);
    const std::string wav = ToneWav(seconds);
    bool encoded = false;
    switch (format) {
    case AudioFormat::Mp3:
        encoded = fixtures::EncodeMp3(wav, audio.path, "-b 128 --cbr -t");
        break;
    case AudioFormat::Aac:
        encoded = EncodeWithFfmpeg(wav, audio.path, "-c:a aac -b:a 128k -f adts");
        break;
    case AudioFormat::Vorbis:
        encoded = fixtures::EncodeOgg(wav, audio.path);
        break;
    case AudioFormat::Opus:
        encoded = EncodeWithFfmpeg(wav, audio.path, "-c:a libopus -b:a 96k -f ogg");
        break;
    case AudioFormat::Wma:
        encoded = fixtures::EncodeWma(wav, audio.path, "-f asf");
        break;
    }
    fixtures::RemoveTree(wav);
    if (wav.empty() || !encoded)
        return audio;
    audio.bytes = ReadFile(audio.path);
    if (format == AudioFormat::Mp3)
        FindFrameLoop(audio, MpegFrameAt);
    else if (format == AudioFormat::Aac)
        FindFrameLoop(audio, AdtsFrameAt);
    else if (format == AudioFormat::Wma)
        FindAsfLoop(audio, seconds);
    else {
        audio.loopEnd = audio.bytes.size();
        audio.loopSeconds = seconds;
    }
    return audio;
}

StreamAudio EncodeChain(const std::vector<OggLink>& links)
{
    StreamAudio audio;
    audio.format = AudioFormat::Vorbis;
    audio.contentType = "application/ogg";
    audio.path = NewPath(".ogg");
    for (const OggLink& link : links) {
        const std::string wav = ToneWav(link.seconds);
        const std::string ogg = NewPath(".ogg");
        const bool encoded = !wav.empty() && EncodeVorbis(wav, ogg, link);
        fixtures::RemoveTree(wav);
        if (!encoded)
            return {};
        audio.bytes += ReadFile(ogg);
        audio.loopSeconds += link.seconds;
        fixtures::RemoveTree(ogg);
    }
    std::ofstream(audio.path, std::ios::binary) << audio.bytes;
    audio.loopEnd = audio.bytes.size();
    return audio;
}

const StreamAudio& Cached(const std::string& key, const std::function<StreamAudio()>& make)
{
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<StreamAudio>> made;
    std::lock_guard lock(mutex);
    auto& slot = made[key];
    if (!slot)
        slot = std::make_unique<StreamAudio>(make());
    return *slot;
}

} // namespace

std::vector<float> Tone(uint64_t frames)
{
    constexpr double kTwoPi = 6.283185307179586;
    std::vector<float> samples;
    samples.reserve(frames * 2);
    for (uint64_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / kRate;
        samples.push_back(static_cast<float>(0.5 * std::cos(kTwoPi * 440 * t)));
        samples.push_back(static_cast<float>(0.5 * std::cos(kTwoPi * 660 * t)));
    }
    return samples;
}

const StreamAudio& Stream(AudioFormat format, double seconds)
{
    return Cached(std::to_string(static_cast<int>(format)) + "/" + std::to_string(seconds),
                  [&] { return Encode(format, seconds); });
}

const StreamAudio& VorbisChain(const std::vector<OggLink>& links)
{
    std::string key = "chain";
    for (const OggLink& link : links)
        key += "/" + link.artist + "\n" + link.title + "\n" + std::to_string(link.seconds);
    return Cached(key, [&] { return EncodeChain(links); });
}

std::vector<OggLink> ThreeLinks()
{
    return {{"Artist One", "Title One", 1}, {"Artist Two", "Title Two", 1}, {"Artist Three", "Title Three", 1}};
}

OggLink LongTitleLink()
{
    return {"Artist Long", "Long " + std::string(10000 - 5, 'x'), 1};
}

std::string_view EndlessAudio::next(size_t most)
{
    if (!audio_.ok() || most == 0)
        return {};
    if (at_ >= current_.size()) {
        current_ = audio_.loop();
        if (audio_.format == AudioFormat::Vorbis || audio_.format == AudioFormat::Opus)
            RenumberOggPages(current_, static_cast<uint32_t>(loops_) * 0x10001u);
        at_ = 0;
        ++loops_;
    }
    const std::string_view piece = std::string_view(current_).substr(at_, most);
    at_ += piece.size();
    return piece;
}

} // namespace servers
