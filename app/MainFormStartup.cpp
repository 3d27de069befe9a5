// Start-up, shut-down, the window's layouts and the single running copy.
#include <cstdlib>

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>

#include "app/PlayListBox.h"
#include "app/Tonik_about.h"
#include "app/Tonik_effects.h"
#include "app/Tonik_mainform.h"
#include "app/Tonik_progress.h"
#include "app/WindowLayouts.h"
#include "audio/AudioLibrary.h"
#include "platform/ProcessCopies.h"

namespace {

std::string ProgramFolder() {
    if (const char* home = std::getenv("NILO_HOME"); home && *home) {
        std::string folder = home;
        return folder.back() == '/' ? folder : folder + "/";
    }
    return QCoreApplication::applicationDirPath().toStdString() + "/";
}

// The extension from the last "." of the file name part, dot included.
std::string Extension(const std::string& Path) {
    const size_t name = Path.rfind('/');
    const size_t dot = Path.rfind('.');
    if (dot == std::string::npos || (name != std::string::npos && dot < name)) return {};
    return Path.substr(dot);
}

} // namespace

void TForm1::setDialogs(TProgressBox& Progress, TAboutBox& About, TFiltersBox& Filters) {
    progressBox_ = &Progress;
    aboutBox_ = &About;
    filtersBox_ = &Filters;
}

bool TForm1::FormCreate(const std::vector<std::string>& Arguments) {
    Tonik->AppDir = ProgramFolder();
    KillOtherInstances();
    Tonik->LoadM3U("");

    audio::configure(1, 10);
    const bool audioReady = audio::openOutput(-1, audio::kOutputRate, audio::kFloatSamples);
    LoadConfig();
    // The filters apply as stored from the first channel on.
    filtersBox_->Load();
    if (Tonik->Language.empty()) Tonik->Language = "Russian.lng";
    LoadLanguage(Tonik->Language);
    showVolumeLabel();
    Tonik->Elapsed = 0;
    Tonik->CurrentIndex = -1;
    if (!audioReady) {
        messageBox(Messages[3], windowTitle().toStdString(), 0);
        return false;
    }

    if (Arguments.empty() || Arguments.front().empty())
        dropMissingEntries();
    else
        openArgument(Arguments.front());
    StartupComplete = true;
    ChTimer->start();
    return true;
}

// The command line's file or playlist replaces the playlist and plays, with
// the whole effect chain as every later channel gets it.
void TForm1::openArgument(std::string Argument) {
    if (!IsNetworkEntry(Argument)) Argument = QFileInfo(QString::fromStdString(Argument)).absoluteFilePath().toStdString();
    const std::string extension = Extension(Argument);
    Tonik->ClearPlaylist();
    if (extension == ".m3u")
        Tonik->LoadM3U(Argument);
    else if (extension == ".pls")
        Tonik->LoadPLS(Argument);
    else
        Tonik->AddEntry(Argument);
    Tonik->PlayCurrent();
    Tonik->ApplyEffectChain();
}

// Entries whose files are gone leave the playlist as soon as a second thread
// has looked for them all, so that a long playlist does not hold up the
// window. A playlist changed in the meantime is left as it is.
void TForm1::dropMissingEntries() {
    missingCheck_ = std::jthread([this, paths = Tonik->Paths] {
        std::vector<bool> missing = TTonikMain::FindMissing(paths);
        QMetaObject::invokeMethod(
            this,
            [this, paths = std::move(paths), missing = std::move(missing)] {
                if (Tonik->Paths == paths) Tonik->RemoveEntries(missing);
            },
            Qt::QueuedConnection);
    });
}

void TForm1::closeEvent(QCloseEvent* Event) {
    Event->accept();
    // Leaving the event loop closes the windows as well.
    if (terminating_) return;
    Tonik->Shutdown();
    terminating_ = true;
    QApplication::exit(0);
}

void TForm1::UpdateLayout() {
    const WindowLayout layout = LayoutFor(Tonik->ShowPlayList, Tonik->ShowEqualizer);
    PlayList2->setChecked(Tonik->ShowPlayList);
    Equalizer1->setChecked(Tonik->ShowEqualizer);
    client_->setFixedHeight(layout.ClientHeight);
    if (layout.MovesParts) {
        EqGroup->move(EqGroup->x(), layout.EqGroupTop);
        PlayList->move(PlayList->x(), layout.PlayListTop);
    }
    // Parts that do not fit the client area are hidden, so the keyboard and
    // screen readers do not reach them.
    for (QWidget* part : std::initializer_list<QWidget*>{PlayList, Add, Addfolder, Rem, Clear, EqGroup})
        part->setVisible(part->y() + part->height() <= layout.ClientHeight);
}

void TForm1::KillOtherInstances() {
    const std::string executable = platform::ExecutablePath();
    if (!executable.empty()) platform::EndOtherCopies(executable);
}

void TForm1::writeConfig() {
    configWriter_.Write(Tonik->AppDir + "config.cfg", ConfigText());
}
