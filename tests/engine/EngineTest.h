// Shared set-up of the engine tests: a temporary AppDir, the real audio
// library on SDL's dummy driver, the in-memory window wired to one engine,
// and a check that no test leaves a channel behind.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engine/Tonik_main.h"
#include "tests/engine/MemoryView.h"

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A stereo 44.1 kHz WAV of the given length in the temporary folder.
    std::string MakeWav(const std::string& Name, double Seconds, uint32_t Rate = 44100,
                        uint32_t Channels = 2);
    // A file of bytes that no decoder takes.
    std::string MakeJunk(const std::string& Name);
    // Adds each file through AddEntry.
    void AddAll(const std::vector<std::string>& Paths);
    // Moves the current channel to Seconds before its end.
    void SeekToEnd(double SecondsBefore);
    // Moves the current channel close to its end and waits, without a timer
    // step, until it has played its last sample; false if it never does.
    bool PlayToEnd();
    // Waits, without a timer step, until Done; false after some seconds.
    static bool WaitFor(const std::function<bool()>& Done);
    // Channels the library holds, and those of them playing.
    int LiveChannels() const;
    int PlayingChannels() const;
    // Ticks (with a short pause between) until Done or MaxTicks; true when done.
    bool TickUntil(const std::function<bool()>& Done, int MaxTicks = 200);
    int Activity() const;
    int ChannelVolume() const;
    int ChannelPan() const;
    std::string Read(const std::string& Path) const;
    void Write(const std::string& Path, const std::string& Content) const;
    std::string Autosave() const { return dir + "/current.m3u"; }

    std::string dir;
    std::string probe;
    MemoryView view;
    std::unique_ptr<TTonikMain> engine;
    int configSaves = 0;
};
