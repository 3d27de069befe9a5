// nilo-audio run as a process: info on every kind, render against itself,
// and play through SDL's disk driver against render.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <sstream>
#include <tuple>
#include <sys/wait.h>

#include "tests/audio/AudioTestFiles.h"
#include "tests/fixtures/Fixtures.h"

using audiotest::TempFolder;

namespace {

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs nilo-audio with the arguments (already quoted) and environment.
Result Tool(const TempFolder& folder, const std::string& arguments, const std::string& environment = "") {
    const std::string out = folder / "stdout.txt";
    const std::string err = folder / "stderr.txt";
    const int raw = std::system((environment + " " + Quote(NILO_AUDIO) + " " + arguments + " >" +
                                 Quote(out) + " 2>" + Quote(err))
                                    .c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadText(out);
    r.err = ReadText(err);
    return r;
}

std::map<std::string, std::string> Fields(const std::string& text) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return fields;
}

std::vector<float> Rendered(const std::string& path) {
    uint32_t rate = 0, channels = 0;
    std::vector<float> samples;
    EXPECT_TRUE(fixtures::ReadWav(path, rate, channels, samples)) << path;
    EXPECT_EQ(rate, 44100u);
    EXPECT_EQ(channels, 2u);
    return samples;
}

} // namespace

TEST(NiloAudioInfo, DescribesEveryKind) {
    TempFolder folder;
    const std::string wav = audiotest::SignalWav(folder, "a.wav", 44100, 2, 0.5);
    const std::string source = audiotest::SignalWav(folder, "source.wav", 44100, 2, 1.0);
    const std::string aiff = folder / "b.aiff";
    ASSERT_TRUE(fixtures::WriteAiff16(aiff, 22050, 1,
                                      fixtures::ToInt16(fixtures::TestSignal(22050, 1, 22050))));
    ASSERT_TRUE(fixtures::EncodeMp3(source, folder / "c.mp3"));
    ASSERT_TRUE(fixtures::EncodeOgg(source, folder / "d.ogg"));
    ASSERT_TRUE(fixtures::EncodeWma(source, folder / "e.wma"));
    ASSERT_TRUE(fixtures::WriteMod(folder / "f.mod", 2.0));
    ASSERT_TRUE(fixtures::WriteMidi(folder / "g.mid", 2.0));

    struct Expected {
        std::string file, kind, type, rate, channels, floats;
        double seconds, tolerance;
    };
    const Expected expected[] = {
        {wav, "file", "0x30001", "44100", "2", "1", 0.5, 0},
        {aiff, "file", "0x30002", "22050", "1", "1", 1.0, 0},
        {folder / "c.mp3", "file", "0x30005", "44100", "2", "1", 1.0, 0.03},
        {folder / "d.ogg", "file", "0x30006", "44100", "2", "1", 1.0, 0},
        {folder / "e.wma", "wma", "0x40000", "44100", "2", "0", 1.0, 0.1},
        {folder / "f.mod", "module", "0x20000", "44100", "2", "1", 2.0, 1.0},
        {folder / "g.mid", "midi", "0x50000", "44100", "2", "0", 2.0, 1.0},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.file);
        const Result r = Tool(folder, "info " + Quote(e.file));
        ASSERT_EQ(r.status, 0) << r.err;
        auto fields = Fields(r.out);
        EXPECT_EQ(fields.size(), 7u);
        EXPECT_EQ(fields["kind"], e.kind);
        EXPECT_EQ(fields["type"], e.type);
        EXPECT_EQ(fields["rate"], e.rate);
        EXPECT_EQ(fields["channels"], e.channels);
        EXPECT_EQ(fields["float"], e.floats);
        const double seconds = std::stod(fields["length_seconds"]);
        EXPECT_NEAR(seconds, e.seconds, e.tolerance + 1e-6);
        // Bytes and seconds agree through the channel's own format.
        const double frameBytes = std::stod(e.channels) * (e.floats == "1" ? 4 : 2);
        EXPECT_NEAR(std::stod(fields["length_bytes"]) / frameBytes / std::stod(e.rate), seconds, 1e-6);
        EXPECT_EQ(fields["length_seconds"].find('.') + 7, fields["length_seconds"].size());
    }
    EXPECT_EQ(Fields(Tool(folder, "info " + Quote(wav)).out)["length_bytes"], "176400");
}

TEST(NiloAudioInfo, RefusesWhatNoCreationCallAccepts) {
    TempFolder folder;
    const std::string text = folder / "readme.mp3";
    std::ofstream(text) << "Just some words, not a song.\n";
    const Result r = Tool(folder, "info " + Quote(text));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find(text), std::string::npos);
    size_t reasons = 0;
    for (size_t at = r.err.find("nilo-audio:"); at != std::string::npos; at = r.err.find("nilo-audio:", at + 1))
        ++reasons;
    EXPECT_EQ(reasons, 1u);
    EXPECT_EQ(r.err.back(), '\n');

    EXPECT_EQ(Tool(folder, "info").status, 1);
    EXPECT_EQ(Tool(folder, "transcode " + Quote(text)).status, 2);
}

TEST(NiloAudioRender, VolumePanAndStartShapeTheSamples) {
    TempFolder folder;
    const std::string wav = audiotest::SignalWav(folder, "a.wav", 44100, 2, 1.0);
    const auto render = [&](const std::string& name, const std::string& options) {
        const Result r = Tool(folder, "render " + Quote(wav) + " " + Quote(folder / name) + " " + options);
        EXPECT_EQ(r.status, 0) << r.err;
        return Rendered(folder / name);
    };
    const std::vector<float> full = render("full.wav", "--volume 100");
    ASSERT_EQ(full.size(), 2u * 44100);
    const std::vector<float> half = render("half.wav", "--volume 50");
    const std::vector<float> left = render("left.wav", "--pan -100");
    ASSERT_EQ(half.size(), full.size());
    ASSERT_EQ(left.size(), full.size());
    for (size_t i = 0; i < full.size(); i += 2) {
        ASSERT_EQ(half[i], full[i] * 0.5f) << i;
        ASSERT_EQ(half[i + 1], full[i + 1] * 0.5f) << i;
        ASSERT_EQ(left[i], full[i]) << i;
        ASSERT_EQ(left[i + 1], 0.0f) << i;
    }

    const std::vector<float> tail = render("tail.wav", "--start 0.25");
    ASSERT_EQ(tail.size(), full.size() - 2 * 11025);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), full.begin() + 2 * 11025));
    const std::vector<float> piece = render("piece.wav", "--start 0.5 --duration 0.1");
    ASSERT_EQ(piece.size(), 2u * 4410);
    EXPECT_TRUE(std::equal(piece.begin(), piece.end(), full.begin() + 2 * 22050));
}

TEST(NiloAudioRender, BadRequestsFailWithoutTouchingTheOutput) {
    TempFolder folder;
    const std::string wav = audiotest::SignalWav(folder, "a.wav", 44100, 2, 0.2);
    const std::string out = folder / "out.wav";
    for (const char* options :
         {"--start 5", "--volume 101", "--pan -101", "--speed 2", "--duration", "--start x"}) {
        SCOPED_TRACE(options);
        const Result r = Tool(folder, "render " + Quote(wav) + " " + Quote(out) + " " + options);
        EXPECT_EQ(r.status, 1);
        EXPECT_FALSE(r.err.empty());
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // A render that cannot start leaves an older file as it was.
    std::ofstream(out) << "keep me";
    EXPECT_EQ(Tool(folder, "render " + Quote(folder / "missing.wav") + " " + Quote(out)).status, 1);
    EXPECT_EQ(ReadText(out), "keep me");
    EXPECT_EQ(Tool(folder, "render " + Quote(wav) + " " + Quote(folder / "no/such/dir.wav")).status, 1);
}

TEST(NiloAudioPlay, TheDeviceReceivesWhatRenderDelivers) {
    TempFolder folder;
    for (const auto& [name, rate, channels] :
         {std::tuple{"stereo.wav", 44100u, 2u}, std::tuple{"mono.wav", 22050u, 1u}}) {
        SCOPED_TRACE(name);
        const std::string wav = audiotest::SignalWav(folder, name, rate, channels, 0.4);
        ASSERT_EQ(Tool(folder, "render " + Quote(wav) + " " + Quote(folder / "r.wav")).status, 0);
        const std::vector<float> expected = Rendered(folder / "r.wav");

        const std::string raw = folder / "device.raw";
        const Result r = Tool(folder, "play " + Quote(wav),
                              "SDL_AUDIODRIVER=disk SDL_DISKAUDIODELAY=0 SDL_DISKAUDIOFILE=" + Quote(raw));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(audiotest::DeviceFileHolds(raw, expected));
    }
}

TEST(NiloAudioPlay, FailsWithAReasonAndStopsWhenAsked) {
    TempFolder folder;
    const std::string wav = audiotest::SignalWav(folder, "long.wav", 44100, 2, 20.0);
    const Result noDevice = Tool(folder, "play " + Quote(wav),
                                 "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=" + Quote(folder / "no/dir/x.raw"));
    EXPECT_EQ(noDevice.status, 1);
    EXPECT_NE(noDevice.err.find("device"), std::string::npos);

    const Result noFile = Tool(folder, "play " + Quote(folder / "missing.ogg"), "SDL_AUDIODRIVER=dummy");
    EXPECT_EQ(noFile.status, 1);
    EXPECT_NE(noFile.err.find("missing.ogg"), std::string::npos);

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Tool(folder, "play " + Quote(wav) + " --seconds 0.2", "SDL_AUDIODRIVER=dummy").status, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
}
