#include "tests/engine/EngineTest.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "audio/AudioLibrary.h"
#include "tests/fixtures/Fixtures.h"

namespace {

// Channels the library holds below the handle of a fresh probe that pass.
int CountChannels(const std::string& ProbeFile, const std::function<bool(audio::Handle)>& Pass) {
    const audio::Handle probe = audio::openFileChannel(ProbeFile, 0, 0, 0);
    int count = 0;
    for (audio::Handle h = 1; h < probe; ++h)
        if (Pass(h)) ++count;
    audio::releaseStream(probe);
    return count;
}

bool Live(audio::Handle h) {
    audio::ChannelInfo info;
    return audio::channelInfo(h, info);
}

} // namespace

void EngineTest::SetUp() {
    dir = fixtures::MakeTempDir("nilo-engine");
    ASSERT_TRUE(audio::openOutput(-1, 44100, audio::kFloatSamples));
    Channel = 0;
    StartupComplete = true;
    MarqueeWidth = MarqueeStart = MarqueeHoldFull = MarqueeHoldEnd = 0;
    for (int i = 0; i < TMess::kCount; ++i) Messages.Slot(i) = "Msg" + std::to_string(i);
    Messages.Slot(8) = "Stopped";
    Messages.Slot(9) = "Paused";
    Messages.Slot(10) = "Muted";
    engine = std::make_unique<TTonikMain>(view);
    engine->AppDir = dir + "/";
    // Beside the folder, whose files some tests count.
    probe = dir + "-probe.wav";
    ASSERT_TRUE(fixtures::WriteWav16(probe, 44100, 2, std::vector<int16_t>(2 * 4410)));
    engine->Volume = 100;
    engine->Loop = true;
    engine->SaveConfigHook = [this] { ++configSaves; };
    view.onPositionChange = [this] { engine->PositionBarChanged(); };
}

void EngineTest::TearDown() {
    engine.reset();
    EXPECT_EQ(Channel, 0u);
    EXPECT_EQ(LiveChannels(), 0) << "a channel was not released";
    audio::closeOutput();
    fixtures::RemoveTree(dir);
    std::remove(probe.c_str());
}

std::string EngineTest::MakeWav(const std::string& Name, double Seconds, uint32_t Rate, uint32_t Channels) {
    const std::string path = dir + "/" + Name;
    const auto frames = static_cast<uint64_t>(Seconds * Rate);
    EXPECT_TRUE(fixtures::WriteWav16(path, Rate, Channels,
                                     fixtures::ToInt16(fixtures::TestSignal(Rate, Channels, frames))));
    return path;
}

std::string EngineTest::MakeJunk(const std::string& Name) {
    const std::string path = dir + "/" + Name;
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 7919 + 13) % 251));
    Write(path, junk);
    return path;
}

void EngineTest::AddAll(const std::vector<std::string>& Paths) {
    for (const std::string& path : Paths) engine->AddEntry(path);
}

void EngineTest::SeekToEnd(double SecondsBefore) {
    const uint64_t bytes = audio::lengthBytes(Channel);
    const double seconds = audio::bytesToSeconds(Channel, bytes);
    const auto target = static_cast<uint64_t>(static_cast<double>(bytes) * (seconds - SecondsBefore) / seconds);
    audio::seekBytes(Channel, target - target % 8);
}

bool EngineTest::PlayToEnd() {
    const HSTREAM playing = Channel;
    SeekToEnd(0.05);
    return WaitFor([&] { return audio::activity(playing) == audio::kStopped; });
}

bool EngineTest::WaitFor(const std::function<bool()>& Done) {
    for (int i = 0; i < 500; ++i) {
        if (Done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int EngineTest::LiveChannels() const {
    return CountChannels(probe, Live);
}

int EngineTest::PlayingChannels() const {
    return CountChannels(probe, [](audio::Handle h) { return audio::activity(h) == audio::kPlaying; });
}

bool EngineTest::TickUntil(const std::function<bool()>& Done, int MaxTicks) {
    for (int i = 0; i < MaxTicks; ++i) {
        engine->Tick();
        if (Done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int EngineTest::Activity() const {
    return audio::activity(Channel);
}

int EngineTest::ChannelVolume() const {
    int volume = -1;
    audio::readAttributes(Channel, nullptr, &volume, nullptr);
    return volume;
}

int EngineTest::ChannelPan() const {
    int pan = -1000;
    audio::readAttributes(Channel, nullptr, nullptr, &pan);
    return pan;
}

std::string EngineTest::Read(const std::string& Path) const {
    std::ifstream in(Path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void EngineTest::Write(const std::string& Path, const std::string& Content) const {
    std::ofstream(Path, std::ios::binary) << Content;
}
