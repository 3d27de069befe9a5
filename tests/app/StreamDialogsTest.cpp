// File > Open URL and File > Listen radio: the address rule, the station
// list, the captions, and what OK and Cancel leave behind. The addresses
// point at a closed port on 127.0.0.1, so the streams fail at once and the
// tests look at what the dialogs chose: the entry played and the station.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "tests/app/PlayerTest.h"

namespace {

std::string Text(const QString& Text) { return Text.toStdString(); }

std::string AccessibleName(QWidget* Control) {
    return Text(QAccessible::queryAccessibleInterface(Control)->text(QAccessible::Name));
}

} // namespace

class StreamDialogsTest : public PlayerTest {
  protected:
    // Opens the dialog through its menu entry and runs Answer in it.
    void Open(QAction* Entry, const std::function<void(QWidget*)>& Answer) {
        AnswerNextModal(Answer);
        ClickMenu({Form().File1->menuAction(), Entry});
    }
    void English() { ClickMenu({Form().Options1->menuAction(), Form().Language->menuAction(), Form().English1}); }
    // Keeps the playlist as it stands when Dialog next closes: the stream
    // starts only after that, since waiting for it lets the window events run.
    void WatchClose(QDialog& Dialog) {
        QObject::connect(&Dialog, &QDialog::finished, &Dialog, [this] { pathsOnClose = Engine().Paths; },
                         Qt::SingleShotConnection);
    }

    std::vector<std::string> pathsOnClose;
};

TEST_F(StreamDialogsTest, AddressDialog) {
    // Played, these would look up a host by name: the rule alone.
    EXPECT_EQ(StreamAddress("HTTP://127.0.0.1:9/a"), "http://HTTP://127.0.0.1:9/a");
    EXPECT_EQ(StreamAddress("ftp://127.0.0.1:9/a"), "http://ftp://127.0.0.1:9/a");
    const std::string song = MakeWav("song.wav", 2);
    ASSERT_TRUE(Start());
    Engine().AddEntry(song);
    TOpenURLBox& box = windows->OpenURLBox;

    // Ctrl+U; nothing but the buttons closes the dialog.
    AnswerNextModal([&](QWidget* Modal) {
        EXPECT_EQ(Modal, &box);
        EXPECT_EQ(Text(box.windowTitle()), LanguageLine("Russian.lng", 77));
        EXPECT_EQ(Text(box.EnterURLLabel->text()), LanguageLine("Russian.lng", 78));
        EXPECT_EQ(Text(box.CancelButt->text()), LanguageLine("Russian.lng", 79));
        EXPECT_EQ(AccessibleName(box.CurURL), Text(box.EnterURLLabel->text()));
        QTest::mouseClick(box.OKButt, Qt::LeftButton);
        EXPECT_TRUE(box.isVisible()) << "an empty address does nothing";
        QTest::keyClicks(box.CurURL, "127.0.0.1:9/live");
        QTest::keyClick(box.CurURL, Qt::Key_Return);
        QTest::keyClick(box.CurURL, Qt::Key_Escape);
        box.OKButt->setFocus();
        QTest::keyClick(box.OKButt, Qt::Key_Return);
        EXPECT_TRUE(box.isVisible()) << "Enter and Esc do not close it";
        QTest::mouseClick(box.CancelButt, Qt::LeftButton);
    });
    QTest::keyClick(&Form(), Qt::Key_U, Qt::ControlModifier);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(Engine().Paths, std::vector<std::string>{song}) << "Cancel changes nothing";

    // The typed text stays for the next use and gets the scheme in front.
    English();
    Engine().StationName = "Radio One";
    WatchClose(box);
    Open(Form().OpenURL1, [&](QWidget*) {
        EXPECT_EQ(Text(box.windowTitle()), LanguageLine("English.lng", 77));
        EXPECT_EQ(Text(box.CancelButt->text()), LanguageLine("English.lng", 79));
        EXPECT_EQ(Text(box.CurURL->text()), "127.0.0.1:9/live");
        QTest::mouseClick(box.OKButt, Qt::LeftButton);
    });
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(Engine().CurrentFile, "http://127.0.0.1:9/live");
    EXPECT_EQ(pathsOnClose, std::vector<std::string>{song});
    EXPECT_EQ(Engine().StationName, "");

    Open(Form().OpenURL1, [&](QWidget*) {
        box.CurURL->setText(QStringLiteral("https://127.0.0.1:9/secure"));
        QTest::mouseClick(box.OKButt, Qt::LeftButton);
    });
    EXPECT_EQ(Engine().CurrentFile, "https://127.0.0.1:9/secure");
    EXPECT_TRUE(Engine().Paths.empty() || Engine().Paths == std::vector<std::string>{Engine().CurrentFile});
}

TEST_F(StreamDialogsTest, StationDialog) {
    Write("radiostations.cfg", "[1]\r\nName=Alpha=One\r\nURL=http://127.0.0.1:9/a\r\n128\r\nFirst station\r\n"
                               "[2]\r\nBeta\r\nhttp://127.0.0.1:9/b?id=2\r\n64\r\nSecond station\r\n"
                               "[3]\r\nGamma\r\nhttp://127.0.0.1:9/c\r\n32\r\nThird station\r\n[4]\r\nDelta\r\n");
    const std::string song = MakeWav("song.wav", 2);
    ASSERT_TRUE(Start());
    Engine().AddEntry(song);
    TRadioSelectForm& form = windows->RadioSelectForm;
    Engine().RadioStation = 7;
    Engine().StationName = "Before";

    // Ctrl+R. A stored station outside the list selects the first; Cancel
    // keeps all.
    AnswerNextModal([&](QWidget* Modal) {
        EXPECT_EQ(Modal, &form);
        EXPECT_EQ(Text(form.windowTitle()), LanguageLine("Russian.lng", 81));
        EXPECT_EQ(Text(form.SelectRadioLabel->text()), LanguageLine("Russian.lng", 82));
        EXPECT_EQ(Text(form.RadioDescLabel->text()), LanguageLine("Russian.lng", 83));
        EXPECT_EQ(Text(form.CancelButt->text()), LanguageLine("Russian.lng", 84));
        EXPECT_EQ(Text(form.RadioSelectBox->accessibleName()), Text(form.SelectRadioLabel->text()));
        EXPECT_EQ(AccessibleName(form.RadioStationDesc), Text(form.RadioDescLabel->text()));
        ASSERT_EQ(form.RadioSelectBox->count(), 3) << "the short last record is left out";
        EXPECT_EQ(Text(form.RadioSelectBox->itemText(0)), "One");
        EXPECT_EQ(form.RadioSelectBox->currentIndex(), 0);
        EXPECT_EQ(Text(form.RadioStationDesc->text()), "First station");
        QTest::keyClick(form.RadioSelectBox, Qt::Key_Down);
        EXPECT_EQ(Text(form.RadioStationDesc->text()), "Second station");
        QTest::keyClick(form.RadioSelectBox, Qt::Key_Escape);
        EXPECT_TRUE(form.isVisible());
        QTest::mouseClick(form.CancelButt, Qt::LeftButton);
    });
    QTest::keyClick(&Form(), Qt::Key_R, Qt::ControlModifier);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Engine().RadioStation, 7);
    EXPECT_EQ(Engine().StationName, "Before");
    EXPECT_EQ(Engine().Paths, std::vector<std::string>{song});

    // The third station; the description field hands the focus back.
    const std::string config = Read("config.cfg");
    WatchClose(form);
    Open(Form().Listenradio1, [&](QWidget*) {
        form.OKButt->setFocus();
        QTest::mouseClick(form.RadioStationDesc, Qt::LeftButton);
        EXPECT_EQ(QApplication::focusWidget(), form.RadioSelectBox);
        QTest::keyClick(form.RadioSelectBox, Qt::Key_Down);
        QTest::keyClick(form.RadioSelectBox, Qt::Key_Down);
        QTest::mouseClick(form.OKButt, Qt::LeftButton);
    });
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Engine().RadioStation, 2);
    EXPECT_EQ(Engine().StationName, "Gamma");
    EXPECT_EQ(Engine().CurrentFile, "http://127.0.0.1:9/c");
    EXPECT_EQ(pathsOnClose, std::vector<std::string>{song});
    EXPECT_EQ(Read("config.cfg"), config) << "the choice is saved with the next setting";

    // Shown again, in English: the third station with its description.
    English();
    Open(Form().Listenradio1, [&](QWidget*) {
        EXPECT_EQ(Text(form.windowTitle()), LanguageLine("English.lng", 81));
        EXPECT_EQ(Text(form.RadioDescLabel->text()), LanguageLine("English.lng", 83));
        EXPECT_EQ(form.RadioSelectBox->currentIndex(), 2);
        EXPECT_EQ(Text(form.RadioStationDesc->text()), "Third station");
        QTest::mouseClick(form.CancelButt, Qt::LeftButton);
    });

    // Without the file the list is empty and OK does nothing.
    ASSERT_EQ(std::remove((home + "/radiostations.cfg").c_str()), 0);
    Engine().ClearPlaylist();
    Engine().AddEntry(song);
    Open(Form().Listenradio1, [&](QWidget*) {
        EXPECT_EQ(form.RadioSelectBox->count(), 0);
        EXPECT_EQ(Text(form.RadioStationDesc->text()), "");
        QTest::mouseClick(form.OKButt, Qt::LeftButton);
        EXPECT_TRUE(form.isVisible());
        QTest::mouseClick(form.CancelButt, Qt::LeftButton);
    });
    EXPECT_TRUE(Engine().RadioNames.empty());
    EXPECT_EQ(Engine().Paths, std::vector<std::string>{song});
    EXPECT_EQ(Engine().RadioStation, 2);
}
