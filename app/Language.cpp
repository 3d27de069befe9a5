// Language files: 116 lines read by position into the menu, the captions
// and hints of the main window, the message table and the file-dialog
// filters. A file that is not valid UTF-8 is read as windows-1251.
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "app/EqBandLabel.h"
#include "app/PlayListBox.h"
#include "app/Tonik_mainform.h"
#include "app/TrackBar.h"
#include "platform/CodePage.h"
#include "platform/TextFile.h"

namespace {

constexpr int kLineCount = 116;
constexpr const char* kOpenPatterns = "*.mp3 *.mp2 *.mp1 *.wav *.ogg *.wma *.cda *.mod *.xm *.it *.s3m *.umx *.stm "
                                      "*.mid *.aiff *.flac *.opus *.m4a *.mp4 *.aac *.m3u *.pls";

// Drops a character cut in two by the line length limit.
std::string WholeUtf8(std::string Text) {
    while (!Text.empty() && !platform::IsValidUtf8(Text)) Text.pop_back();
    return Text;
}

QString Trimmed(const QString& Caption) {
    QString name = Caption.trimmed();
    if (name.endsWith(QLatin1Char(':'))) name.chop(1);
    return name;
}

} // namespace

std::vector<std::function<void(const QString&)>> TForm1::languageTargets() {
    using Target = std::function<void(const QString&)>;
    std::vector<Target> targets(kLineCount);
    auto at = [&](int Line) -> Target& { return targets[static_cast<size_t>(Line - 1)]; };
    auto message = [](int Slot) { return [Slot](const QString& Text) { Messages.Slot(Slot) = Text.toStdString(); }; };

    QAction* const menu[] = {File1->menuAction(), Open1,   OpenCD1,         OpenURL1,        Listenradio1,
                             Saveplaylist1,       Exit1,   Playback1->menuAction(), Play1,   Play2,
                             Pause1,              Stop1,   Next1,           Decreasevolume1, Increasevolume1,
                             View1->menuAction(), PlayList2, Equalizer1,    Options1->menuAction(),
                             Language->menuAction(), Filters1, Tags1,       Help1->menuAction(), MusicPlayerHelp1,
                             About1};
    for (int i = 0; i < 25; ++i) {
        at(2 + i) = [action = menu[i]](const QString& Text) { action->setText(Text); };
    }
    at(28) = [this](const QString& Text) { setLoop->setText(Text); };
    at(29) = [this](const QString& Text) { setShuffle->setText(Text); };
    at(30) = message(15);
    QPushButton* buttons[] = {Add, Addfolder, Rem, Clear};
    for (int i = 0; i < 4; ++i) at(31 + i) = [button = buttons[i]](const QString& Text) { button->setText(Text); };
    at(35) = [this](const QString& Text) {
        PanLabel->setText(Text);
        PanLabel->adjustSize();
    };
    at(36) = [this](const QString& Text) {
        EQEnable->setText(Text);
        EQEnable->adjustSize();
    };
    at(37) = [this](const QString& Text) { EQLabel->setText(Text); };
    QToolButton* hinted[] = {Prev, Play, Pause, Stop, Next, Open, MuteOnOFF};
    for (int i = 0; i < 7; ++i) at(38 + i) = [this, button = hinted[i]](const QString& Text) { setHint(button, Text); };
    for (int i = 0; i < 21; ++i) at(46 + i) = message(25 + i);
    for (int i = 0; i < 8; ++i) at(68 + i) = message(46 + i);
    for (int i = 0; i < 3; ++i) at(77 + i) = message(55 + i);
    for (int i = 0; i < 4; ++i) at(81 + i) = message(58 + i);
    at(86) = message(54);
    for (int i = 0; i < 3; ++i) at(87 + i) = message(i);
    for (int i = 0; i < 12; ++i) at(91 + i) = message(3 + i);
    at(103) = [this](const QString& Text) {
        openFilter_ = Text + QStringLiteral(" (") + QLatin1String(kOpenPatterns) + QLatin1Char(')');
        if (OpenDialog) OpenDialog->setNameFilter(openFilter_);
    };
    at(104) = [this](const QString& Text) {
        saveFilters_ = QStringList{Text + QStringLiteral(" (*.m3u)"), Text + QStringLiteral(" (*.pls)")};
        if (SaveDialog) SaveDialog->setNameFilters(saveFilters_);
    };
    for (int i = 0; i < 9; ++i) at(105 + i) = message(16 + i);
    for (int i = 0; i < 2; ++i) at(115 + i) = message(62 + i);
    return targets;
}

void TForm1::LoadLanguage(const std::string& Name) {
    if (Name.empty()) return;
    const std::string path = Tonik->AppDir + "Lng/" + Name;
    std::string whole;
    if (!platform::ReadWholeFile(path, whole)) return;
    const bool utf8 = platform::IsValidUtf8(whole);
    platform::LineReader reader(path);

    // A file that ends early leaves the texts of its missing lines as they were.
    const auto targets = languageTargets();
    for (const auto& target : targets) {
        if (reader.atEnd()) break;
        std::string raw = platform::ReadSettingLine(reader);
        if (!target) continue;
        const std::string text = utf8 ? WholeUtf8(raw) : platform::ConvertText(raw, "WINDOWS-1251", "UTF-8");
        target(QString::fromStdString(text));
    }
    nameControls();
    wakeTimer();
}

// Screen readers name a control by its caption; the bars, the list and the
// image buttons by the label or hint that goes with them.
void TForm1::nameControls() {
    setVolume->setAccessibleName(Trimmed(QString::fromStdString(Messages[15])));
    setPan->setAccessibleName(Trimmed(PanLabel->text()));
    setPosition->setAccessibleName(Trimmed(Playback1->title()));
    PlayList->setAccessibleName(Trimmed(PlayList2->text()));
    const QStringList bands = EQLabel->bandNames();
    for (int i = 0; i < 8; ++i)
        Bands[static_cast<size_t>(i)]->setAccessibleName(
            bands.size() == 8 ? bands[i] : Trimmed(EQEnable->text()) + QLatin1Char(' ') + QString::number(i + 1));
    EqGroup->setAccessibleName(Trimmed(Equalizer1->text()));
    MuteOnOFF->setAccessibleDescription(Tonik->Mute ? QString::fromStdString(Messages[10]) : QString());
}
