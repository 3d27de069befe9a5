// M3U and PLS files: what is written, round trips, the reading quirks of
// our own files, foreign and damaged files, and the autosave.
#include <sys/stat.h>
#include <unistd.h>

#include "tests/engine/EngineTest.h"

class PlaylistFilesTest : public EngineTest {
  protected:
    void Entries(const std::vector<std::pair<std::string, std::string>>& Entries) {
        engine->Paths.clear();
        view.rows.clear();
        for (const auto& [path, text] : Entries) {
            engine->Paths.push_back(path);
            view.rows.push_back(text);
        }
    }
    bool Exists(const std::string& Path) const {
        struct stat st {};
        return ::stat(Path.c_str(), &st) == 0;
    }
};

TEST_F(PlaylistFilesTest, SavedM3UAndPLSContent) {
    Entries({{"/m/a.mp3", "Artist - Song  (03:05)"}, {"/m/b.wav", "Intro (01:04)"}});
    engine->SaveM3U(dir + "/list.txt");
    EXPECT_EQ(Read(dir + "/list.m3u"),
              "#EXTM3U\r\n#EXTINF:185,Artist - Song \r\n/m/a.mp3\r\n#EXTINF:64,Intro\r\n/m/b.wav");
    engine->SavePLS(dir + "/list.m3u");
    EXPECT_EQ(Read(dir + "/list.pls"), "[playlist]\r\nFile1=/m/a.mp3\r\nTitle1=Artist - Song \r\nLength1=185\r\n"
                                       "File2=/m/b.wav\r\nTitle2=Intro\r\nLength2=64\r\nNumberOfEntries=2");
    engine->SaveM3U("");
    EXPECT_EQ(Read(Autosave()), Read(dir + "/list.m3u"));

    // A single local entry is written like any other playlist.
    Entries({{"/m/a.mp3", "Song  (00:07)"}});
    engine->SaveM3U("");
    EXPECT_EQ(Read(Autosave()), "#EXTM3U\r\n#EXTINF:7,Song \r\n/m/a.mp3");
    // A single address, or nothing at all: the autosave is deleted.
    Entries({{"http://127.0.0.1:9/s", "http://127.0.0.1:9/s"}});
    engine->SaveM3U("");
    EXPECT_FALSE(Exists(Autosave()));
    engine->SaveM3U("");
    Entries({});
    engine->SavePLS(dir + "/empty.pls");
    EXPECT_FALSE(Exists(dir + "/empty.pls"));
    Entries({{"/m/a.mp3", "Song  (00:07)"}});
    engine->SaveM3U("");
    Entries({});
    engine->SaveM3U(dir + "/named.m3u");
    EXPECT_FALSE(Exists(Autosave()));
    EXPECT_FALSE(Exists(dir + "/named.m3u"));

    // Durations of 100 minutes and more, streams and line ends in titles.
    Entries({{"/m/long.wav", "Long  (100:05)"},
             {"http://127.0.0.1:9/r", "Radio One"},
             {"/m/t.mp3", "Two\nlines  (00:01)"}});
    engine->SaveM3U(dir + "/more");
    EXPECT_EQ(Read(dir + "/more.m3u"), "#EXTM3U\r\n#EXTINF:6005,Long \r\n/m/long.wav\r\n#EXTINF:-1,Radio One\r\n"
                                       "http://127.0.0.1:9/r\r\n#EXTINF:1,Two lines \r\n/m/t.mp3");
}

TEST_F(PlaylistFilesTest, RoundTripsKeepDisplayTexts) {
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"/m/a.mp3", "Artist - Song, with comma  (03:05)"},
        {"/m/b c/d=e.wav", "Intro (01:04)"},
        {"http://127.0.0.1:9/r", "Radio One"},
        {"http://127.0.0.1:9/plain", "http://127.0.0.1:9/plain"},
        {"/m/\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F.ogg", "\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F  (10:00)"}};
    Entries(entries);
    engine->SaveM3U(dir + "/round.m3u");
    engine->SavePLS(dir + "/round.pls");
    for (const std::string file : {"round.m3u", "round.pls"}) {
        SCOPED_TRACE(file);
        Entries({});
        if (file.back() == 'u')
            engine->LoadM3U(dir + "/" + file);
        else
            engine->LoadPLS(dir + "/" + file);
        ASSERT_EQ(engine->Paths.size(), entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(engine->Paths[i], entries[i].first);
            EXPECT_EQ(view.rows[i], entries[i].second) << "a title keeps the space before its \"(\"";
        }
    }
    // Saving what was loaded gives the same file again.
    const std::string first = Read(dir + "/round.pls");
    engine->SavePLS(dir + "/again.pls");
    EXPECT_EQ(Read(dir + "/again.pls"), first);
}

TEST_F(PlaylistFilesTest, ReadingOurOwnFormat) {
    engine->LoadM3U(dir + "/missing.m3u");
    engine->LoadPLS("");
    EXPECT_TRUE(engine->Paths.empty());

    Write(dir + "/own.m3u", "#EXTM3U\r\n#EXTINF:185,A, B\r\n/m/a.mp3\r\n#EXTINF:4294967296,Big\r\n/m/b.mp3\r\n");
    engine->LoadM3U(dir + "/own.m3u");
    EXPECT_EQ(engine->Paths, (std::vector<std::string>{"/m/a.mp3", "/m/b.mp3"})) << "no extra entry at the end";
    EXPECT_EQ(view.rows[0], "A, B (03:05)");

    // A length that is no number ends the reading; what came before stays.
    Entries({});
    Write(dir + "/bad.m3u", "#EXTM3U\n#EXTINF:12,One\n/m/1.mp3\n#EXTINF:x,Two\n/m/2.mp3\n#EXTINF:3,Three\n/m/3.mp3");
    engine->LoadM3U(dir + "/bad.m3u");
    EXPECT_EQ(engine->Paths, (std::vector<std::string>{"/m/1.mp3"}));

    Entries({});
    Write(dir + "/own.pls", "[playlist]\r\nFile1=/m/a=b.mp3\r\nTitle1=T=1\r\nLength1=61\r\nNumberOfEntries=1");
    engine->LoadPLS(dir + "/own.pls");
    EXPECT_EQ(engine->Paths, (std::vector<std::string>{"/m/a=b.mp3"}));
    EXPECT_EQ(view.rows[0], "T=1 (01:01)");

    // The autosave is the empty name, and the loaders append.
    Write(Autosave(), "#EXTM3U\r\n#EXTINF:5,Auto\r\n/m/auto.wav");
    engine->LoadM3U("");
    EXPECT_EQ(engine->Paths.back(), "/m/auto.wav");
    EXPECT_EQ(engine->Paths.size(), 2u);
}

TEST_F(PlaylistFilesTest, ReadingPlaylistsOfOtherPrograms) {
    Write(dir + "/plain.m3u", "\xEF\xBB\xBF# made elsewhere\n/m/one.mp3\n\nsub/two.ogg\n"
                              "#EXTINF:-1,Stream\nhttp://127.0.0.1:9/live\n#EXTINF:33\n/m/three.wav\n"
                              "#EXTVLCOPT:x=y\n#EXTINF:12.5,Four\n/m/four.mp3\n");
    engine->LoadM3U(dir + "/plain.m3u");
    EXPECT_EQ(engine->Paths, (std::vector<std::string>{"/m/one.mp3", dir + "/sub/two.ogg", "http://127.0.0.1:9/live",
                                                       "/m/three.wav", "/m/four.mp3"}));
    EXPECT_EQ(view.rows, (std::vector<std::string>{"one (00:00)", "two (00:00)", "Stream", "three (00:33)",
                                                   "Four (00:12)"}));

    Entries({});
    Write(dir + "/other.pls", "[Playlist]\nNumberOfEntries=3\nVersion=2\nFile2=/m/b.mp3\nTitle2=Bee\n"
                              "File1=rel.mp3\nLength1=70\nfile3=http://127.0.0.1:9/s\nTitle3=Station\n"
                              "Length3=-1\nFile4=\nLength4=3\n");
    engine->LoadPLS(dir + "/other.pls");
    EXPECT_EQ(engine->Paths, (std::vector<std::string>{dir + "/rel.mp3", "/m/b.mp3", "http://127.0.0.1:9/s"}));
    EXPECT_EQ(view.rows, (std::vector<std::string>{"rel (01:10)", "Bee (00:00)", "Station"}));

    Entries({});
    Write(dir + "/wrong.pls", "playlist\nFile1=/m/a.mp3");
    engine->LoadPLS(dir + "/wrong.pls");
    EXPECT_TRUE(engine->Paths.empty());
}

TEST_F(PlaylistFilesTest, DamagedFilesEndTheReading) {
    std::string garbage;
    for (int i = 0; i < 200000; ++i) garbage.push_back(static_cast<char>((i * 131 + 7) % 256));
    Write(dir + "/garbage.m3u", "#EXTM3U\n" + garbage);
    Write(dir + "/garbage.pls", "[playlist]\n" + garbage);
    engine->LoadM3U(dir + "/garbage.m3u");
    engine->LoadPLS(dir + "/garbage.pls");
    EXPECT_EQ(engine->Paths.size(), view.rows.size());

    Entries({});
    Write(dir + "/longline.m3u", "#EXTM3U\n#EXTINF:1," + std::string(100000, 'x') + "\n/m/a.mp3\n" +
                                     std::string(1000, '/') + "\n");
    engine->LoadM3U(dir + "/longline.m3u");
    ASSERT_EQ(engine->Paths.size(), 2u);
    EXPECT_EQ(engine->Paths[0], "/m/a.mp3");
    EXPECT_EQ(view.rows[0].size(), 255 - 10 + std::string(" (00:01)").size()) << "lines end at 255 characters";
    EXPECT_EQ(engine->Paths[1].size(), 255u);

    Entries({});
    Write(dir + "/huge.pls", "[playlist]\nFile99999999999999999999=/m/a.mp3\nFile-1=/m/b.mp3\nLength1=99999999999999999999\nFile1=/m/c.mp3");
    engine->LoadPLS(dir + "/huge.pls");
    EXPECT_EQ(engine->Paths.size(), view.rows.size());
}

TEST_F(PlaylistFilesTest, AutosaveIsWrittenOnlyWhenItChanges) {
    Entries({{"/m/a.mp3", "A  (00:01)"}, {"/m/b.mp3", "B  (00:02)"}});
    engine->SaveM3U("");
    const size_t twoEntries = Read(Autosave()).size();
    engine->SaveM3U("");
    EXPECT_EQ(engine->PlaylistWriter.WriteCount(), 1u);
    ::unlink(Autosave().c_str());
    engine->SaveM3U("");
    EXPECT_TRUE(Exists(Autosave())) << "a file removed behind our back is written again";
    Entries({{"/m/a.mp3", "A  (00:01)"}});
    engine->SaveM3U("");
    EXPECT_EQ(engine->PlaylistWriter.WriteCount(), 3u);
    EXPECT_EQ(engine->PlaylistWriter.BytesWritten(), 2 * twoEntries + Read(Autosave()).size());
}
