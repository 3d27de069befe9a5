// The main window's commands: shortcuts, buttons, the volume steps and the
// language menu.
#include <cstdio>
#include <functional>

#include <QAccessible>
#include <QApplication>
#include <QScrollBar>
#include <QDesktopServices>
#include <QUrl>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "app/EqBandLabel.h"
#include "app/PlayListBox.h"
#include "app/TrackBar.h"
#include "audio/AudioLibrary.h"
#include "tests/app/PlayerTest.h"

namespace {

// Shortcuts reach the active window.
void Press(QWidget* Window, QKeyCombination Keys) {
    Window->activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == Window; }, 2000));
    QTest::keySequence(Window, QKeySequence(Keys));
    QTest::qWait(10);
}

} // namespace

class CommandsTest : public PlayerTest {
  protected:
    // Three entries from the command line; the first one plays.
    void StartWithThreeEntries() {
        for (const char* name : {"a.wav", "b.wav", "c.wav"}) MakeWav(name, 4);
        Write("three.m3u", "#EXTM3U\r\na.wav\r\nb.wav\r\nc.wav");
        ASSERT_TRUE(Start({home + "/three.m3u"}));
    }
    // Whether the key sequence opens the dialog; it is cancelled again.
    bool OpensDialog(QKeyCombination Keys, const std::function<QWidget*()>& Dialog) {
        QWidget* shown = nullptr;
        AnswerNextModal([&](QWidget* Modal) {
            shown = Modal;
            Modal->close();
        });
        Press(&Form(), Keys);
        EXPECT_TRUE(QTest::qWaitFor([&] { return shown != nullptr; }, 1000));
        return shown && shown == Dialog();
    }
};

TEST_F(CommandsTest, EveryShortcutReachesItsCommand) {
    StartWithThreeEntries();
    TForm1& form = Form();
    ASSERT_EQ(audio::activity(Channel), audio::kPlaying);
    Press(&form, Qt::CTRL | Qt::Key_A);
    EXPECT_EQ(Channel, 0u);
    Press(&form, Qt::CTRL | Qt::Key_P);
    EXPECT_EQ(audio::activity(Channel), audio::kPlaying);
    Press(&form, Qt::CTRL | Qt::Key_Q);
    EXPECT_EQ(audio::activity(Channel), audio::kPaused);
    Press(&form, Qt::CTRL | Qt::Key_Q);
    EXPECT_EQ(audio::activity(Channel), audio::kPlaying);
    Press(&form, Qt::CTRL | Qt::Key_N);
    EXPECT_EQ(Engine().CurrentIndex, 1);
    EXPECT_EQ(Engine().CurrentFile, home + "/b.wav");
    Press(&form, Qt::CTRL | Qt::Key_V);
    EXPECT_EQ(Engine().CurrentIndex, 0);
    EXPECT_EQ(audio::activity(Channel), audio::kPlaying);
    Press(&form, Qt::CTRL | Qt::Key_F1);
    EXPECT_EQ(form.setVolume->value(), 95);
    Press(&form, Qt::CTRL | Qt::Key_F2);
    EXPECT_EQ(form.setVolume->value(), 100);
    EXPECT_TRUE(OpensDialog(Qt::CTRL | Qt::Key_O, [&] { return form.OpenDialog; }));
    EXPECT_TRUE(OpensDialog(Qt::CTRL | Qt::Key_S, [&] { return form.SaveDialog; }));
    EXPECT_EQ(Engine().Paths.size(), 3u) << "a cancelled Open changes nothing";
    EXPECT_TRUE(form.OpenCD1->isEnabled());
    EXPECT_FALSE(form.OpenCD1->shortcut().isEmpty());
    EXPECT_TRUE(form.Tags1->isEnabled());
}

TEST_F(CommandsTest, ButtonsAndThePlaylist) {
    StartWithThreeEntries();
    TForm1& form = Form();
    const QPoint thirdRow(20, 2 + 2 * PlayListBox::kItemHeight + 8);
    QTest::mouseDClick(form.PlayList, Qt::LeftButton, {}, thirdRow);
    EXPECT_EQ(form.PlayList->selectedRow(), 2);
    EXPECT_EQ(Engine().CurrentIndex, 2);
    EXPECT_EQ(audio::activity(Channel), audio::kPlaying);

    QTest::mouseClick(form.MuteOnOFF, Qt::LeftButton);
    EXPECT_TRUE(Engine().Mute);
    int volume = -1;
    audio::readAttributes(Channel, nullptr, &volume, nullptr);
    EXPECT_EQ(volume, 0);
    EXPECT_NE(Read("config.cfg").find("\r\nMute=1\r\n"), std::string::npos);
    QTest::mouseClick(form.MuteOnOFF, Qt::LeftButton);
    audio::readAttributes(Channel, nullptr, &volume, nullptr);
    EXPECT_EQ(volume, 100);

    QTest::mouseClick(form.Pause, Qt::LeftButton);
    EXPECT_EQ(audio::activity(Channel), audio::kPaused);
    QTest::mouseClick(form.Stop, Qt::LeftButton);
    EXPECT_EQ(Channel, 0u);
    QTest::mouseClick(form.Next, Qt::LeftButton);
    EXPECT_EQ(Engine().CurrentIndex, 0) << "Next on the last row wraps";
    QTest::mouseClick(form.Prev, Qt::LeftButton);
    EXPECT_EQ(Engine().CurrentIndex, 2);

    QTest::keyClick(form.setPan, Qt::Key_Left);
    int pan = 0;
    audio::readAttributes(Channel, nullptr, nullptr, &pan);
    EXPECT_EQ(pan, -100);
    EXPECT_NE(Read("config.cfg").find("\r\nPan=-1\r\n"), std::string::npos);

    QTest::mouseClick(form.Rem, Qt::LeftButton);
    EXPECT_EQ(form.PlayList->count(), 2);
    EXPECT_EQ(Engine().Paths.size(), 2u);
    QTest::mouseClick(form.Clear, Qt::LeftButton);
    EXPECT_EQ(form.PlayList->count(), 0);
    EXPECT_FALSE(Exists("current.m3u")) << "an empty playlist leaves no autosave";
}

TEST_F(CommandsTest, EveryControlHasANameForScreenReaders) {
    StartWithThreeEntries();
    for (QWidget* control : Form().findChildren<QWidget*>()) {
        if (!qobject_cast<QAbstractButton*>(control) && !qobject_cast<QAbstractSlider*>(control) &&
            !qobject_cast<PlayListBox*>(control))
            continue;
        if (qobject_cast<QScrollBar*>(control) || control->window() != &Form() || !control->isVisibleTo(&Form()))
            continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
            << control->metaObject()->className() << " " << control->objectName().toStdString();
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(Form().Play)->text(QAccessible::Name).toStdString(),
              LanguageLine("Russian.lng", 39));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(Form().PlayList);
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_EQ(list->childCount(), 3);
    EXPECT_EQ(list->child(1)->text(QAccessible::Name), Form().PlayList->item(1));
    EXPECT_TRUE(list->child(0)->state().selected);
    EXPECT_EQ(list->indexOfChild(list->child(2)), 2);
}

// Receives the addresses the program asks the desktop to open.
class OpenedUrls : public QObject {
    Q_OBJECT

  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl& Url) { urls.append(Url); }
};

TEST_F(CommandsTest, HelpOpensTheBundledPage) {
    ASSERT_TRUE(Start());
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    ClickMenu({Form().Help1->menuAction(), Form().MusicPlayerHelp1});
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(home + "/Help.html"))});
}

TEST_F(CommandsTest, VolumeStepsStopShortOfTheEnds) {
    ASSERT_TRUE(Start());
    TrackBar* volume = Form().setVolume;
    struct Step {
        int from;
        QKeyCombination keys;
        int to;
    };
    for (const Step& step : {Step{4, Qt::CTRL | Qt::Key_F1, 4}, Step{5, Qt::CTRL | Qt::Key_F1, 0},
                             Step{95, Qt::CTRL | Qt::Key_F2, 100}, Step{96, Qt::CTRL | Qt::Key_F2, 96}}) {
        volume->setValue(step.from);
        Press(&Form(), step.keys);
        EXPECT_EQ(volume->value(), step.to) << "from " << step.from;
        EXPECT_EQ(Engine().Volume, step.to);
        EXPECT_EQ(Form().VolumeLabel->text().toStdString(),
                  LanguageLine("Russian.lng", 30) + std::to_string(step.to) + "%");
    }
    EXPECT_NE(Read("config.cfg").find("\r\nVolume=96\r\n"), std::string::npos);
}

TEST_F(CommandsTest, LanguageSwitchChangesEveryTextAtOnce) {
    ASSERT_TRUE(Start());
    TForm1& form = Form();
    form.setShuffle->click();
    ClickMenu({form.Options1->menuAction(), form.Language->menuAction(), form.English1});

    auto text = [](const QString& Text) { return Text.toStdString(); };
    const std::vector<std::pair<int, std::string>> shown = {
        {2, text(form.File1->title())},        {3, text(form.Open1->text())},
        {8, text(form.Exit1->text())},         {9, text(form.Playback1->title())},
        {10, text(form.Play1->text())},        {16, text(form.Increasevolume1->text())},
        {18, text(form.PlayList2->text())},    {21, text(form.Language->title())},
        {23, text(form.Tags1->text())},        {26, text(form.About1->text())},
        {28, text(form.setLoop->text())},      {29, text(form.setShuffle->text())},
        {31, text(form.Add->text())},          {34, text(form.Clear->text())},
        {35, text(form.PanLabel->text())},     {36, text(form.EQEnable->text())},
        {37, text(form.EQLabel->text())},      {38, text(form.Prev->toolTip())},
        {43, text(form.Open->toolTip())},      {44, text(form.MuteOnOFF->toolTip())},
        {39, text(form.Play->accessibleName())}, {46, Messages[25]},
        {66, Messages[45]},                    {68, Messages[46]},
        {75, Messages[53]},                    {79, Messages[57]},
        {84, Messages[61]},                    {86, Messages[54]},
        {87, Messages[0]},                     {91, Messages[3]},
        {102, Messages[14]},                   {105, Messages[16]},
        {113, Messages[24]}};
    for (const auto& [line, value] : shown) EXPECT_EQ(value, LanguageLine("English.lng", line)) << "line " << line;
    EXPECT_EQ(text(form.VolumeLabel->text()), LanguageLine("English.lng", 30) + "100%");
    std::vector<std::string> opened;
    AnswerNextModal([&](QWidget* Modal) {
        EXPECT_TRUE(static_cast<QFileDialog*>(Modal)->nameFilters().constFirst().startsWith(
            QString::fromStdString(LanguageLine("English.lng", 103) + " (*.mp3 ")));
        Modal->close();
    });
    form.openFilesDialog(opened);
    const QString playlists = QString::fromStdString(LanguageLine("English.lng", 104));
    AnswerNextModal([&](QWidget* Modal) {
        EXPECT_EQ(static_cast<QFileDialog*>(Modal)->nameFilters(),
                  QStringList({playlists + " (*.m3u)", playlists + " (*.pls)"}));
        Modal->close();
    });
    ClickMenu({form.File1->menuAction(), form.Saveplaylist1});
    EXPECT_EQ(text(form.Bands[0]->accessibleName()), "125 Hz");
    EXPECT_NE(Read("config.cfg").find("Language=Russian.lng"), std::string::npos) << "stored at the next save";
    form.setShuffle->click();
    EXPECT_NE(Read("config.cfg").find("Language=English.lng"), std::string::npos);

    // A short file changes the lines it has; a missing file changes nothing.
    Write("Lng/Short.lng", "[Menu]\r\nDatei\r\nOffnen");
    form.LoadLanguage("Short.lng");
    EXPECT_EQ(text(form.File1->title()), "Datei");
    EXPECT_EQ(text(form.Open1->text()), "Offnen");
    EXPECT_EQ(text(form.Exit1->text()), LanguageLine("English.lng", 8));
    std::remove((home + "/Lng/Russian.lng").c_str());
    ClickMenu({form.Options1->menuAction(), form.Language->menuAction(), form.N3});
    EXPECT_EQ(text(form.File1->title()), "Datei");
    EXPECT_EQ(Engine().Language, "Russian.lng");
}

#include "CommandsTest.moc"
