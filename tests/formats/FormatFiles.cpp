#include "tests/formats/FormatFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <mutex>

#include "audio/AudioLibrary.h"
#include "tests/decoders/DecoderFixtures.h"
#include "tests/fixtures/Fixtures.h"

namespace formats_test {
namespace {

using fixtures::ShellQuote;
using Encoder = std::function<bool(const std::string& wav, const std::string& out)>;

constexpr double kSeconds = 2.5;
constexpr uint32_t kRate = 44100;
// Where CutInTwo cuts: on no block boundary of any of the codecs.
constexpr uint64_t kCutFrame = kRate + 333;

std::string In(const std::string& name)
{
    return decoders_test::ScratchPath(name);
}

std::vector<int16_t> Signal(uint32_t channels)
{
    return fixtures::ToInt16(fixtures::TestSignal(kRate, channels, static_cast<uint64_t>(kSeconds * kRate)));
}

// The PCM sources: the test signal at 44.1 kHz, and 24-bit hi-res copies.
std::string SourceWav(const std::string& name)
{
    const std::string path = In(name + ".wav");
    if (name == "s44")
        EXPECT_TRUE(fixtures::WriteWav16(path, kRate, 2, Signal(2)));
    else if (name == "s44mono")
        EXPECT_TRUE(fixtures::WriteWav16(path, kRate, 1, Signal(1)));
    else
        EXPECT_TRUE(fixtures::Run("ffmpeg -nostdin -v error -y -i " + ShellQuote(SourceWav("s44")) + " -fflags +bitexact -c:a pcm_s24le "
                                  + (name == "s96" ? "-ar 96000" : "-ar 192000 -ac 1") + " " + ShellQuote(path)));
    return path;
}

uint64_t CapturedFrames(const std::string& command, uint32_t bytesPerFrame)
{
    std::string out;
    EXPECT_TRUE(fixtures::Capture(command, out)) << command;
    return out.size() / bytesPerFrame;
}

uint64_t FlacFrames(const std::string& path, uint32_t channels, uint32_t bytes)
{
    return CapturedFrames("flac -d -s -c --force-raw-format --endian=little --sign=signed " + ShellQuote(path),
                          channels * bytes);
}

uint64_t OpusFrames(const std::string& path)
{
    const std::string wav = path + ".ref.wav";
    uint32_t rate = 0;
    uint32_t channels = 0;
    std::vector<float> samples;
    EXPECT_TRUE(fixtures::Run("opusdec --quiet --rate 48000 " + ShellQuote(path) + " " + ShellQuote(wav)));
    EXPECT_TRUE(fixtures::ReadWav(wav, rate, channels, samples));
    return channels ? samples.size() / channels : 0;
}

uint64_t FfmpegFrames(const std::string& path, uint32_t channels)
{
    return CapturedFrames("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f s32le -", 4 * channels);
}

uint64_t DurationTs(const std::string& path)
{
    std::string out;
    EXPECT_TRUE(fixtures::Capture("ffprobe -v error -select_streams a:0 -show_entries stream=duration_ts "
                                  "-of default=nw=1:nk=1 " + ShellQuote(path), out));
    return std::stoull(out.empty() ? "0" : out);
}

struct Recipe {
    const char* name;
    const char* source;
    const char* extension;
    Encoder encode;
    FormatFile file;
    std::function<uint64_t(const FormatFile&)> reference;
};

Encoder Flac(const std::string& extra = "")
{
    return [extra](const std::string& wav, const std::string& out) { return fixtures::EncodeFlac(wav, out, extra); };
}
// FLAC in Ogg written in one pass, as FFmpeg does: the stream information's
// count stays 0.
Encoder OggFlacInOnePass()
{
    return [](const std::string& wav, const std::string& out) {
        return fixtures::Run("ffmpeg -nostdin -v error -y -i " + ShellQuote(wav) + " -c:a flac -f ogg "
                             + ShellQuote(out));
    };
}
Encoder Opus()
{
    return [](const std::string& wav, const std::string& out) { return fixtures::EncodeOpus(wav, out); };
}
Encoder Aac()
{
    return [](const std::string& wav, const std::string& out) { return fixtures::EncodeM4a(wav, out); };
}
// AAC in MP4 without an edit list, its length in iTunes' gapless comment
// (priming 1024 as FFmpeg's encoder has it).
Encoder AacWithItunesComment()
{
    return [](const std::string& wav, const std::string& out) {
        const auto frames = static_cast<uint64_t>(kSeconds * kRate);
        char comment[160];
        std::snprintf(comment, sizeof comment, " 00000000 00000400 00000000 %016llX 00000000 00000000",
                      static_cast<unsigned long long>(frames));
        return fixtures::EncodeM4a(wav, out, "-use_editlist 0")
            && fixtures::Run("/usr/bin/python3 -c " + ShellQuote(std::string("import sys\n"
                             "from mutagen.mp4 import MP4, MP4FreeForm\n"
                             "f = MP4(sys.argv[1])\n"
                             "f['----:com.apple.iTunes:iTunSMPB'] = [MP4FreeForm(sys.argv[2].encode())]\n"
                             "f.save()\n")) + " " + ShellQuote(out) + " " + ShellQuote(comment));
    };
}
Encoder Alac()
{
    return [](const std::string& wav, const std::string& out) { return fixtures::EncodeAlac(wav, out); };
}

const std::vector<Recipe>& Recipes()
{
    using namespace audio;
    auto flac = [](uint32_t bytes) {
        return [bytes](const FormatFile& f) { return FlacFrames(f.path, f.channels, bytes); };
    };
    auto opus = [](const FormatFile& f) { return OpusFrames(f.path); };
    auto ffmpeg = [](const FormatFile& f) { return FfmpegFrames(f.path, f.channels); };
    auto durationTs = [](const FormatFile& f) { return DurationTs(f.path); };
    static const std::vector<Recipe> recipes = {
        {"flac", "s44", ".flac", Flac(), {"", "", "flac", kTypeFlac, 44100, 2, true}, flac(2)},
        {"oggflac", "s44", ".oga", Flac("--ogg"), {"", "", "flac", kTypeFlac, 44100, 2, true}, flac(2)},
        {"oggflac1pass", "s44", ".oga", OggFlacInOnePass(), {"", "", "flac", kTypeFlac, 44100, 2, true}, flac(2)},
        {"flac24x96", "s96", ".flac", Flac(), {"", "", "flac", kTypeFlac, 96000, 2, true}, flac(3)},
        {"flac24x192", "s192", ".flac", Flac(), {"", "", "flac", kTypeFlac, 192000, 1, true}, flac(3)},
        {"opus", "s44", ".opus", Opus(), {"", "", "opus", kTypeOpus, 48000, 2, false}, opus},
        {"opusmono", "s44mono", ".opus", Opus(), {"", "", "opus", kTypeOpus, 48000, 1, false}, opus},
        {"m4a", "s44", ".m4a", Aac(), {"", "", "mp4", kTypeAac, 44100, 2, false}, durationTs},
        {"m4asmpb", "s44", ".m4a", AacWithItunesComment(), {"", "", "mp4", kTypeAac, 44100, 2, false},
         [](const FormatFile&) { return static_cast<uint64_t>(kSeconds * kRate); }},
        {"adts", "s44", ".aac", Aac(), {"", "", "mp4", kTypeAac, 44100, 2, false}, ffmpeg},
        {"alac", "s44", ".m4a", Alac(), {"", "", "mp4", kTypeAlac, 44100, 2, true}, ffmpeg},
        {"alac24x96", "s96", ".m4a", Alac(), {"", "", "mp4", kTypeAlac, 96000, 2, true}, ffmpeg},
    };
    return recipes;
}

const Recipe& RecipeNamed(const std::string& name)
{
    for (const Recipe& r : Recipes())
        if (name == r.name)
            return r;
    ADD_FAILURE() << "no format file " << name;
    return Recipes().front();
}

} // namespace

const std::vector<FormatFile>& FormatFiles()
{
    static std::once_flag made;
    static std::vector<FormatFile> files;
    std::call_once(made, [] {
        std::map<std::string, std::string> sources;
        for (const Recipe& r : Recipes()) {
            FormatFile f = r.file;
            f.name = r.name;
            if (!sources.count(r.source))
                sources[r.source] = SourceWav(r.source);
            f.source = sources[r.source];
            f.path = In(std::string(r.name) + r.extension);
            EXPECT_TRUE(r.encode(f.source, f.path)) << r.name;
            f.referenceFrames = r.reference(f);
            files.push_back(f);
        }
    });
    return files;
}

const FormatFile& FormatFileNamed(const std::string& name)
{
    for (const FormatFile& f : FormatFiles())
        if (f.name == name)
            return f;
    ADD_FAILURE() << "no format file " << name;
    return FormatFiles().front();
}

CutSignal CutInTwo(const std::string& name)
{
    const Recipe& recipe = RecipeNamed(name);
    const std::vector<int16_t> whole = Signal(2);
    const auto cut = whole.begin() + static_cast<ptrdiff_t>(2 * kCutFrame);
    CutSignal parts{In(name + "-1" + recipe.extension), In(name + "-2" + recipe.extension), In(name + "-whole.wav")};
    const std::string first = In(name + "-1.wav");
    const std::string second = In(name + "-2.wav");
    EXPECT_TRUE(fixtures::WriteWav16(parts.whole, kRate, 2, whole));
    EXPECT_TRUE(fixtures::WriteWav16(first, kRate, 2, std::vector<int16_t>(whole.begin(), cut)));
    EXPECT_TRUE(fixtures::WriteWav16(second, kRate, 2, std::vector<int16_t>(cut, whole.end())));
    EXPECT_TRUE(recipe.encode(first, parts.first));
    EXPECT_TRUE(recipe.encode(second, parts.second));
    return parts;
}

} // namespace formats_test
