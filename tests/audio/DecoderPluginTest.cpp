// The WMA and MIDI decoders are plugins: a process that only opens an MP3
// loads neither of them, nor FFmpeg or FluidSynth, while WMA and MIDI files
// (an RMID-wrapped one too) still play through the creation calls.
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

#include "audio/AudioLibrary.h"
#include "AudioTestFiles.h"

using namespace audio;
using audiotest::SignalWav;
using audiotest::TempFolder;

namespace {

bool Mapped(const std::string& library) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(library) != std::string::npos) return true;
    return false;
}

bool Sounds(Handle h) {
    std::vector<float> out(2 * 22050);
    if (renderOutput(h, out.data(), 22050) != 22050) return false;
    for (float sample : out)
        if (sample != 0.0f) return true;
    return false;
}

std::string LittleEndian32(size_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xFF);
    return bytes;
}

bool WriteRmid(const std::string& midi, const std::string& rmid) {
    std::ifstream in(midi, std::ios::binary);
    std::string smf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (smf.size() % 2) smf += '\0';
    std::ofstream out(rmid, std::ios::binary);
    out << "RIFF" << LittleEndian32(12 + smf.size()) << "RMID" << "data" << LittleEndian32(smf.size()) << smf;
    return !smf.empty() && out.good();
}

} // namespace

TEST(DecoderPlugins, LoadOnlyForTheirOwnFiles) {
    TempFolder folder;
    const std::string wav = SignalWav(folder, "a.wav", 44100, 2, 1.0);
    ASSERT_TRUE(fixtures::EncodeMp3(wav, folder / "a.mp3"));
    ASSERT_TRUE(fixtures::EncodeWma(wav, folder / "a.wma"));
    ASSERT_TRUE(fixtures::WriteMidi(folder / "a.mid", 1.0));
    ASSERT_TRUE(WriteRmid(folder / "a.mid", folder / "a.rmi"));

    // The program tries the WMA and MIDI calls on files that the file call
    // refused; here they must refuse an MP3 by its first bytes.
    EXPECT_EQ(openWmaChannel(folder / "a.mp3", kFloatSamples), 0u);
    EXPECT_EQ(openMidiChannel(folder / "a.mp3", 0, 0, kFloatSamples, 44100), 0u);
    const Handle mp3 = openFileChannel(folder / "a.mp3", 0, 0, kFloatSamples);
    ASSERT_NE(mp3, 0u);
    EXPECT_TRUE(Sounds(mp3));
    for (const char* library : {"nilo-wma.so", "nilo-midi.so", "libavformat", "libavcodec", "libavutil",
                                "libswresample", "libfluidsynth"})
        EXPECT_FALSE(Mapped(library)) << library;

    const Handle wma = openWmaChannel(folder / "a.wma", kFloatSamples);
    ASSERT_NE(wma, 0u);
    EXPECT_TRUE(Sounds(wma));
    EXPECT_TRUE(Mapped("nilo-wma.so"));
    EXPECT_FALSE(Mapped("nilo-midi.so"));

    const Handle midi = openMidiChannel(folder / "a.mid", 0, 0, kFloatSamples, 44100);
    ASSERT_NE(midi, 0u);
    EXPECT_TRUE(Sounds(midi));
    EXPECT_TRUE(Mapped("nilo-midi.so"));
    const Handle rmid = openMidiChannel(folder / "a.rmi", 0, 0, kFloatSamples, 44100);
    ASSERT_NE(rmid, 0u);
    EXPECT_EQ(lengthBytes(rmid), lengthBytes(midi));
    for (Handle h : {mp3, wma, midi, rmid}) releaseStream(h);
}
