// Start-up, shut-down, the window's layouts and the single running copy.
#include <cstdlib>

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>

#include "app/PlayListBox.h"
#include "app/ProgramFolder.h"
#include "app/Tonik_about.h"
#include "app/Tonik_effects.h"
#include "app/Tonik_mainform.h"
#include "app/Tonik_progress.h"
#include "app/WindowLayouts.h"
#include "audio/AudioLibrary.h"
#include "platform/ProcessCopies.h"

namespace {

// The extension from the last "." of the file name part, dot included.
std::string Extension(const std::string& Path) {
    const size_t name = Path.rfind('/');
    const size_t dot = Path.rfind('.');
    if (dot == std::string::npos || (name != std::string::npos && dot < name)) return {};
    return Path.substr(dot);
}

} // namespace

bool OpenAudioOutput() {
    audio::configure(1, 10);
    return audio::openOutput(-1, audio::kOutputRate, audio::kFloatSamples);
}

void TForm1::setAudioOpening(std::future<bool> Opening) {
    audioOpening_ = std::move(Opening);
}

void TForm1::setDialogs(TProgressBox& Progress, TAboutBox& About, TTagEditBox& TagEdit, TFiltersBox& Filters,
                        TOpenURLBox& OpenURL, TRadioSelectForm& RadioSelect) {
    progressBox_ = &Progress;
    aboutBox_ = &About;
    tagEditBox_ = &TagEdit;
    filtersBox_ = &Filters;
    openURLBox_ = &OpenURL;
    radioSelectForm_ = &RadioSelect;
}

bool TForm1::FormCreate(const std::vector<std::string>& Arguments) {
    Tonik->AppDir = ProgramFolder();
    KillOtherInstances();
    const bool argument = !Arguments.empty() && !Arguments.front().empty();
    // The command line's file replaces the playlist of the last run.
    if (!argument) loadAutosave();

    const bool audioReady = audioOpening_.valid() ? audioOpening_.get() : OpenAudioOutput();
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

    if (argument) openArgument(Arguments.front());
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
    // A stream starts once the window runs: its pre-buffering wait must not
    // hold up start-up.
    if (!Tonik->Paths.empty() && IsNetworkEntry(Tonik->Paths.front())) {
        QTimer::singleShot(0, this, [this] { Tonik->PlayStream(); });
        return;
    }
    Tonik->PlayCurrent();
    Tonik->ApplyEffectChain();
}

// The playlist of the last run is read, and its entries whose files are gone
// are dropped, on a second thread: with a hundred thousand entries that takes
// longer than building the window, which opens at once and gets its rows a
// moment later.
void TForm1::loadAutosave() {
    autosaveLoad_ = std::jthread([this, file = Tonik->AppDir + "current.m3u"] {
        LoadedEntries loaded = ReadM3U(file);
        const std::vector<bool> missing = TTonikMain::FindMissing(loaded.Paths);
        LoadedEntries kept;
        for (size_t i = 0; i < missing.size(); ++i) {
            if (missing[i]) continue;
            kept.Paths.push_back(std::move(loaded.Paths[i]));
            kept.Texts.push_back(std::move(loaded.Texts[i]));
        }
        QMetaObject::invokeMethod(
            this, [this, kept = std::move(kept)]() mutable { addAutosaved(std::move(kept)); }, Qt::QueuedConnection);
    });
}

// Rows the user added in the meantime stay before the loaded ones; a
// playlist the user cleared in the meantime stays empty.
void TForm1::addAutosaved(LoadedEntries Entries) {
    autosaveLoad_.join();
    const bool touched = playlistTouched_;
    if (touched && Tonik->Paths.empty()) return;
    Tonik->AppendLoaded(std::move(Entries));
    if (touched) Tonik->SaveM3U("");
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
