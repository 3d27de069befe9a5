// Starting, pausing, stopping, the end of a track, Next and Previous, the
// retry after an unplayable file and seeking, on real channels.
#include <set>

#include "audio/AudioLibrary.h"
#include "tests/engine/EngineTest.h"

using PlaybackTest = EngineTest;

TEST_F(PlaybackTest, StartPauseResumeStop) {
    AddAll({MakeWav("one.wav", 3), MakeWav("two.wav", 3)});
    engine->PauseCommand(); // nothing playing: no effect
    EXPECT_EQ(Channel, 0u);

    engine->PlaySelectedEntry();
    ASSERT_NE(Channel, 0u);
    EXPECT_EQ(Activity(), audio::kPlaying);
    EXPECT_EQ(engine->CurrentIndex, 0);
    EXPECT_EQ(view.selected, 0);
    EXPECT_EQ(engine->CurrentFile, engine->Paths[0]);
    EXPECT_NEAR(engine->Length, 3.0, 0.01);
    EXPECT_EQ(view.barMax, 3);

    engine->PauseCommand();
    EXPECT_EQ(Activity(), audio::kPaused);
    engine->Tick();
    EXPECT_EQ(view.tipText, "PAUSED");
    EXPECT_EQ(view.applicationTitle, "Paused - Nilo Music Player");
    engine->PauseCommand();
    EXPECT_EQ(Activity(), audio::kPlaying);

    const HSTREAM played = Channel;
    engine->StopCommand();
    EXPECT_EQ(Channel, 0u);
    audio::ChannelInfo info;
    EXPECT_FALSE(audio::channelInfo(played, info)) << "Stop frees the channel";
    engine->Tick();
    EXPECT_EQ(engine->CurrentIndex, -1);
    EXPECT_EQ(view.tipText, "STOPPED");
    EXPECT_EQ(view.timeLabel, " 00:00");
    EXPECT_EQ(view.barPos, 0);
    EXPECT_EQ(view.applicationTitle, "Stopped - Nilo Music Player");
    EXPECT_EQ(view.selected, 0) << "the selection keeps its highlight";
}

TEST_F(PlaybackTest, EndOfTrackByLoopShuffleAndPlaylistSize) {
    const std::string a = MakeWav("a.wav", 2), b = MakeWav("b.wav", 2), c = MakeWav("c.wav", 2);
    struct Case {
        int entries;
        int playing;
        bool loop;
        bool shuffle;
    };
    for (const Case& k : {Case{3, 0, false, false}, Case{3, 2, false, false}, Case{3, 2, true, false},
                          Case{3, 2, false, true}, Case{3, 2, true, true}, Case{3, 0, false, true},
                          Case{3, 0, true, true}, Case{1, 0, true, false}, Case{1, 0, false, false},
                          Case{1, 0, true, true}, Case{1, 0, false, true}}) {
        SCOPED_TRACE(testing::Message() << k.entries << " entries, playing " << k.playing << ", loop "
                                        << k.loop << ", shuffle " << k.shuffle);
        engine->ClearPlaylist();
        AddAll(k.entries == 3 ? std::vector<std::string>{a, b, c} : std::vector<std::string>{a});
        engine->Loop = k.loop;
        engine->Shuffle = k.shuffle;
        engine->Random.seed(7);
        view.setSelectedRow(k.playing);
        engine->PlaySelectedEntry();
        ASSERT_EQ(engine->CurrentIndex, k.playing);
        const HSTREAM first = Channel;
        ASSERT_TRUE(PlayToEnd());
        engine->Tick();

        const bool goesOn = k.loop || (k.entries == 3 && k.playing < 2);
        if (goesOn) {
            EXPECT_NE(Channel, first) << "a new channel for the next entry";
            EXPECT_EQ(Activity(), audio::kPlaying);
            if (k.entries == 1)
                EXPECT_EQ(engine->CurrentIndex, 0);
            else if (!k.shuffle)
                EXPECT_EQ(engine->CurrentIndex, (k.playing + 1) % 3);
            else
                EXPECT_TRUE(engine->CurrentIndex >= 0 && engine->CurrentIndex < 3);
            EXPECT_EQ(engine->CurrentFile, engine->Paths[engine->CurrentIndex]);
            EXPECT_EQ(view.barPos, 0);
        } else {
            EXPECT_EQ(Activity(), audio::kStopped);
            EXPECT_EQ(engine->CurrentIndex, k.playing) << "stays on the entry that ended";
            engine->Tick();
            EXPECT_EQ(engine->CurrentIndex, -1);
            EXPECT_EQ(view.tipText, "STOPPED");
        }
        engine->StopCommand();
    }
}

TEST_F(PlaybackTest, ShuffleDrawsFromAllEntriesIncludingTheOneThatEnded) {
    AddAll({MakeWav("a.wav", 2), MakeWav("b.wav", 2), MakeWav("c.wav", 2)});
    engine->Shuffle = true;
    engine->Random.seed(3);
    std::set<int> seen;
    view.setSelectedRow(1);
    engine->PlaySelectedEntry();
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(PlayToEnd());
        engine->Tick();
        seen.insert(engine->CurrentIndex);
    }
    EXPECT_EQ(seen, (std::set<int>{0, 1, 2}));
}

TEST_F(PlaybackTest, NextAndPreviousStepScrollAndWrap) {
    std::vector<std::string> files;
    for (int i = 0; i < 8; ++i) files.push_back(MakeWav("t" + std::to_string(i) + ".wav", 1));
    engine->NextEntry(); // empty playlist: nothing
    EXPECT_EQ(Channel, 0u);
    AddAll(files);
    engine->Loop = false;

    engine->NextEntry(); // from the stopped state: the first entry
    EXPECT_EQ(engine->CurrentIndex, 0);
    EXPECT_EQ(engine->CurrentFile, files[0]);
    for (int i = 1; i <= 5; ++i) {
        engine->StopCommand();
        engine->NextEntry();
    }
    EXPECT_EQ(engine->CurrentIndex, 5);
    EXPECT_EQ(view.top, 0);
    engine->StopCommand();
    engine->NextEntry();
    EXPECT_EQ(engine->CurrentIndex, 6);
    EXPECT_EQ(view.top, 1) << "scrolled so that the entry is visible";
    engine->StopCommand();
    engine->NextEntry();
    engine->StopCommand();
    engine->NextEntry(); // past the last: wraps whatever Loop says
    EXPECT_EQ(engine->CurrentIndex, 0);
    EXPECT_EQ(view.top, 0);
    EXPECT_EQ(engine->CurrentFile, files[0]);

    engine->StopCommand();
    engine->PreviousEntry();
    EXPECT_EQ(engine->CurrentIndex, 7);
    EXPECT_EQ(view.top, 2) << "the last entry is the lowest visible row";
    EXPECT_EQ(engine->CurrentFile, files[7]);
    for (int i = 0; i < 5; ++i) {
        engine->StopCommand();
        engine->PreviousEntry();
    }
    EXPECT_EQ(engine->CurrentIndex, 2);
    EXPECT_EQ(view.top, 2);
    engine->StopCommand();
    engine->PreviousEntry();
    EXPECT_EQ(engine->CurrentIndex, 1);
    EXPECT_EQ(view.top, 1);
    EXPECT_EQ(Activity(), audio::kPlaying);
}

TEST_F(PlaybackTest, PreviousFromStoppedWithoutSelectionStartsTheLastEntry) {
    AddAll({MakeWav("a.wav", 1), MakeWav("b.wav", 1), MakeWav("c.wav", 1)});
    ASSERT_EQ(view.selected, -1);
    engine->PreviousEntry();
    EXPECT_EQ(engine->CurrentIndex, 2);
    EXPECT_EQ(engine->CurrentFile, engine->Paths[2]);
}

TEST_F(PlaybackTest, UnplayableEntryGetsOneRetryWithTheNext) {
    const std::string junk = MakeJunk("junk.mp3");
    const std::string empty = MakeWav("empty.wav", 0);
    const std::string good = MakeWav("good.wav", 2);
    AddAll({junk, good});
    engine->PlaySelectedEntry();
    EXPECT_EQ(engine->CurrentIndex, 1);
    EXPECT_EQ(engine->CurrentFile, good);
    EXPECT_EQ(Activity(), audio::kPlaying);
    engine->StopCommand();

    // The retry wraps to the first entry; an empty file's channel is released.
    engine->ClearPlaylist();
    AddAll({good, empty});
    view.setSelectedRow(1);
    engine->PlaySelectedEntry();
    EXPECT_EQ(engine->CurrentIndex, 0);
    EXPECT_EQ(engine->CurrentFile, good);
    engine->StopCommand();

    // Two failures: silence, and the stopped state at the next tick.
    engine->ClearPlaylist();
    AddAll({junk, junk, good});
    engine->PlaySelectedEntry();
    EXPECT_EQ(engine->Length, 0);
    EXPECT_EQ(engine->CurrentIndex, 1);
    engine->Tick();
    EXPECT_EQ(engine->CurrentIndex, -1);
    EXPECT_EQ(view.tipText, "STOPPED");
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(PlaybackTest, DraggingTheSeekBarSilencesAndMovesTheChannel) {
    AddAll({MakeWav("long.wav", 10)});
    engine->PlaySelectedEntry();
    ASSERT_EQ(view.barMax, 10);
    EXPECT_EQ(ChannelVolume(), 100);
    const int savesBefore = configSaves;

    view.dragged = true;
    view.setBarPosition(5);
    EXPECT_EQ(ChannelVolume(), 0);
    EXPECT_NEAR(PositionSeconds(Channel), 5.0, 0.1);
    view.setBarPosition(8);
    EXPECT_NEAR(PositionSeconds(Channel), 8.0, 0.1);
    EXPECT_EQ(configSaves, savesBefore) << "no volume while dragging";

    view.dragged = false;
    view.volume = 70;
    ASSERT_TRUE(TickUntil([&] { return ChannelVolume() == 70; }, 100)) << "the next change restores the volume";
    EXPECT_GT(configSaves, savesBefore);

    engine->Mute = true;
    engine->ApplyMute();
    EXPECT_TRUE(view.muteGlyph);
    view.dragged = true;
    view.setBarPosition(2);
    view.dragged = false;
    view.setBarPosition(3);
    engine->Tick();
    EXPECT_EQ(ChannelVolume(), 0) << "muted: the volume stays at 0 after the drag";
    engine->Mute = false;
    engine->ApplyMute();
    EXPECT_EQ(ChannelVolume(), 70);
    EXPECT_FALSE(view.muteGlyph);
}

TEST_F(PlaybackTest, NewChannelGetsStoredVolumePanAndMute) {
    AddAll({MakeWav("a.wav", 2), MakeWav("b.wav", 2)});
    view.pan = 0;
    engine->ApplyPan();
    EXPECT_EQ(engine->Pan, -1);
    view.volume = 40;
    engine->PlaySelectedEntry();
    EXPECT_EQ(ChannelPan(), -100) << "the new channel plays where the pan control stands";
    EXPECT_EQ(ChannelVolume(), 40);
    EXPECT_EQ(engine->Volume, 40);

    engine->Mute = true;
    engine->ApplyMute();
    view.volume = 90;
    engine->ApplyVolume();
    EXPECT_EQ(engine->Volume, 90);
    EXPECT_EQ(ChannelVolume(), 0) << "muted: stored, not sent";
    ASSERT_TRUE(PlayToEnd());
    engine->Tick(); // the next entry
    EXPECT_EQ(engine->CurrentIndex, 1);
    EXPECT_EQ(ChannelVolume(), 0);
    EXPECT_EQ(ChannelPan(), -100);

    // Out-of-range stored values block the controls.
    engine->Volume = 101;
    view.volume = 10;
    engine->ApplyVolume();
    EXPECT_EQ(engine->Volume, 101);
}

TEST_F(PlaybackTest, SettingsAreSavedOnlyOnceStartupIsComplete) {
    StartupComplete = false;
    engine->ApplyVolume();
    engine->ApplyPan();
    EXPECT_EQ(configSaves, 0);
    StartupComplete = true;
    engine->ApplyVolume();
    engine->ApplyPan();
    EXPECT_EQ(configSaves, 2);
}

TEST_F(PlaybackTest, StreamThatCannotBeOpened) {
    const std::string address = "http://127.0.0.1:9/none";
    engine->StationName = "";
    engine->AddEntry(address);
    EXPECT_EQ(view.rows[0], address);
    engine->PlaySelectedEntry();
    EXPECT_EQ(Channel, 0u);
    EXPECT_TRUE(engine->Paths.empty()) << "the only entry: the playlist is cleared";
    EXPECT_TRUE(view.rows.empty());
    EXPECT_TRUE(Read(Autosave()).empty());

    // The end of a local track before an address opens the address as a stream.
    AddAll({MakeWav("a.wav", 2), address});
    engine->PlaySelectedEntry();
    ASSERT_TRUE(PlayToEnd());
    engine->Tick();
    EXPECT_EQ(engine->CurrentIndex, 1);
    EXPECT_EQ(engine->CurrentFile, address);
    EXPECT_EQ(engine->Length, -1) << "opened as a stream";
    EXPECT_EQ(engine->Paths.size(), 2u) << "other entries stay";
}
