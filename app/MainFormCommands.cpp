// What the main window's buttons, bars, boxes and menu entries do: each
// turns the user's action into a call on the engine or the effect chain.
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QTimer>
#include <QUrl>

#include "app/Tonik_URLform.h"
#include "app/Tonik_about.h"
#include "app/Tonik_effects.h"
#include "app/Tonik_radioform.h"
#include "app/Tonik_tags.h"
#include "app/Tonik_mainform.h"
#include "app/TrackBar.h"
#include "audio/AudioLibrary.h"
#include "effects/EffectChain.h"

void TForm1::OpenClick() {
    if (Tonik->AddFromDialog(1) == 0) Tonik->PlayCurrent();
}

void TForm1::AddClick() {
    Tonik->AddFromDialog(2);
}

void TForm1::PlayClick() {
    Tonik->PlaySelectedEntry();
}

void TForm1::Play2Click() {
    Tonik->PlaySelectedAsFile();
}

void TForm1::PauseClick() {
    Tonik->PauseCommand();
}

void TForm1::StopClick() {
    Tonik->StopCommand();
}

void TForm1::PrevClick() {
    Tonik->StopCommand();
    Tonik->PreviousEntry();
}

void TForm1::NextClick() {
    Tonik->StopCommand();
    Tonik->NextEntry();
}

void TForm1::RemClick() {
    Tonik->RemoveSelected();
}

void TForm1::ClearClick() {
    Tonik->ClearPlaylist();
}

void TForm1::AddfolderClick() {
    Tonik->AddFolderCommand();
}

void TForm1::OpenCD1Click() {
    Tonik->OpenCD();
}

void TForm1::OpenURL1Click() {
    openURLBox_->exec();
}

void TForm1::Listenradio1Click() {
    radioSelectForm_->exec();
}

void TForm1::Saveplaylist1Click() {
    QFileDialog* dialog = saveDialog();
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
    const std::string name = dialog->selectedFiles().constFirst().toStdString();
    if (dialog->nameFilters().indexOf(dialog->selectedNameFilter()) == 1)
        Tonik->SavePLS(name);
    else
        Tonik->SaveM3U(name);
}

// Ends the event loop without the window's close handler: nothing is saved.
void TForm1::Exit1Click() {
    terminating_ = true;
    QApplication::exit(0);
}

void TForm1::Filters1Click() {
    filtersBox_->exec();
}

void TForm1::Tags1Click() {
    const int row = selectedRow();
    if (rowCount() > 0 && row < 0) return messageBox(Messages[16], Messages[17], 64);
    if (rowCount() == 0) return messageBox(Messages[18], Messages[17], 64);
    if (static_cast<size_t>(row) >= Tonik->Paths.size()) return;
    const QString path = QString::fromStdString(Tonik->Paths[static_cast<size_t>(row)]);
    const QString extension = path.mid(path.lastIndexOf(QLatin1Char('.'))).toLower();
    if (extension == QLatin1String(".mp3"))
        TagEditKind = 1;
    else if (extension == QLatin1String(".ogg"))
        TagEditKind = 3;
    else
        return messageBox(Messages[19], Messages[17], 48);
    StopClick();
    tagEditBox_->exec();
}

void TForm1::About1Click() {
    aboutBox_->exec();
}

void TForm1::MusicPlayerHelp1Click() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(Tonik->AppDir + "Help.html")));
}

void TForm1::English1Click() {
    Tonik->Language = "English.lng";
    LoadLanguage(Tonik->Language);
    showVolumeLabel();
}

void TForm1::N3Click() {
    Tonik->Language = "Russian.lng";
    LoadLanguage(Tonik->Language);
    showVolumeLabel();
}

void TForm1::showVolumeLabel() {
    VolumeLabel->setText(QString::fromStdString(Messages[15]) + QString::number(Tonik->Volume) + QLatin1Char('%'));
    VolumeLabel->adjustSize();
}

void TForm1::setVolumeChange() {
    Tonik->ApplyVolume();
    showVolumeLabel();
}

void TForm1::Decreasevolume1Click() {
    if (setVolume->value() > 4) setVolume->setValue(setVolume->value() - 5);
}

void TForm1::Increasevolume1Click() {
    if (setVolume->value() < 96) setVolume->setValue(setVolume->value() + 5);
}

void TForm1::setPanChange() {
    Tonik->ApplyPan();
}

void TForm1::MuteOnOFFClick() {
    Tonik->Mute = !Tonik->Mute;
    Tonik->ApplyMute();
    Tonik->SaveConfig();
}

void TForm1::setLoopClick() {
    Tonik->Loop = setLoop->isChecked();
    Tonik->UpdatePreparedNext();
    Tonik->SaveConfig();
}

void TForm1::setShuffleClick() {
    Tonik->Shuffle = setShuffle->isChecked();
    Tonik->UpdatePreparedNext();
    Tonik->SaveConfig();
}

void TForm1::EQEnableClick() {
    Tonik->ApplyEqualizer();
    Tonik->SaveConfig();
}

void TForm1::BandChange(int Band) {
    SetEqBand(Channel, Band, Bands[static_cast<size_t>(Band)]->value());
    Tonik->SaveConfig();
}

void TForm1::PlayList2Click() {
    toggleView(!Tonik->ShowPlayList, Tonik->ShowEqualizer);
}

void TForm1::Equalizer1Click() {
    toggleView(Tonik->ShowPlayList, !Tonik->ShowEqualizer);
}

void TForm1::toggleView(bool PlayListShown, bool EqualizerShown) {
    Tonik->ShowPlayList = PlayListShown;
    Tonik->ShowEqualizer = EqualizerShown;
    UpdateLayout();
    Tonik->SaveConfig();
}

void TForm1::setPositionChange() {
    Tonik->PositionBarChanged();
}

void TForm1::PlayListDrawItem() {
    Tonik->PaintPlayList();
}

void TForm1::ChTimerTimer() {
    Tonik->Tick();
    // Once the stopped state is shown the step has nothing to do until a
    // channel starts, so it need not wake the program ten times a second.
    const int interval = audio::activity(Channel) == audio::kStopped ? kStoppedTickInterval : kTickInterval;
    if (ChTimer->interval() != interval) ChTimer->setInterval(interval);
}

void TForm1::wakeTimer() {
    if (ChTimer->interval() != kTickInterval) ChTimer->start(kTickInterval);
}
