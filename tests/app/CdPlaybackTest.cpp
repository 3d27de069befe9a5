// Open CD in the real window on BIN/CUE images the test writes: the drive
// search and its messages, the rows and the autosave, and a disc that names
// its tracks, in the rows, the track line, the window title and MPRIS.
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "app/MprisService.h"
#include "audio/AudioLibrary.h"
#include "tests/app/PlayerTest.h"
#include "testdata/Fixtures.h"

namespace {

fixtures::CdImageTrack Track(double Seconds, std::string Performer = {}, std::string Title = {}) {
    fixtures::CdImageTrack track;
    const auto frames = static_cast<uint64_t>(Seconds * 44100);
    track.samples = fixtures::ToInt16(fixtures::TestSignal(44100, 2, frames));
    track.performer = std::move(Performer);
    track.title = std::move(Title);
    return track;
}

} // namespace

class CdPlaybackTest : public PlayerTest {
  protected:
    void TearDown() override {
        unsetenv("NILO_CD_DEVICE");
        PlayerTest::TearDown();
    }
    std::string WriteDisc(const fixtures::CdImage& Image) {
        const std::string cue = home + "/disc.cue";
        EXPECT_TRUE(fixtures::WriteCdImage(cue, "disc.bin", Image));
        setenv("NILO_CD_DEVICE", cue.c_str(), 1);
        return cue;
    }
    // Triggers Open CD and returns "caption: text" of the message boxes it
    // showed, each closed once shown.
    std::vector<std::string> OpenCdMessages() {
        std::vector<std::string> shown;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            shown.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
            box->close();
        });
        poll.start(10);
        Form().OpenCD1->trigger();
        return shown;
    }
    // Messages 3 and on start at line 91 of a language file.
    std::string Message(int Number) { return LanguageLine("English.lng", 88 + Number); }
};

TEST_F(CdPlaybackTest, OpenCdListsTheTracksPlaysTheFirstAndSavesThemAtExit) {
    fixtures::CdImage image;
    for (uint32_t n = 1; n <= 12; ++n) image.tracks.push_back(Track(1.0 + 0.2 * (n - 1)));
    const std::string cue = WriteDisc(image);
    ASSERT_TRUE(Start());
    Form().English1Click();
    EXPECT_TRUE(OpenCdMessages().empty());
    ASSERT_EQ(Form().rowCount(), 12);
    EXPECT_EQ(Engine().Paths[0], cue + "/Track01.cda");
    EXPECT_EQ(Engine().Paths[11], cue + "/Track12.cda");
    EXPECT_EQ(Form().rowText(0), "Track01 (00:01)");
    EXPECT_EQ(Form().rowText(11), "Track12 (00:03)");
    EXPECT_EQ(Engine().CurrentIndex, 0);
    EXPECT_EQ(audio::activity(Channel), audio::kPlaying);
    EXPECT_EQ(Engine().TrackInfo.substr(0, 16), "Track01 (00:01) ");
    EXPECT_FALSE(Exists("current.m3u")) << "the playlist is saved at the next change or at exit";
    MprisService mpris(Form());
    EXPECT_EQ(mpris.metadata().value("xesam:title").toString(), "Track01 (00:01)");
    EXPECT_EQ(mpris.metadata().value("mpris:length").toLongLong(), 1'000'000);

    QTimer::singleShot(0, [this] { Form().close(); });
    EXPECT_EQ(QApplication::exec(), 0);
    const std::string saved = Read("current.m3u");
    EXPECT_NE(saved.find(",Track01\r\n" + cue + "/Track01.cda\r\n"), std::string::npos) << saved;
    EXPECT_LT(saved.find(cue + "/Track11.cda"), saved.find(cue + "/Track12.cda"));
}

// One track is an audio CD too; its performer and title are the disc's own.
TEST_F(CdPlaybackTest, ADiscOfOneNamedTrackPlaysUnderItsNames) {
    fixtures::CdImage image;
    image.tracks.push_back(Track(2.4, "Ensemble Été", "Nocturne; 'Live'"));
    WriteDisc(image);
    ASSERT_TRUE(Start());
    Form().English1Click();
    EXPECT_TRUE(OpenCdMessages().empty());
    ASSERT_EQ(Form().rowCount(), 1);
    EXPECT_EQ(Form().rowText(0), "Ensemble Été - Nocturne; 'Live' (00:02)");
    EXPECT_EQ(audio::activity(Channel), audio::kPlaying);
    EXPECT_EQ(Engine().TrackInfo.rfind("Ensemble Été - Nocturne; 'Live' (00:02) * Stereo * 44 kHz", 0), 0u)
        << Engine().TrackInfo;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Form().windowTitle().startsWith(QStringLiteral("Ensemble Été - Nocturne; 'Live' (00:02)")); },
        2000));
    MprisService mpris(Form());
    const QVariantMap metadata = mpris.metadata();
    EXPECT_EQ(metadata.value("xesam:title").toString(), QStringLiteral("Nocturne; 'Live'"));
    EXPECT_EQ(metadata.value("xesam:artist").toStringList(), QStringList{QStringLiteral("Ensemble Été")});
    EXPECT_EQ(metadata.value("mpris:length").toLongLong(), 2'400'000);
    Form().StopClick();
}

TEST_F(CdPlaybackTest, NoDriveAndNoDiscLeaveThePlaylistAsItWas) {
    const std::string song = MakeWav("song.wav", 2);
    ASSERT_TRUE(Start({song}));
    Form().English1Click();
    const std::string noDisc = Message(5) + ": " + Message(4);
    setenv("NILO_CD_DEVICE", (home + "/none.cue").c_str(), 1);
    EXPECT_EQ(OpenCdMessages(), std::vector<std::string>{noDisc});
    if (audio::cdDrives().empty()) {
        unsetenv("NILO_CD_DEVICE");
        EXPECT_EQ(OpenCdMessages(), (std::vector<std::string>{Message(7) + ": " + Message(6), noDisc}));
    }
    ASSERT_EQ(Form().rowCount(), 1);
    EXPECT_EQ(Engine().Paths[0], song);
}
