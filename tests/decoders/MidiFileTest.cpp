#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "audio/decoders/MidiFile.h"
#include "tests/decoders/DecoderFixtures.h"

namespace decoders_test {
namespace {

using Bytes = std::string;

Bytes Be(uint32_t v, int n)
{
    Bytes out;
    for (int i = n - 1; i >= 0; --i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

Bytes Smf(int format, int tracks, uint16_t division, const std::vector<Bytes>& bodies)
{
    Bytes out = "MThd" + Be(6, 4) + Be(format, 2) + Be(tracks, 2) + Be(division, 2);
    for (const Bytes& body : bodies)
        out += "MTrk" + Be(static_cast<uint32_t>(body.size()), 4) + body;
    return out;
}

const Bytes kEnd = Bytes("\xFF\x2F\x00", 3);
Bytes Tempo(uint32_t micros)
{
    return Bytes("\xFF\x51\x03", 3) + Be(micros, 3);
}

std::optional<audio::MidiSong> Parse(const Bytes& b)
{
    return audio::ParseMidiFile(reinterpret_cast<const uint8_t*>(b.data()), b.size());
}

std::vector<audio::MidiEvent> Events(const audio::MidiSong& song)
{
    std::vector<audio::MidiEvent> events;
    audio::MidiEventReader reader(song);
    for (audio::MidiEvent e; reader.next(e);)
        events.push_back(e);
    EXPECT_EQ(events.size(), song.eventCount);
    return events;
}

TEST(MidiFile, TempoChangesAndRunningStatusGiveTheExactLength)
{
    // 96 ticks at 0.5 s a quarter, then 192 ticks at 0.25 s: one second.
    const Bytes track = Bytes(1, '\0') + Tempo(500000) + Bytes("\x00\x90\x3C\x64", 4) + Bytes("\x60\x40\x50", 3)
        + Bytes("\x00", 1) + Tempo(250000) + Bytes("\x81\x40\x3C\x00", 4) + Bytes("\x00\xC1\x05", 3)
        + Bytes("\x00\xF0\x03\x7E\x7F\xF7", 6) + Bytes("\x00", 1) + kEnd;
    const auto song = Parse(Smf(0, 1, 96, {track}));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->endTick, 288u);
    EXPECT_EQ(song->lengthFrames(44100), 44100u);
    EXPECT_EQ(song->lengthFrames(48000), 48000u);
    const auto events = Events(*song);
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[1].status, 0x90) << "running status";
    EXPECT_EQ(events[1].data1, 0x40);
    EXPECT_EQ(events[2].tick, 288u);
    EXPECT_EQ(song->frameAt(96, 44100), 22050u);
    EXPECT_EQ(events[3].status, 0xC1);
    ASSERT_EQ(events[4].status, 0xF0);
    EXPECT_EQ(events[4].sysexLength, 2u) << "F7 dropped";
}

TEST(MidiFile, FormatOneTracksShareTheTempoTrackAndEndAtTheLongest)
{
    const Bytes tempoTrack = Bytes(1, '\0') + Tempo(1000000) + Bytes("\x60", 1) + kEnd;
    const Bytes notes = Bytes("\x00\x90\x40\x40\x83\x00\x80\x40\x00", 9) + Bytes(1, '\0') + kEnd; // ends at 384
    const auto song = Parse(Smf(1, 2, 96, {tempoTrack, notes}));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->endTick, 384u);
    EXPECT_EQ(song->lengthFrames(1000), 4000u) << "four quarters of one second";
    const auto events = Events(*song);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].status, 0x80);
}

TEST(MidiFile, SmpteDivisionCountsTicksPerSecond)
{
    // 25 frames of 40 ticks: 1000 ticks a second; the tempo does not matter.
    const Bytes track = Bytes(1, '\0') + Tempo(100000) + Bytes("\x8B\x5C", 2) + kEnd; // 1500 ticks
    auto song = Parse(Smf(0, 1, 0xE728, {track}));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->lengthFrames(44100), 66150u);
    // 29.97 frames of 2 ticks: 1500 ticks are 1500 * 1001 / 60000 s.
    song = Parse(Smf(0, 1, 0xE302, {track}));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->lengthFrames(60000), 1500u * 1001u);
    EXPECT_FALSE(Parse(Smf(0, 1, 0xE902, {track}))) << "23 frames a second";
    EXPECT_FALSE(Parse(Smf(0, 1, 0xE700, {track}))) << "no ticks a frame";
}

TEST(MidiFile, ForeignAndMalformedHeadersAreRefused)
{
    const Bytes track = Bytes("\x00", 1) + kEnd;
    EXPECT_TRUE(Parse(Smf(1, 1, 96, {track})));
    EXPECT_FALSE(Parse("RIFF...."));
    EXPECT_FALSE(Parse(""));
    EXPECT_FALSE(Parse(Smf(1, 0, 96, {track}))) << "no tracks";
    EXPECT_FALSE(Parse(Smf(3, 1, 96, {track}))) << "format 3";
    EXPECT_FALSE(Parse(Smf(1, 1, 0, {track}))) << "division 0";
    Bytes b = Smf(0, 1, 96, {track});
    b.replace(4, 4, Be(2, 4));
    EXPECT_FALSE(Parse(b)) << "header too short";
    b.replace(4, 4, Be(0xFFFFFFF0u, 4));
    EXPECT_FALSE(Parse(b)) << "header past the end";
    EXPECT_FALSE(Parse("MThd" + Be(6, 4) + Be(0, 2) + Be(1, 2) + Be(96, 2))) << "no track chunk";
}

TEST(MidiFile, DamagedTracksKeepWhatCameBefore)
{
    const Bytes notes = Bytes("\x00\x90\x40\x40\x60\x80\x40\x00", 8);
    // Chunk claims far more than the file holds.
    Bytes b = Smf(0, 1, 96, {notes + Bytes("\x60", 1) + kEnd});
    b.replace(18, 4, Be(0x7FFFFFFF, 4));
    auto song = Parse(b);
    ASSERT_TRUE(song);
    EXPECT_EQ(Events(*song).size(), 2u);
    EXPECT_EQ(song->endTick, 192u);

    // A five-byte delta, a bad system byte, a data byte above 0x7F, a cut
    // meta event.
    for (const Bytes& damage : {Bytes("\x81\x81\x81\x81\x01\x90\x40\x40", 8),
                                Bytes("\x10\xF4", 2), Bytes("\x10\x90\x40\xC0", 4), Bytes("\x10\xFF\x51\x7F\x01", 5)}) {
        song = Parse(Smf(0, 1, 96, {notes + damage + Bytes("\x00\x90\x41\x40", 4) + kEnd}));
        ASSERT_TRUE(song);
        EXPECT_EQ(Events(*song).size(), 2u);
    }
    song = Parse(Smf(0, 1, 96, {Bytes("\x00\x40\x40", 3) + notes + kEnd}));
    ASSERT_TRUE(song);
    EXPECT_TRUE(Events(*song).empty()) << "a data byte before any status";
    // Huge deltas stay in range.
    song = Parse(Smf(0, 1, 1, {Bytes("\xFF\xFF\xFF\x7F", 4) + Bytes("\x90\x40\x40", 3) + Bytes("\xFF\xFF\xFF\x7F", 4) + kEnd}));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->endTick, 2u * 0x0FFFFFFF);
    EXPECT_EQ(song->lengthFrames(44100), 2ull * 0x0FFFFFFF * 44100 / 2);
}

TEST(MidiDecoderSoundFont, NoSoundFontMeansNoDecoder)
{
    const Fixture& midi = GetFixture("midi");
    const char* before = std::getenv("NILO_SOUNDFONT");
    const std::string saved = before ? before : "";
    ::setenv("NILO_SOUNDFONT", ScratchPath("missing.sf2").c_str(), 1);
    EXPECT_FALSE(OpenWith("midi", midi.path));
    ASSERT_TRUE(WriteBytes(ScratchPath("text.sf2"), "not a SoundFont"));
    ::setenv("NILO_SOUNDFONT", ScratchPath("text.sf2").c_str(), 1);
    EXPECT_FALSE(OpenWith("midi", midi.path));
    if (before)
        ::setenv("NILO_SOUNDFONT", saved.c_str(), 1);
    else
        ::unsetenv("NILO_SOUNDFONT");
    EXPECT_TRUE(OpenWith("midi", midi.path));
}

TEST(MidiDecoderSoundFont, ChannelsShareTheFontAcrossThreads)
{
    const Fixture& midi = GetFixture("midi");
    auto single = OpenWith("midi", midi.path);
    ASSERT_TRUE(single);
    const auto expected = ReadAll(*single);
    std::vector<float> results[3];
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&result, &midi] {
            if (auto decoder = OpenWith("midi", midi.path))
                result = ReadAll(*decoder, UINT64_MAX, 777);
        });
    for (auto& t : threads)
        t.join();
    for (const auto& result : results)
        EXPECT_TRUE(result == expected);
}

} // namespace
} // namespace decoders_test
