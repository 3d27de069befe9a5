// Adding, removing, clearing, dropping missing entries and the folder scan.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "audio/AudioLibrary.h"
#include "tests/engine/EngineTest.h"
#include "tests/fixtures/Fixtures.h"
#include "testdata/TaggedEncodings.h"

using PlaylistBuildingTest = EngineTest;

TEST_F(PlaylistBuildingTest, DisplayTextsOfAddedEntries) {
    const std::string wav = MakeWav("My Song.v2.wav", 65.4);
    engine->AddEntry(wav);
    EXPECT_EQ(view.rows.back(), "My Song.v2  (01:05)") << "file name without extension, two spaces";
    const std::string junk = MakeJunk("broken.wav");
    engine->AddEntry(junk);
    EXPECT_EQ(view.rows.back(), "broken  (00:00)");

    engine->StationName = "";
    engine->AddEntry("http://127.0.0.1:9/radio");
    EXPECT_EQ(view.rows.back(), "http://127.0.0.1:9/radio");
    engine->StationName = "Radio One";
    engine->AddEntry("http://127.0.0.1:9/one");
    EXPECT_EQ(view.rows.back(), "Radio One");
    EXPECT_EQ(engine->Paths.size(), view.rows.size());

    if (!fixtures::HaveTool("lame")) GTEST_SKIP() << "lame is needed for a tagged MP3";
    const std::string source = MakeWav("tagged.wav", 185.7, 8000, 1);
    const std::string mp3 = dir + "/song.mp3";
    ASSERT_TRUE(fixtures::EncodeMp3(source, mp3, "--ta A --tt B --add-id3v2"));
    engine->AddEntry(mp3);
    EXPECT_EQ(view.rows.back(), "A - B  (03:05)");
    const std::string upper = dir + "/Song.MP3";
    ASSERT_EQ(::link(mp3.c_str(), upper.c_str()), 0);
    engine->AddEntry(upper);
    EXPECT_EQ(view.rows.back(), "Song  (03:05)") << "upper-case extension: no tag read";
}

TEST_F(PlaylistBuildingTest, OpenAndAddThroughTheDialog) {
    const std::string a = MakeWav("a.wav", 1), c = MakeWav("c.wav", 1);
    const std::string upperList = MakeWav("X.M3U", 1);
    engine->AddEntry(a);
    view.openDialogConfirmed = false;
    EXPECT_EQ(engine->AddFromDialog(2), 1);
    EXPECT_EQ(engine->Paths.size(), 1u);

    view.openDialogConfirmed = true;
    view.openDialogFiles = {c, upperList};
    EXPECT_EQ(engine->AddFromDialog(2), 0);
    EXPECT_EQ(engine->Paths, (std::vector<std::string>{a, c, upperList})) << "X.M3U is a media entry";
    EXPECT_EQ(view.eventCalls, 2);
    EXPECT_NE(Read(Autosave()).find(upperList), std::string::npos);

    const std::string list = dir + "/b.pls";
    Write(list, "[playlist]\r\nFile1=" + a + "\r\nTitle1=A\r\nLength1=1\r\nFile2=" + dir +
                    "/gone.wav\r\nTitle2=Gone\r\nLength2=3\r\nNumberOfEntries=2");
    view.openDialogFiles = {a, list, c};
    EXPECT_EQ(engine->AddFromDialog(1), 0);
    EXPECT_EQ(engine->Paths, (std::vector<std::string>{a})) << "the list's entries minus missing files";
    EXPECT_EQ(view.rows, (std::vector<std::string>{"A (00:01)"}));
    EXPECT_EQ(engine->CurrentIndex, 0);
}

TEST_F(PlaylistBuildingTest, RemoveClearAndRemoveMissingKeepTheirIndexes) {
    std::vector<std::string> files;
    for (int i = 0; i < 8; ++i) files.push_back(MakeWav("f" + std::to_string(i) + ".wav", 1));
    AddAll(files);

    engine->RemoveSelected(); // no selection: nothing deleted
    EXPECT_EQ(engine->Paths.size(), 8u);
    view.setSelectedRow(0);
    engine->RemoveSelected();
    EXPECT_EQ(engine->Paths.front(), files[1]);
    EXPECT_EQ(view.selected, 0) << "the former row 1 is selected";

    view.setTopRow(1);
    view.setSelectedRow(4);
    engine->CurrentIndex = 5;
    engine->RemoveSelected();
    EXPECT_EQ(view.selected, 3);
    EXPECT_EQ(view.top, 0);
    EXPECT_EQ(engine->CurrentIndex, 5) << "not adjusted";
    EXPECT_EQ(engine->Paths.size(), view.rows.size());
    EXPECT_EQ(Read(Autosave()).find(files[5]), std::string::npos);

    // Entries removed under the playing one leave CurrentIndex past the end:
    // at the end of the track the step behaves as at the last entry.
    engine->ClearPlaylist();
    AddAll({files[0], files[1], files[2]});
    view.setSelectedRow(2);
    engine->PlaySelectedEntry();
    view.setSelectedRow(0);
    engine->RemoveSelected();
    engine->Loop = true;
    ASSERT_TRUE(PlayToEnd());
    engine->Tick();
    EXPECT_EQ(engine->CurrentIndex, 0);
    EXPECT_EQ(engine->CurrentFile, files[1]);

    // Clearing lets the track play on; at its end nothing follows.
    engine->ClearPlaylist();
    EXPECT_EQ(Activity(), audio::kPlaying);
    struct stat st {};
    EXPECT_NE(::stat(Autosave().c_str(), &st), 0) << "clearing deletes the autosave";
    SeekToEnd(0.3);
    ASSERT_TRUE(TickUntil([&] { return engine->CurrentIndex == -1; }));
    EXPECT_TRUE(view.rows.empty());

    // Missing files, folders and addresses are dropped; the rest keep order.
    AddAll({files[0], files[1], files[2]});
    engine->AddEntry("http://127.0.0.1:9/x");
    engine->AddEntry(dir);
    ::unlink(files[1].c_str());
    engine->CurrentIndex = 3;
    engine->RemoveMissing();
    EXPECT_EQ(engine->Paths, (std::vector<std::string>{files[0], files[2]}));
    EXPECT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(view.rows[1], "f2  (00:01)");
    EXPECT_EQ(engine->CurrentIndex, 3);
}

class FolderScanTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        root = dir + "/music";
        ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((root + "/sub").c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((root + "/sub/deeper").c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((root + "/.hidden").c_str(), 0755), 0);
        found = {MakeWav("music/A.WAV", 1), MakeWav("music/.h.wav", 1), MakeJunk("music/sub/b.Mp3"),
                 MakeJunk("music/sub/deeper/c.ogg"), MakeJunk("music/.hidden/d.xm"),
                 MakeJunk("music/sub/e.mp1"), MakeJunk("music/d.FLAC")};
        MakeJunk("music/c.m3u");
        MakeJunk("music/noext");
        MakeJunk("music/sub/f.aif");
        ASSERT_EQ(::symlink(root.c_str(), (root + "/sub/loop").c_str()), 0);
        ASSERT_EQ(::mkfifo((root + "/pipe.wav").c_str(), 0644), 0);
        std::sort(found.begin(), found.end());
        view.chosenFolder = root + "/";
    }
    std::string root;
    std::vector<std::string> found;
};

TEST_F(FolderScanTest, AddFolderFindsEveryPlayableFileBelowTheFolder) {
    view.chosenFolder = "";
    engine->AddFolderCommand();
    EXPECT_EQ(view.progressShown, 0) << "cancelled chooser: nothing happens";

    view.chosenFolder = root + "/";
    engine->AddFolderCommand();
    EXPECT_EQ(view.folderCaption, "Msg11");
    EXPECT_EQ(view.progressShown, 1);
    EXPECT_EQ(engine->ScanFound, 7);
    EXPECT_EQ(engine->ScanAdded, 7);
    std::vector<std::string> added = engine->Paths;
    std::sort(added.begin(), added.end());
    EXPECT_EQ(added, found) << "case of extensions, hidden files and folders, nested folders; a link loop ends";
    EXPECT_EQ(engine->FolderFiles.size(), 7u);
    EXPECT_EQ(engine->PlaylistWriter.WriteCount(), 1u) << "one autosave for the whole folder";
    for (const std::string& path : found) EXPECT_NE(Read(Autosave()).find(path), std::string::npos);
    EXPECT_EQ(view.selected, 0);
    EXPECT_NE(Channel, 0u) << "playback starts";
}

TEST_F(FolderScanTest, CancellingWhileScanningAbandonsTheCommand) {
    int events = 0;
    view.onEvents = [&] {
        if (++events == 2) engine->ScanCancelled = true;
    };
    engine->AddEntry(MakeWav("kept.wav", 1));
    const uint64_t writes = engine->PlaylistWriter.WriteCount();
    engine->AddFolderCommand();
    EXPECT_EQ(engine->Paths.size(), 1u) << "nothing added";
    EXPECT_EQ(engine->ScanAdded, 0);
    EXPECT_EQ(engine->PlaylistWriter.WriteCount(), writes) << "no autosave";
    EXPECT_EQ(Channel, 0u) << "no playback";
}

TEST_F(FolderScanTest, CancellingWhileAddingKeepsWhatWasAdded) {
    int events = 0;
    view.onEvents = [&] {
        // Seven events while scanning, then one before each added file.
        if (++events == 9) engine->ScanCancelled = true;
    };
    engine->AddFolderCommand();
    EXPECT_EQ(engine->ScanFound, 7);
    EXPECT_EQ(engine->ScanAdded, 2) << "the adding stops after the current file";
    EXPECT_EQ(engine->Paths.size(), 2u);
    EXPECT_NE(Read(Autosave()).find(engine->Paths[1]), std::string::npos);
    EXPECT_NE(Channel, 0u);
}

TEST_F(PlaylistBuildingTest, AFolderOfNewKindsIsAddedInScanOrderWithTagTexts) {
    for (const char* tool : {"flac", "opusenc", "ffmpeg"})
        if (!fixtures::HaveTool(tool)) GTEST_SKIP() << tool << " is needed";
    const std::string folder = dir + "/new";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const std::string wav = MakeWav("source.wav", 2.5);
    const std::map<std::string, std::string> texts = {{"a.flac", "Flac Ärtist - Flac Tïtle  (00:02)"},
                                                      {"b.opus", "Opus Artist - Opus Title  (00:02)"},
                                                      {"c.m4a", "Aac Artist - Aac Title  (00:02)"},
                                                      {"d.mp4", "Alac Title  (00:02)"},
                                                      {"e.aac", "e  (00:02)"}};
    using fixtures::TaggedKind;
    auto encode = [&](TaggedKind kind, const std::string& name, const std::string& title, const std::string& artist) {
        return fixtures::EncodeTagged(kind, wav, folder + "/" + name, {.Title = title, .Artist = artist});
    };
    ASSERT_TRUE(encode(TaggedKind::Flac, "a.flac", "Flac Tïtle", "Flac Ärtist"));
    ASSERT_TRUE(encode(TaggedKind::Opus, "b.opus", "Opus Title", "Opus Artist"));
    ASSERT_TRUE(encode(TaggedKind::M4aAac, "c.m4a", "Aac Title", "Aac Artist"));
    ASSERT_TRUE(encode(TaggedKind::M4aAlac, "d.mp4", "Alac Title", ""));
    ASSERT_TRUE(fixtures::EncodeM4a(wav, folder + "/e.aac"));
    view.chosenFolder = folder;
    engine->AddFolderCommand();
    ASSERT_EQ(engine->Paths, engine->FolderFiles) << "added in the scan's order";
    ASSERT_EQ(view.rows.size(), texts.size());
    for (size_t i = 0; i < view.rows.size(); ++i)
        EXPECT_EQ(view.rows[i], texts.at(engine->Paths[i].substr(folder.size() + 1)));
}
