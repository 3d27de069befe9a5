// nilo-screenshots FOLDER en|ru PLAYLIST
// Starts the player on PLAYLIST with a track playing and a row selected, and
// saves every window as FOLDER/<window>-<language>-x<pixel ratio>.png. Start-up
// writes its files to the player's folder, so NILO_HOME should name a scratch
// folder holding Lng/ (and radiostations.cfg for the station dialog).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include <utility>

#include <QAbstractItemView>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include "WindowShot.h"
#include "app/NiloApplication.h"
#include "app/PlayerWindows.h"
#include "audio/AudioLibrary.h"

namespace {

// Lets timers tick and pending paints and layouts happen.
void Wait(int Milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(Milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

class Shots {
  public:
    Shots(QString Folder, QString Suffix) : folder_(std::move(Folder)), suffix_(std::move(Suffix)) {}

    void save(QWidget& Window, const QString& Name, bool WithTitleBar = true) {
        Wait(200);
        const QString file = folder_ + QLatin1Char('/') + Name + suffix_ + QStringLiteral(".png");
        if (SaveWindowShot(Window, file, WithTitleBar)) {
            std::printf("%s\n", qPrintable(file));
        } else {
            std::fprintf(stderr, "nilo-screenshots: cannot write %s\n", qPrintable(file));
            failed_ = true;
        }
    }

    bool failed() const { return failed_; }

  private:
    QString folder_;
    QString suffix_;
    bool failed_ = false;
};

void ShootMainWindow(TForm1& Form, Shots& Out) {
    const std::pair<bool, bool> layouts[] = {{true, true}, {true, false}, {false, true}, {false, false}};
    for (const auto& [playList, equalizer] : layouts) {
        Form.Tonik->ShowPlayList = playList;
        Form.Tonik->ShowEqualizer = equalizer;
        Form.UpdateLayout();
        Out.save(Form, QStringLiteral("main-%1").arg(Form.centralWidget()->height()));
    }
    Form.Tonik->ShowPlayList = true;
    Form.Tonik->ShowEqualizer = true;
    Form.UpdateLayout();
}

void ShootMenus(TForm1& Form, Shots& Out) {
    const std::pair<QMenu*, const char*> menus[] = {{Form.File1, "file"},     {Form.Playback1, "playback"},
                                                    {Form.View1, "view"},     {Form.Options1, "options"},
                                                    {Form.Language, "language"}, {Form.Help1, "help"}};
    for (const auto& [menu, name] : menus) {
        menu->popup(Form.mapToGlobal(QPoint(0, 0)));
        Out.save(*menu, QStringLiteral("menu-") + QLatin1String(name), false);
        menu->hide();
    }
}

void ShootDialog(QWidget& Dialog, const QString& Name, Shots& Out) {
    Dialog.show();
    Out.save(Dialog, Name);
    Dialog.hide();
}

// The tag editor on the playlist's first entry with the extension.
void ShootTagEditor(PlayerWindows& Windows, const std::string& Extension, int Kind, Shots& Out) {
    const std::vector<std::string>& paths = Windows.Form1.Tonik->Paths;
    const auto entry = std::find_if(paths.begin(), paths.end(), [&](const std::string& Path) {
        return Path.size() >= Extension.size() && Path.compare(Path.size() - Extension.size(), Extension.size(), Extension) == 0;
    });
    if (entry == paths.end()) return;
    Windows.Form1.setSelectedRow(static_cast<int>(entry - paths.begin()));
    TagEditKind = Kind;
    ShootDialog(Windows.TagEditBox, QStringLiteral("tags-") + QString::fromStdString(Extension.substr(1)), Out);
}

// The address dialog with an address typed; the station dialog on the
// station list beside the player with a station chosen, and its list open.
void ShootStreamDialogs(PlayerWindows& Windows, Shots& Out) {
    Windows.OpenURLBox.CurURL->setText(QStringLiteral("radio.example.org:8000/live.mp3"));
    ShootDialog(Windows.OpenURLBox, QStringLiteral("openurl"), Out);
    Windows.Form1.Tonik->RadioStation = 6;
    TRadioSelectForm& radio = Windows.RadioSelectForm;
    radio.show();
    Out.save(radio, QStringLiteral("radio"));
    radio.RadioSelectBox->showPopup();
    Out.save(*radio.RadioSelectBox->view()->window(), QStringLiteral("radio-list"), false);
    radio.RadioSelectBox->hidePopup();
    radio.hide();
}

} // namespace

int main(int argc, char** argv) {
    NiloApplication application(argc, argv);
    if (argc != 4 || (qstrcmp(argv[2], "en") != 0 && qstrcmp(argv[2], "ru") != 0)) {
        std::fprintf(stderr, "usage: nilo-screenshots FOLDER en|ru PLAYLIST\n");
        return 2;
    }
    const QString language = QString::fromLocal8Bit(argv[2]);
    int status = 1;
    {
        PlayerWindows windows;
        TForm1& form = windows.Form1;
        if (form.FormCreate({argv[3]})) {
            if (language == QLatin1String("en"))
                form.English1Click();
            else
                form.N3Click();
            form.show();
            // Long enough for the time and the status line to move on.
            Wait(1500);
            if (form.rowCount() > 2) form.setSelectedRow((std::max(form.Tonik->CurrentIndex, 0) + 2) % form.rowCount());

            const int ratio = qRound(form.devicePixelRatioF());
            Shots out(QString::fromLocal8Bit(argv[1]), QStringLiteral("-%1-x%2").arg(language).arg(ratio));
            ShootMainWindow(form, out);
            ShootMenus(form, out);
            ShootDialog(windows.AboutBox, QStringLiteral("about"), out);
            ShootDialog(windows.FiltersBox, QStringLiteral("filters"), out);
            ShootStreamDialogs(windows, out);
            ShootTagEditor(windows, ".mp3", 2, out);
            ShootTagEditor(windows, ".ogg", 3, out);
            // A folder being added: 3 of its 8 files so far.
            form.Tonik->ScanFound = 8;
            form.Tonik->ScanAdded = 3;
            ShootDialog(windows.ProgressBox, QStringLiteral("progress"), out);
            status = out.failed() ? 1 : 0;
        } else {
            std::fprintf(stderr, "nilo-screenshots: the audio output could not be opened\n");
        }
    }
    audio::closeOutput();
    return status;
}
