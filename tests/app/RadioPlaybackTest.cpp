// Radio in the real window: a station chosen from the list plays and shows
// what the server says is playing, the pre-buffering wait keeps the window
// answering and gives way to other commands, a dropped stream reconnects in
// view and then ends like a file; and a real Icecast's title updates reach
// the window and MPRIS.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/MprisService.h"
#include "audio/AudioLibrary.h"
#include "tests/app/PlayerTest.h"
#include "tests/servers/IcecastServer.h"
#include "tests/servers/Scenarios.h"
#include "tests/servers/StreamHandler.h"

namespace {

servers::StreamOptions Station() {
    servers::StreamOptions options;
    options.audio = &servers::Stream(servers::AudioFormat::Mp3);
    options.icyName = "Loopback FM";
    options.metaint = 8192;
    options.titles = {{0, servers::StreamTitleBlock("Artist - First")},
                      {3, servers::StreamTitleBlock("Band - Second *live*")}};
    return options;
}

std::string Text(const QString& Text) { return Text.toStdString(); }

} // namespace

class RadioPlaybackTest : public PlayerTest {
  protected:
    // Lets the window run until done, for at most Seconds.
    bool RunUntil(const std::function<bool()>& Done, double Seconds) {
        QElapsedTimer clock;
        clock.start();
        while (!Done()) {
            if (clock.elapsed() > Seconds * 1000) return false;
            Wait(20);
        }
        return true;
    }
    std::string Title() { return Text(Form().windowTitle()); }
    std::string Tip() { return Text(Form().TipText->text()); }
};

TEST_F(RadioPlaybackTest, AStationPlaysAndShowsWhatIsPlaying) {
    servers::LoopbackServer server(servers::StreamHandler(Station()));
    Write("radiostations.cfg", "[1]\r\nLoopback One\r\n" + server.url("/live") + "\r\nMP3\r\nOur own\r\n");
    ASSERT_TRUE(Start());
    Form().English1Click();
    AnswerNextModal([&](QWidget*) { QTest::mouseClick(windows->RadioSelectForm.OKButt, Qt::LeftButton); });
    Form().Listenradio1->trigger();
    ASSERT_EQ(audio::activity(Channel), audio::kPlaying);
    EXPECT_EQ(Form().rowCount(), 1);
    EXPECT_EQ(Form().rowText(0), "Loopback One");
    EXPECT_EQ(Engine().TrackInfo, "Loopback One - Artist - First * Stereo * 44 kHz");
    ASSERT_TRUE(RunUntil([&] { return Title() == "Loopback One - Artist - First  - Nilo Music Player"; }, 2));
    EXPECT_EQ(Form().positionMax(), 0);
    // A new title; a "*" of the server's does not cut the window's title.
    ASSERT_TRUE(RunUntil([&] { return Title() == "Loopback One - Band - Second *live*  - Nilo Music Player"; }, 10));
    EXPECT_EQ(Engine().CurrentIndex, 0);

    MprisService mpris(Form());
    const QVariantMap metadata = mpris.metadata();
    EXPECT_EQ(metadata.value("xesam:album").toString(), "Loopback One");
    EXPECT_EQ(metadata.value("xesam:title").toString(), "Second *live*");
    EXPECT_EQ(metadata.value("xesam:artist").toStringList(), QStringList{"Band"});
    EXPECT_FALSE(metadata.contains("mpris:length"));
    EXPECT_FALSE(mpris.canSeek());
    Form().StopClick();
}

TEST_F(RadioPlaybackTest, TheWaitKeepsTheWindowAnsweringAndGivesWay) {
    servers::LoopbackServer silent(servers::Silent());
    const std::string song = MakeWav("song.wav", 20);
    ASSERT_TRUE(Start());
    Form().English1Click();

    // A server that never sends: the window ticks on, shows the wait, and the
    // stream is given up within its bound.
    int ticks = 0;
    std::string shown;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        shown = Tip();
    });
    ticker.start(50);
    QElapsedTimer clock;
    clock.start();
    Engine().PlayAddress(silent.url("/live"));
    const qint64 waited = clock.elapsed();
    EXPECT_LT(waited, 10500);
    EXPECT_GT(ticks, waited / 50 / 2) << "the timer kept ticking through the wait";
    EXPECT_EQ(shown, "BUFFERING 0%");
    EXPECT_EQ(Channel, 0u);
    EXPECT_EQ(Form().rowCount(), 0) << "a stream that cannot be opened goes from the playlist";

    // Stop during the wait ends it at once, and so does a file played.
    QTimer::singleShot(300, &Form(), [&] { Form().StopClick(); });
    clock.restart();
    Engine().PlayAddress(silent.url("/live"));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(Channel, 0u);
    Engine().AddEntry(song);
    QTimer::singleShot(300, &Form(), [&] {
        Form().setSelectedRow(1);
        Form().PlayClick();
    });
    Engine().PlayStream();
    EXPECT_EQ(audio::activity(Channel), audio::kPlaying);
    EXPECT_EQ(Engine().CurrentFile, song);
    Form().StopClick();
}

TEST_F(RadioPlaybackTest, ADroppedStreamReconnectsInViewThenMovesOn) {
    servers::StreamOptions options = Station();
    options.closeAfterSeconds = 1.5;
    servers::LoopbackServer server(servers::StreamHandler(options));
    const std::string song = MakeWav("song.wav", 30);
    ASSERT_TRUE(Start());
    Form().English1Click();
    Engine().PlayAddress(server.url("/live"));
    Engine().AddEntry(song);
    ASSERT_EQ(audio::activity(Channel), audio::kPlaying);
    bool sawReconnecting = false;
    ASSERT_TRUE(RunUntil([&] {
        sawReconnecting = sawReconnecting || Tip().rfind("RECONNECTING ", 0) == 0;
        return Engine().CurrentFile == song;
    }, 30));
    EXPECT_TRUE(sawReconnecting);
    EXPECT_EQ(Engine().CurrentIndex, 1) << "the end-of-track rules go on after the stream";
    EXPECT_EQ(audio::activity(Channel), audio::kPlaying);
    Form().StopClick();
}

TEST_F(RadioPlaybackTest, IcecastTitleUpdatesReachTheWindowAndMpris) {
    if (!servers::IcecastServer::Installed()) GTEST_SKIP() << "icecast2 is not installed";
    servers::IcecastServer icecast;
    ASSERT_TRUE(icecast.start()) << icecast.error();
    ASSERT_TRUE(Start());
    MprisService mpris(Form());
    for (const char* mount : {servers::IcecastServer::kMp3Mount, servers::IcecastServer::kOggMount}) {
        SCOPED_TRACE(mount);
        Engine().PlayAddress(icecast.url(mount));
        ASSERT_EQ(audio::activity(Channel), audio::kPlaying);
        for (const char* song : {"Song One", "Song Two"}) {
            ASSERT_TRUE(icecast.setTitle(mount, song, "Nilo Band"));
            const std::string expected = icecast.url(mount) + " - Nilo Band - " + song + "  - Nilo Music Player";
            EXPECT_TRUE(RunUntil([&] { return Title() == expected; }, 25)) << Title();
            const QVariantMap metadata = mpris.metadata();
            EXPECT_EQ(metadata.value("xesam:title").toString().toStdString(), song);
            EXPECT_EQ(metadata.value("xesam:artist").toStringList(), QStringList{"Nilo Band"});
            EXPECT_EQ(metadata.value("xesam:album").toString(), servers::IcecastServer::kStationName);
        }
        Form().StopClick();
    }
}
