// Start-up, the settings file, the layouts, the command line and the two
// ways the program ends.
#include <cstdio>
#include <stdexcept>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "app/PlayListBox.h"
#include "app/TrackBar.h"
#include "app/UpDownEdit.h"
#include "audio/AudioLibrary.h"
#include "audio/EffectsLibrary.h"
#include "tests/app/PlayerTest.h"

namespace {

const char* const kDefaultConfig =
    "[Main]\r\nVolume=99\r\nLoop=1\r\nShuffle=0\r\nMute=0\r\nPan=0\r\nEQEnable=0\r\nBand1=5\r\nBand2=5\r\n"
    "Band3=5\r\nBand4=5\r\nBand5=5\r\nBand6=5\r\nBand7=5\r\nBand8=5\r\nSaveTags=1\r\nNormalize=0\r\n"
    "Amp.level=10\r\nReverb=0\r\nSignalLevel=45\r\nDelay=8500\r\nRadioStation=0\r\nLanguage=Russian.lng\r\n"
    "[View]\r\nShowPlayList=1\r\nShowEqualizer=1";

// Every value differs from its default; the keys are misspelt on purpose.
const char* const kChangedConfig =
    "[Mian]\r\nVol=37\r\nLop=0\r\nShufle=1\r\nMut=1\r\nPann=-1\r\nEQ=1\r\nB1=0\r\nB2=1\r\nB3=2\r\nB4=3\r\n"
    "B5=4\r\nB6=6\r\nB7=8\r\nB8=10\r\nTags=0\r\nNorm=1\r\nAmp=4\r\nRev=1\r\nSig=30\r\nDel=2000\r\nRadio=2\r\n"
    "Lang=x=English.lng\r\n[Vue]\r\nPL=0\r\nEQ=1";

} // namespace

using StartupTest = PlayerTest;

TEST_F(StartupTest, FirstStartWithoutAnyFile) {
    ASSERT_TRUE(Start());
    TForm1& form = Form();
    EXPECT_EQ(form.setVolume->value(), 100);
    EXPECT_TRUE(form.setLoop->isChecked());
    EXPECT_FALSE(form.setShuffle->isChecked());
    EXPECT_EQ(form.setPan->value(), 1);
    for (TrackBar* band : form.Bands) EXPECT_EQ(band->value(), 5);
    EXPECT_FALSE(form.EQEnable->isChecked());
    EXPECT_EQ(ClientHeight(), 380);
    EXPECT_EQ(form.EqGroup->y(), 256);
    EXPECT_EQ(form.PlayList->y(), 120);
    EXPECT_TRUE(form.PlayList2->isChecked() && form.Equalizer1->isChecked());
    EXPECT_EQ(Engine().Language, "Russian.lng");
    EXPECT_EQ(form.File1->title().toStdString(), LanguageLine("Russian.lng", 2));
    EXPECT_EQ(form.VolumeLabel->text().toStdString(), LanguageLine("Russian.lng", 30) + "100%");
    EXPECT_EQ(form.PlayList->count(), 0);
    EXPECT_EQ(Engine().CurrentIndex, -1);
    EXPECT_EQ(Channel, 0u);
    // The filters dialog already holds the stored levels.
    EXPECT_EQ(windows->FiltersBox.ampLevelPosition(), 10);
    EXPECT_EQ(windows->FiltersBox.signalPosition(), 45);
    EXPECT_EQ(windows->FiltersBox.delayPosition(), 8500);

    Wait(350);
    const std::string stopped = LanguageLine("Russian.lng", 96);
    EXPECT_EQ(form.windowTitle().toStdString(), stopped + " - Nilo Music Player");
    EXPECT_EQ(form.TipText->text(), QString::fromStdString(stopped).toUpper());
    EXPECT_FALSE(Exists("config.cfg")) << "the stopped tick must not save the settings";
    EXPECT_FALSE(Exists("current.m3u"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(StartupTest, SettingsFileWrittenWholeAndReadByPosition) {
    ASSERT_TRUE(Start());
    QTest::keyClick(Form().setVolume, Qt::Key_Left);
    EXPECT_EQ(Read("config.cfg"), kDefaultConfig) << "one change writes all 26 lines";

    // Keys are not looked at; "=" inside a value keeps the text after the last one.
    Write("config.cfg", kChangedConfig);
    windows.reset();
    StartupComplete = false;
    ASSERT_TRUE(Start());
    TForm1& form = Form();
    TTonikMain& engine = Engine();
    EXPECT_EQ(engine.Volume, 37);
    EXPECT_EQ(form.setVolume->value(), 37);
    EXPECT_FALSE(form.setLoop->isChecked());
    EXPECT_TRUE(form.setShuffle->isChecked());
    EXPECT_TRUE(engine.Mute);
    EXPECT_EQ(form.setPan->value(), 0);
    EXPECT_TRUE(form.EQEnable->isChecked());
    const int bands[] = {0, 1, 2, 3, 4, 6, 8, 10};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(form.Bands[static_cast<size_t>(i)]->value(), bands[i]);
    EXPECT_FALSE(engine.SaveTags);
    EXPECT_TRUE(engine.Normalize && engine.Reverb);
    EXPECT_EQ(engine.AmpLevelSetting, 4);
    EXPECT_EQ(engine.SignalLevel, 30);
    EXPECT_EQ(engine.DelaySetting, 2000);
    EXPECT_EQ(engine.RadioStation, 2);
    EXPECT_EQ(engine.Language, "English.lng");
    EXPECT_EQ(form.File1->title().toStdString(), LanguageLine("English.lng", 2));
    EXPECT_EQ(ClientHeight(), 230);
    form.setShuffle->click();
    const std::string written = Read("config.cfg");
    EXPECT_NE(written.find("\r\nVolume=37\r\nLoop=0\r\nShuffle=0\r\nMute=1\r\nPan=-1\r\nEQEnable=1\r\nBand1=0\r\n"),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("\r\nLanguage=English.lng\r\n[View]\r\nShowPlayList=0\r\nShowEqualizer=1"), std::string::npos);

    // Lines in another order go to the fields of their place; the file ends
    // early or holds a word where a number belongs: the rest take defaults.
    Write("config.cfg", "[Main]\r\nVolume=20\r\nShuffle=1\r\nLoop=0\r\nMute=no\r\nPan=1\r\n");
    windows.reset();
    StartupComplete = false;
    ASSERT_TRUE(Start());
    EXPECT_EQ(Engine().Volume, 20);
    EXPECT_TRUE(Engine().Loop);
    EXPECT_FALSE(Engine().Shuffle);
    EXPECT_FALSE(Engine().Mute);
    EXPECT_EQ(Engine().Pan, 0) << "nothing after a bad value is read";
    EXPECT_EQ(Engine().Language, "Russian.lng");
    EXPECT_EQ(ClientHeight(), 380);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(StartupTest, FourLayoutsAndBothViewToggles) {
    ASSERT_TRUE(Start());
    struct Layout {
        bool playList, equalizer;
        int height, eqTop, listTop;
    };
    const Layout layouts[] = {{true, true, 380, 256, 120}, {true, false, 260, 256, 120}, {false, true, 230, 110, 256}};
    for (bool playList : {true, false}) {
        for (bool equalizer : {true, false}) {
            for (bool toggleList : {true, false}) {
                Engine().ShowPlayList = playList;
                Engine().ShowEqualizer = equalizer;
                Form().UpdateLayout();
                const int eqTopBefore = Form().EqGroup->y();
                const int listTopBefore = Form().PlayList->y();
                ClickMenu({Form().View1->menuAction(), toggleList ? Form().PlayList2 : Form().Equalizer1});

                const bool wantList = toggleList ? !playList : playList;
                const bool wantEq = toggleList ? equalizer : !equalizer;
                SCOPED_TRACE(testing::Message() << "from " << playList << equalizer << " toggling "
                                                << (toggleList ? "playlist" : "equalizer"));
                EXPECT_EQ(Engine().ShowPlayList, wantList);
                EXPECT_EQ(Engine().ShowEqualizer, wantEq);
                EXPECT_EQ(Form().PlayList2->isChecked(), wantList);
                EXPECT_EQ(Form().Equalizer1->isChecked(), wantEq);
                if (!wantList && !wantEq) {
                    EXPECT_EQ(ClientHeight(), 115);
                    EXPECT_EQ(Form().EqGroup->y(), eqTopBefore);
                    EXPECT_EQ(Form().PlayList->y(), listTopBefore);
                } else {
                    const Layout& want = layouts[wantList && wantEq ? 0 : wantList ? 1 : 2];
                    EXPECT_EQ(ClientHeight(), want.height);
                    EXPECT_EQ(Form().EqGroup->y(), want.eqTop);
                    EXPECT_EQ(Form().PlayList->y(), want.listTop);
                }
                EXPECT_EQ(Form().PlayList->isVisible(), wantList);
                const std::string config = Read("config.cfg");
                EXPECT_TRUE(config.ends_with(std::string("ShowPlayList=") + (wantList ? "1" : "0") +
                                             "\r\nShowEqualizer=" + (wantEq ? "1" : "0")));
            }
        }
    }
}

TEST_F(StartupTest, CommandLineMediaFileAndPlaylists) {
    const std::string one = MakeWav("one.wav", 3);
    const std::string two = MakeWav("two.wav", 3);
    // Stored filters and equalizer reach the channel of the command line.
    Write("config.cfg", "[Main]\r\nVolume=80\r\nLoop=1\r\nShuffle=0\r\nMute=0\r\nPan=0\r\nEQEnable=1\r\nBand1=0\r\n"
                        "Band2=5\r\nBand3=5\r\nBand4=5\r\nBand5=5\r\nBand6=5\r\nBand7=5\r\nBand8=5\r\nSaveTags=1\r\n"
                        "Normalize=1\r\nAmp.level=3\r\nReverb=1\r\nSignalLevel=30\r\nDelay=2000\r\nRadioStation=0\r\n"
                        "Language=English.lng\r\n[View]\r\nShowPlayList=1\r\nShowEqualizer=1");
    ASSERT_TRUE(Start({two}));
    EXPECT_EQ(Engine().Paths, std::vector<std::string>{two});
    EXPECT_EQ(audio::activity(Channel), audio::kPlaying);
    audio::EqBandRecord band{};
    band.band = 0;
    ASSERT_TRUE(audio::readEffectParameters(Channel, band));
    EXPECT_FLOAT_EQ(band.gain, 4.0f);
    audio::ReverbRecord reverb{};
    ASSERT_TRUE(audio::readEffectParameters(Channel, reverb));
    EXPECT_FLOAT_EQ(reverb.level, 0.30f);
    EXPECT_EQ(reverb.delayMs, 2000);
    audio::NormalizeRecord normalize{};
    EXPECT_TRUE(audio::readEffectParameters(Channel, normalize));

    Write("list.m3u", "#EXTM3U\r\n#EXTINF:3,One\r\none.wav\r\n#EXTINF:3,Two\r\ntwo.wav");
    Write("list.pls", "[playlist]\r\nFile1=" + two + "\r\nTitle1=Two\r\nLength1=3\r\nNumberOfEntries=1");
    Write("list.M3U", "#EXTM3U\r\n#EXTINF:3,One\r\none.wav");
    struct Case {
        std::string argument;
        std::vector<std::string> paths;
        bool plays;
    };
    for (const Case& c : {Case{home + "/list.m3u", {one, two}, true}, Case{home + "/list.pls", {two}, true},
                          Case{home + "/list.M3U", {home + "/list.M3U"}, false}}) {
        SCOPED_TRACE(c.argument);
        windows.reset();
        StartupComplete = false;
        ASSERT_TRUE(Start({c.argument}));
        EXPECT_EQ(Engine().Paths, c.paths);
        EXPECT_EQ(audio::activity(Channel) == audio::kPlaying, c.plays);
        EXPECT_TRUE(StartupComplete);
    }
}

TEST_F(StartupTest, MissingFilesLeaveExitSavesNothingClosingSavesBoth) {
    MakeWav("a.wav", 2);
    Write("current.m3u", "#EXTM3U\r\n#EXTINF:2,A\r\n" + home + "/a.wav\r\n#EXTINF:2,Gone\r\n" + home + "/gone.wav");
    ASSERT_TRUE(Start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Engine().Paths.size() == 1; }, 5000)) << "a missing file leaves the list";
    EXPECT_EQ(Form().PlayList->count(), 1);
    Form().setLoop->click();
    Form().setLoop->click();
    const std::string savedConfig = Read("config.cfg");
    ASSERT_NE(savedConfig.find("Language=Russian.lng"), std::string::npos);

    // A language chosen from the menu is stored only by the next save.
    ClickMenu({Form().Options1->menuAction(), Form().Language->menuAction(), Form().English1});
    EXPECT_EQ(Form().File1->title().toStdString(), LanguageLine("English.lng", 2));
    QTimer::singleShot(0, [this] { ClickMenu({Form().File1->menuAction(), Form().Exit1}); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(Read("config.cfg"), savedConfig);

    windows.reset();
    StartupComplete = false;
    ASSERT_TRUE(Start());
    ClickMenu({Form().Options1->menuAction(), Form().Language->menuAction(), Form().English1});
    std::remove((home + "/current.m3u").c_str());
    QTimer::singleShot(0, [this] { Form().close(); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(Form().isVisible());
    EXPECT_NE(Read("config.cfg").find("Language=English.lng"), std::string::npos);
    EXPECT_EQ(Read("current.m3u"), "#EXTM3U\r\n#EXTINF:2,A\r\n" + home + "/a.wav");
}

TEST_F(StartupTest, AnExceptionInAHandlerIsShownAndTheProgramGoesOn) {
    ASSERT_TRUE(Start());
    struct Throwing : QObject {
        bool event(QEvent*) override { throw std::runtime_error("The handler failed"); }
    } throwing;
    std::string shown;
    AnswerNextModal([&](QWidget* Modal) {
        if (auto* box = qobject_cast<QMessageBox*>(Modal)) shown = box->text().toStdString();
        Modal->close();
    });
    QCoreApplication::postEvent(&throwing, new QEvent(QEvent::User));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shown.empty(); }, 2000));
    EXPECT_EQ(shown, "The handler failed");
    QTest::keyClick(Form().setVolume, Qt::Key_Left);
    EXPECT_EQ(Engine().Volume, 99) << "the window still works";
}

TEST_F(StartupTest, AudioOutputFailureEndsStartUpWithMessage3) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    std::string shown;
    AnswerNextModal([&](QWidget* Modal) {
        if (auto* box = qobject_cast<QMessageBox*>(Modal)) shown = box->text().toStdString();
        Modal->close();
    });
    const bool started = Start();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_FALSE(started);
    EXPECT_EQ(shown, LanguageLine("Russian.lng", 91));
    EXPECT_FALSE(Form().isVisible());
    EXPECT_FALSE(StartupComplete);
}
