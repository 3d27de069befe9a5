// Track changes without a gap: the entry that follows is opened ahead and
// started by the library on the sample after the current one's last; the
// timer step then follows, and commands change what is prepared.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "audio/AudioLibrary.h"
#include "audio/EffectsLibrary.h"
#include "effects/EffectChain.h"
#include "tests/audio/AudioTestFiles.h"
#include "tests/engine/EngineTest.h"
#include "tests/fixtures/Fixtures.h"

namespace {

const EqPositions kBands{0, 2, 4, 6, 8, 10, 3, 7};

std::vector<float> ReadFloats(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

bool SilentFrame(const std::vector<float>& Stereo, size_t Frame) {
    return Stereo[2 * Frame] == 0.0f && Stereo[2 * Frame + 1] == 0.0f;
}

} // namespace

// SDL's disk driver at its real-time pace, so that timer steps run while the
// playlist plays, as in the program.
class GaplessDiskTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        audio::closeOutput();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        unsetenv("SDL_DISKAUDIODELAY");
        engine->Loop = false;
    }
    void TearDown() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        EngineTest::TearDown();
    }

    // Plays the playlist from its first entry to its end; the device's file.
    std::string PlayThroughDevice(const std::vector<std::string>& Files) {
        const std::string raw = dir + "/out" + std::to_string(++runs) + ".raw";
        setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
        EXPECT_TRUE(audio::openOutput(-1, 44100, audio::kFloatSamples));
        engine->ClearPlaylist();
        AddAll(Files);
        engine->PlaySelectedEntry();
        EXPECT_TRUE(TickUntil([&] { return engine->CurrentIndex == -1; }, 500));
        engine->StopCommand();
        audio::closeOutput();
        return raw;
    }

    // Each file rendered on a channel of its own, opened as the engine opens it.
    static std::vector<float> Rendered(const std::vector<std::string>& Files, bool Equalizer) {
        std::vector<float> all;
        for (const std::string& file : Files) {
            const HSTREAM h = CreateFileChannel(file, audio::kExactLength, audio::kExactLength);
            if (Equalizer) SetEqualizer(h, 0, kBands);
            std::vector<float> block(2 * 4096);
            for (size_t got; (got = audio::renderOutput(h, block.data(), 4096)) > 0;)
                all.insert(all.end(), block.begin(),
                           block.begin() + static_cast<std::ptrdiff_t>(2 * got));
            FreeChannel(h);
        }
        return all;
    }

    int runs = 0;
};

TEST_F(GaplessDiskTest, PlaylistPlaysAsOneStream) {
    const std::vector<std::string> wavs{MakeWav("a.wav", 0.6), MakeWav("b.wav", 0.45)};
    EXPECT_TRUE(audiotest::DeviceFileHolds(PlayThroughDevice(wavs), Rendered(wavs, false)))
        << "two WAV files";

    // One signal cut in two, each half encoded on its own.
    constexpr size_t kHalf = 26460;
    const std::vector<float> signal = fixtures::TestSignal(44100, 2, 2 * kHalf);
    std::vector<std::string> mp3s;
    for (int half = 0; half < 2; ++half) {
        const std::string name = dir + "/half" + std::to_string(half);
        const auto from = signal.begin() + static_cast<std::ptrdiff_t>(2 * kHalf * half);
        ASSERT_TRUE(fixtures::WriteWav16(
            name + ".wav", 44100, 2,
            fixtures::ToInt16({from, from + static_cast<std::ptrdiff_t>(2 * kHalf)})));
        ASSERT_TRUE(fixtures::EncodeMp3(name + ".wav", name + ".mp3"));
        mp3s.push_back(name + ".mp3");
    }
    EXPECT_TRUE(audiotest::DeviceFileHolds(PlayThroughDevice(mp3s), Rendered(mp3s, false)))
        << "two MP3 halves";

    // Shorter than a timer step: its successor is queued before it starts.
    const std::vector<std::string> blip{wavs[0], MakeWav("blip.wav", 0.05), wavs[1]};
    EXPECT_TRUE(audiotest::DeviceFileHolds(PlayThroughDevice(blip), Rendered(blip, false)))
        << "a file of 0.05 s";

    view.equalizer = true;
    std::copy(kBands.begin(), kBands.end(), view.bands.begin());
    const std::vector<float> heard = ReadFloats(PlayThroughDevice(wavs));
    const size_t start = audiotest::FirstSoundingFrame(heard);
    size_t end = heard.size() / 2;
    while (end > start && SilentFrame(heard, end - 1))
        --end;
    EXPECT_EQ(end - start, Rendered(wavs, true).size() / 2) << "with the equalizer";
    size_t silent = 0;
    for (size_t frame = start; frame < end; ++frame)
        silent += SilentFrame(heard, frame);
    EXPECT_EQ(silent, 0u) << "with the equalizer";
}

using GaplessTest = EngineTest;

TEST_F(GaplessTest, HandOverMovesIndexLengthAndTrackLine) {
    AddAll({MakeWav("First.wav", 2), MakeWav("Second Song.wav", 2.5)});
    engine->PlaySelectedEntry();
    const HSTREAM first = Channel;
    EXPECT_EQ(LiveChannels(), 2) << "the next entry is open from the start";
    const int pictures = view.pictures;
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(audio::positionBytes(first), audio::lengthBytes(first))
        << "played to its last sample";
    EXPECT_EQ(PlayingChannels(), 1) << "the library started the next entry";

    engine->Tick();
    EXPECT_NE(Channel, first);
    EXPECT_EQ(Activity(), audio::kPlaying);
    EXPECT_EQ(engine->CurrentIndex, 1);
    EXPECT_EQ(engine->CurrentFile, engine->Paths[1]);
    EXPECT_NEAR(engine->Length, 2.5, 0.01);
    EXPECT_EQ(engine->TrackInfo.rfind("Second Song (00:02) * Stereo * 44 kHz", 0), 0u)
        << engine->TrackInfo;
    EXPECT_EQ(view.barPos, 0);
    EXPECT_EQ(view.barMax, 2) << "the maximum is left as it was";
    EXPECT_GT(view.pictures, pictures);
    audio::ChannelInfo info;
    EXPECT_FALSE(audio::channelInfo(first, info)) << "the finished channel is released";
    EXPECT_EQ(LiveChannels(), 2) << "the entry after it is prepared (Loop)";

    // After a file of 0.05 s the next one starts without a timer step between.
    engine->ClearPlaylist();
    AddAll({MakeWav("a.wav", 1), MakeWav("blip.wav", 0.05), MakeWav("c.wav", 1)});
    engine->Loop = false;
    view.setSelectedRow(0);
    engine->PlaySelectedEntry();
    EXPECT_EQ(LiveChannels(), 3);
    ASSERT_TRUE(PlayToEnd());
    engine->Tick();
    ASSERT_EQ(engine->CurrentIndex, 1);
    const HSTREAM blip = Channel;
    ASSERT_TRUE(WaitFor([&] { return audio::activity(blip) == audio::kStopped; }));
    EXPECT_EQ(PlayingChannels(), 1);
    engine->Tick();
    EXPECT_EQ(engine->CurrentIndex, 2);
    EXPECT_EQ(Activity(), audio::kPlaying);
    EXPECT_EQ(LiveChannels(), 1) << "the last entry without Loop: nothing follows";
}

TEST_F(GaplessTest, CommandsChangeWhatFollows) {
    const std::vector<std::string> files{MakeWav("a.wav", 2), MakeWav("b.wav", 2),
                                         MakeWav("c.wav", 2)};
    AddAll(files);
    const auto play = [&](int Row) {
        view.setSelectedRow(Row);
        engine->PlaySelectedEntry();
    };
    const auto followed = [&] {
        EXPECT_TRUE(PlayToEnd());
        engine->Tick();
        return engine->CurrentIndex;
    };

    play(2);
    EXPECT_EQ(LiveChannels(), 2);
    engine->Loop = false;
    engine->UpdatePreparedNext();
    EXPECT_EQ(LiveChannels(), 1) << "Loop off at the last entry: nothing follows";
    EXPECT_EQ(followed(), 2);
    EXPECT_EQ(PlayingChannels(), 0);
    engine->Tick();
    EXPECT_EQ(engine->CurrentIndex, -1);

    play(2);
    engine->Loop = true;
    engine->Tick();
    EXPECT_EQ(LiveChannels(), 2);
    EXPECT_EQ(followed(), 0);

    // The shuffled entry is drawn when it is prepared and kept at the hand-over.
    engine->Random.seed(5);
    std::mt19937 draws(5);
    play(0);
    engine->Shuffle = true;
    engine->UpdatePreparedNext();
    EXPECT_EQ(followed(), static_cast<int>(draws() % 3));
    engine->Shuffle = false;

    play(0);
    view.setSelectedRow(1);
    engine->RemoveSelected();
    EXPECT_EQ(followed(), 1);
    EXPECT_EQ(engine->CurrentFile, files[2]) << "the entry after the removed one";

    // A new selection played, Stop: the prepared channels go with the old one.
    play(0);
    play(1);
    EXPECT_EQ(LiveChannels(), 2);
    engine->StopCommand();
    EXPECT_EQ(LiveChannels(), 0);

    // Paused at the end, the next entry waits; resumed, it follows.
    play(0);
    engine->PauseCommand();
    SeekToEnd(0.05);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(PlayingChannels(), 0);
    engine->PauseCommand();
    EXPECT_EQ(followed(), 1);

    // Dragging the bar to its end ends the track.
    const HSTREAM dragged = Channel;
    view.dragged = true;
    view.setBarPosition(view.barMax);
    view.dragged = false;
    ASSERT_TRUE(WaitFor([&] { return audio::activity(dragged) == audio::kStopped; }));
    engine->Tick();
    EXPECT_EQ(engine->CurrentIndex, 0);
    EXPECT_EQ(Activity(), audio::kPlaying);

    // Pause before the timer step has followed: the entry heard is paused.
    ASSERT_TRUE(PlayToEnd());
    engine->PauseCommand();
    EXPECT_EQ(engine->CurrentIndex, 1);
    EXPECT_EQ(Activity(), audio::kPaused);
    EXPECT_EQ(PlayingChannels(), 0);
}

TEST_F(GaplessTest, PreparedChannelCarriesTheSoundControls) {
    AddAll({MakeWav("a.wav", 2), MakeWav("b.wav", 2)});
    engine->PlaySelectedEntry();
    view.volume = 30;
    engine->ApplyVolume();
    view.pan = 2;
    engine->ApplyPan();
    view.equalizer = true;
    view.bands[3] = 0;
    engine->ApplyEqualizer();
    view.filters.reverb = true;
    engine->Tick();
    // Changed on the playing channel only, after the last timer step.
    view.filters.normalize = true;
    view.filters.ampLevel = 4;
    ApplyNormalize(Channel, view.filters);

    ASSERT_TRUE(PlayToEnd());
    engine->Tick();
    ASSERT_EQ(engine->CurrentIndex, 1);
    EXPECT_EQ(ChannelVolume(), 30);
    EXPECT_EQ(ChannelPan(), 100);
    audio::EqBandRecord band;
    band.band = 3;
    ASSERT_TRUE(audio::readEffectParameters(Channel, band));
    EXPECT_EQ(band.gain, 4.0f);
    audio::ReverbRecord reverb;
    EXPECT_TRUE(audio::readEffectParameters(Channel, reverb));
    audio::NormalizeRecord normalize;
    ASSERT_TRUE(audio::readEffectParameters(Channel, normalize));
    EXPECT_EQ(normalize.maxAmp, 4.0f);
}

TEST_F(GaplessTest, FailingFileOrAddressNextIsLeftToTheEndOfTheTrack) {
    const std::string wav = MakeWav("a.wav", 1);
    const std::string address = "http://127.0.0.1:9/none";
    AddAll({wav, MakeJunk("junk.mp3")});
    engine->Loop = false;
    engine->PlaySelectedEntry();
    EXPECT_EQ(LiveChannels(), 1) << "nothing queued";
    const HSTREAM first = Channel;
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(audio::positionBytes(first), audio::lengthBytes(first));
    engine->Tick();
    EXPECT_EQ(engine->CurrentIndex, 1);
    EXPECT_EQ(engine->Length, 0);
    engine->Tick();
    EXPECT_EQ(engine->CurrentIndex, -1);

    engine->ClearPlaylist();
    AddAll({wav, address});
    engine->PlaySelectedEntry();
    EXPECT_EQ(LiveChannels(), 1) << "an address is not opened ahead";
    ASSERT_TRUE(PlayToEnd());
    engine->Tick();
    EXPECT_EQ(engine->CurrentIndex, 1);
    EXPECT_EQ(engine->CurrentFile, address);
    EXPECT_EQ(engine->Length, -1) << "opened as a stream";
}
