// The main window as the engine sees it: the playlist view, the seek bar,
// the labels and title, the sound controls and the dialogs.
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QToolButton>

#include "app/Pictures.h"
#include "app/PlayListBox.h"
#include "app/Tonik_effects.h"
#include "app/Tonik_mainform.h"
#include "app/Tonik_progress.h"
#include "app/TrackBar.h"

namespace {

QString Text(const std::string& Utf8) {
    return QString::fromStdString(Utf8);
}

QMessageBox::Icon BoxIcon(int Icon) {
    switch (Icon) {
    case 16: return QMessageBox::Critical;
    case 48: return QMessageBox::Warning;
    case 64: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

} // namespace

int TForm1::rowCount() const {
    return PlayList->count();
}

std::string TForm1::rowText(int Row) const {
    return PlayList->item(Row).toStdString();
}

void TForm1::appendRow(const std::string& Text) {
    playlistTouched_ = true;
    PlayList->appendItem(::Text(Text));
}

void TForm1::setRowText(int Row, const std::string& Text) {
    PlayList->setItem(Row, ::Text(Text));
}

void TForm1::removeRow(int Row) {
    playlistTouched_ = true;
    PlayList->removeItem(Row);
}

void TForm1::clearRows() {
    playlistTouched_ = true;
    PlayList->clearItems();
}

int TForm1::selectedRow() const {
    return PlayList->selectedRow();
}

void TForm1::setSelectedRow(int Row) {
    PlayList->setSelectedRow(Row);
}

int TForm1::topRow() const {
    return PlayList->topRow();
}

void TForm1::setTopRow(int Row) {
    PlayList->setTopRow(Row);
}

int TForm1::listWidth() const {
    return PlayList->rowsSize().width();
}

int TForm1::listHeight() const {
    return PlayList->rowsSize().height();
}

int TForm1::rowHeight() const {
    return PlayListBox::kItemHeight;
}

double TForm1::pictureScale() const {
    return PlayList->devicePixelRatioF();
}

void TForm1::showPlayListPicture(const QImage& Picture) {
    PlayList->showPicture(Picture);
}

int TForm1::positionMax() const {
    return setPosition->maximum();
}

// Every start of a channel sets the bar's range.
void TForm1::setPositionMax(int Max) {
    setPosition->setMaximum(std::max(Max, 0));
    wakeTimer();
}

int TForm1::barPosition() const {
    return setPosition->value();
}

void TForm1::setBarPosition(int Position) {
    // While the user holds the bar it shows where the user puts it.
    if (!setPosition->leftButtonHeld()) setPosition->setValue(Position);
}

bool TForm1::positionDragged() const {
    return setPosition->leftButtonHeld();
}

void TForm1::setTipText(const std::string& Text) {
    const QString text = ::Text(Text);
    if (TipText->text() != text) TipText->setText(text);
}

void TForm1::setTimeLabel(const std::string& Text) {
    const QString text = ::Text(Text);
    if (TimeLabel->text() != text) TimeLabel->setText(text);
}

void TForm1::setApplicationTitle(const std::string& Text) {
    const QString text = ::Text(Text);
    if (windowTitle() != text) setWindowTitle(text);
}

int TForm1::volumePosition() const {
    return setVolume->value();
}

int TForm1::panPosition() const {
    return setPan->value();
}

bool TForm1::equalizerEnabled() const {
    return EQEnable->isChecked();
}

int TForm1::bandPosition(int Band) const {
    return Band >= 0 && Band < 8 ? Bands[static_cast<size_t>(Band)]->value() : 0;
}

void TForm1::setMuteGlyph(bool Muted) {
    MuteOnOFF->setIcon(Glyph(Muted ? QStringLiteral("muted") : QStringLiteral("sound")));
    MuteOnOFF->setAccessibleDescription(Muted ? QString::fromStdString(Messages[10]) : QString());
}

const effects::FilterControls& TForm1::filterControls() const {
    return *filtersBox_;
}

void TForm1::messageBox(const std::string& Text, const std::string& Caption, int Icon) {
    QMessageBox box(BoxIcon(Icon), ::Text(Caption), ::Text(Text), QMessageBox::Ok, this);
    box.exec();
}

void TForm1::processEvents() {
    QCoreApplication::processEvents();
}

bool TForm1::closing() const {
    return terminating_;
}

bool TForm1::openFilesDialog(std::vector<std::string>& FileNames) {
    QFileDialog* dialog = openDialog();
    if (dialog->exec() != QDialog::Accepted) return false;
    FileNames.clear();
    for (const QString& name : dialog->selectedFiles()) FileNames.push_back(name.toStdString());
    return true;
}

std::string TForm1::chooseFolder(const std::string& Caption) {
    QFileDialog chooser(this, ::Text(Caption));
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    // Beside the main window rather than over the middle of the screen.
    chooser.move(frameGeometry().topLeft() + QPoint(50, 50));
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return {};
    return chooser.selectedFiles().constFirst().toStdString();
}

void TForm1::showProgressBox() {
    progressBox_->show();
}
