// The progress box with Add folder, the About box and the filters dialog.
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QToolButton>

#include "app/UpDownEdit.h"
#include "audio/AudioLibrary.h"
#include "audio/EffectsLibrary.h"
#include "tests/app/PlayerTest.h"
#include "tests/fixtures/Fixtures.h"

namespace {

void ClickUpArrow(UpDownEdit* Edit) {
    QStyleOptionSpinBox option;
    option.initFrom(Edit);
    option.subControls = QStyle::SC_SpinBoxUp;
    const QRect arrow = Edit->style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, Edit);
    QTest::mouseClick(Edit, Qt::LeftButton, {}, arrow.center());
}

} // namespace

using DialogsTest = PlayerTest;

TEST_F(DialogsTest, AddFolderWithTheProgressBox) {
    const std::string folder = home + "/music";
    ASSERT_TRUE(fixtures::Run("mkdir -p " + fixtures::ShellQuote(folder + "/inner")));
    for (const char* name : {"music/one.wav", "music/inner/two.wav", "music/three.wav"}) MakeWav(name, 2);
    ASSERT_TRUE(Start());
    TProgressBox& box = windows->ProgressBox;

    std::string chooserTitle;
    QPoint chooserOffset;
    AnswerNextModal([&](QWidget* Modal) {
        auto* chooser = qobject_cast<QFileDialog*>(Modal);
        ASSERT_NE(chooser, nullptr);
        chooserTitle = chooser->windowTitle().toStdString();
        chooserOffset = chooser->pos() - Form().frameGeometry().topLeft();
        chooser->selectFile(QString::fromStdString(folder));
        static_cast<QDialog*>(chooser)->accept();
    });
    QTest::mouseClick(Form().Addfolder, Qt::LeftButton);
    EXPECT_EQ(chooserTitle, Messages[11]);
    EXPECT_EQ(chooserOffset, QPoint(50, 50)) << "the chooser opens beside the main window";
    EXPECT_EQ(Engine().Paths.size(), 3u);
    EXPECT_EQ(audio::activity(Channel), audio::kPlaying);
    ASSERT_TRUE(box.isVisible());
    Wait(150);
    EXPECT_EQ(box.windowTitle().toStdString(), Messages[54]);
    EXPECT_EQ(box.Progresstext->text().toStdString(), Messages[2]);
    EXPECT_EQ(box.ProgressBar->value(), 100);
    QTest::mouseClick(box.Button1, Qt::LeftButton);
    EXPECT_FALSE(box.isVisible()) << "all added: OK closes without asking";
    EXPECT_EQ(box.ProgressBar->value(), 0);

    // Part-way: the percentage is truncated and an early OK asks first.
    Engine().ScanFound = 8;
    Engine().ScanAdded = 3;
    box.show();
    Wait(150);
    EXPECT_EQ(box.Progresstext->text().toStdString(), Messages[1]);
    EXPECT_EQ(box.ProgressBar->value(), 37);
    for (auto answer : {QMessageBox::Cancel, QMessageBox::Ok}) {
        std::string question;
        AnswerNextModal([&](QWidget* Modal) {
            auto* confirm = qobject_cast<QMessageBox*>(Modal);
            ASSERT_NE(confirm, nullptr);
            question = confirm->text().toStdString() + "|" + confirm->windowTitle().toStdString();
            confirm->button(answer)->click();
        });
        QTest::mouseClick(box.Button1, Qt::LeftButton);
        EXPECT_EQ(question, Messages[14] + "|" + Messages[13]);
        EXPECT_EQ(box.isVisible(), answer == QMessageBox::Cancel);
        EXPECT_EQ(Engine().ScanCancelled, answer == QMessageBox::Ok);
    }
    Engine().ScanFound = 0;
    Engine().ScanAdded = 0;
    box.show();
    EXPECT_EQ(box.Progresstext->text().toStdString(), Messages[0] + "0");
}

TEST_F(DialogsTest, AboutBoxInEachLanguage) {
    ASSERT_TRUE(Start());
    struct Shown {
        std::string title, version;
    };
    auto showAbout = [this] {
        Shown shown;
        AnswerNextModal([&](QWidget* Modal) {
            shown = {Modal->windowTitle().toStdString(), windows->AboutBox.Version->text().toStdString()};
            QTest::mouseClick(windows->AboutBox.OKButton, Qt::LeftButton);
        });
        ClickMenu({Form().Help1->menuAction(), Form().About1});
        EXPECT_FALSE(windows->AboutBox.isVisible());
        return shown;
    };
    Shown russian = showAbout();
    EXPECT_EQ(russian.title, "О программе");
    EXPECT_EQ(russian.version, "Версия 1.3 (03.03.2007)");
    ClickMenu({Form().Options1->menuAction(), Form().Language->menuAction(), Form().English1});
    Shown english = showAbout();
    EXPECT_EQ(english.title, "About");
    EXPECT_EQ(english.version, "Version 1.3 (03.03.2007)");
    Engine().Language = "Other.lng";
    Shown other = showAbout();
    EXPECT_EQ(other.title, "About") << "another language keeps the last texts";
    EXPECT_FALSE(windows->AboutBox.Logo->pixmap().isNull());
}

TEST_F(DialogsTest, FiltersDialogLoadsInOrderAndAppliesAtOnce) {
    MakeWav("a.wav", 20);
    Write("config.cfg", "[Main]\r\nVolume=100\r\nLoop=1\r\nShuffle=0\r\nMute=0\r\nPan=0\r\nEQEnable=0\r\nBand1=5\r\n"
                        "Band2=5\r\nBand3=5\r\nBand4=5\r\nBand5=5\r\nBand6=5\r\nBand7=5\r\nBand8=5\r\nSaveTags=1\r\n"
                        "Normalize=0\r\nAmp.level=4\r\nReverb=1\r\nSignalLevel=30\r\nDelay=2000\r\nRadioStation=0\r\n"
                        "Language=English.lng\r\n[View]\r\nShowPlayList=1\r\nShowEqualizer=1");
    Write("current.m3u", "#EXTM3U\r\n" + home + "/a.wav");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Engine().Paths.size() == 1; }, 5000));
    QTest::mouseClick(Form().Play, Qt::LeftButton);
    audio::ReverbRecord reverb{};
    ASSERT_TRUE(audio::readEffectParameters(Channel, reverb)) << "a stored filter is on from the first channel";
    EXPECT_FLOAT_EQ(reverb.level, 0.30f);
    EXPECT_EQ(reverb.delayMs, 2000);

    // Showing the dialog sets the boxes first: a box that changes installs
    // its filter with the levels the controls held before.
    TFiltersBox& filters = windows->FiltersBox;
    Engine().Normalize = true;
    Engine().AmpLevelSetting = 7;
    AnswerNextModal([&](QWidget* Modal) {
        EXPECT_EQ(Modal->windowTitle().toStdString(), Messages[46]);
        EXPECT_EQ(filters.DelayLabel->text().toStdString(), Messages[53]);
        audio::NormalizeRecord normalize{};
        EXPECT_TRUE(audio::readEffectParameters(Channel, normalize));
        EXPECT_FLOAT_EQ(normalize.maxAmp, 4.0f);
        EXPECT_EQ(filters.AmpLevelUpDown->value(), 7);

        ClickUpArrow(filters.SignalUpDown);
        audio::ReverbRecord changed{};
        audio::readEffectParameters(Channel, changed);
        EXPECT_FLOAT_EQ(changed.level, 0.31f);
        EXPECT_NE(Read("config.cfg").find("\r\nSignalLevel=31\r\n"), std::string::npos);

        QTest::keyClick(filters.DelayUpDown, Qt::Key_Up);
        EXPECT_EQ(filters.DelayUpDown->value(), 2000) << "the arrow keys do not move the delay";
        ClickUpArrow(filters.DelayUpDown);
        EXPECT_EQ(filters.DelayUpDown->value(), 2010);
        audio::readEffectParameters(Channel, changed);
        EXPECT_EQ(changed.delayMs, 2010);
        EXPECT_NE(Read("config.cfg").find("\r\nDelay=2010\r\n"), std::string::npos);

        // Typing moves a level without sending or storing it.
        auto* typed = filters.AmpLevelUpDown->findChild<QLineEdit*>();
        typed->selectAll();
        QTest::keyClicks(typed, "9");
        EXPECT_EQ(filters.AmpLevelUpDown->value(), 9);
        EXPECT_NE(Read("config.cfg").find("\r\nAmp.level=7\r\n"), std::string::npos);

        QTest::mouseClick(filters.EnableReverb, Qt::LeftButton, {}, QPoint(6, filters.EnableReverb->height() / 2));
        EXPECT_FALSE(audio::readEffectParameters(Channel, changed));
        EXPECT_NE(Read("config.cfg").find("\r\nReverb=0\r\n"), std::string::npos);
        QTest::mouseClick(filters.sBitBtn1, Qt::LeftButton);
    });
    ClickMenu({Form().Options1->menuAction(), Form().Filters1});
    EXPECT_FALSE(filters.isVisible());
    EXPECT_NE(Read("config.cfg").find("\r\nNormalize=1\r\n"), std::string::npos);
}
