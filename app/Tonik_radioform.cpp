#include "app/Tonik_radioform.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "engine/RadioStations.h"
#include "engine/Tonik_main.h"

TRadioSelectForm::TRadioSelectForm(QWidget& Owner, TTonikMain& Tonik)
    : ButtonDialog(Owner, QStringLiteral("Radio selection"), {369, 146}), tonik_(Tonik) {
    RadioSelectBox = new QComboBox(this);
    RadioSelectBox->setGeometry(16, 32, 345, 21);
    RadioSelectBox->setMaxVisibleItems(7);
    // Styles that open the list around the chosen item show every item, not seven.
    RadioSelectBox->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    SelectRadioLabel = label(QStringLiteral("Select radiostation:"), {16, 16}, RadioSelectBox);
    RadioStationDesc = new QLineEdit(this);
    RadioStationDesc->setGeometry(16, 80, 345, 21);
    RadioStationDesc->setReadOnly(true);
    // Tab passes it by: focus it gets from a click goes back to the list.
    RadioStationDesc->setFocusPolicy(Qt::ClickFocus);
    RadioStationDesc->installEventFilter(this);
    RadioDescLabel = label(QStringLiteral("Radiostation description:"), {16, 64}, RadioStationDesc);
    OKButt = button(QStringLiteral("OK"), {104, 112, 75, 25});
    CancelButt = button(QStringLiteral("Cancel"), {189, 112, 75, 25});
    connect(RadioSelectBox, &QComboBox::currentIndexChanged, this, &TRadioSelectForm::RadioSelectBoxChange);
    connect(OKButt, &QPushButton::clicked, this, &TRadioSelectForm::OKButtClick);
    connect(CancelButt, &QPushButton::clicked, this, &TRadioSelectForm::CancelButtClick);
}

void TRadioSelectForm::showEvent(QShowEvent* Event) {
    FormShow();
    ButtonDialog::showEvent(Event);
}

bool TRadioSelectForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == RadioStationDesc && Event->type() == QEvent::FocusIn) RadioStationDescEnter();
    return ButtonDialog::eventFilter(Watched, Event);
}

void TRadioSelectForm::FormShow() {
    setWindowTitle(QString::fromStdString(Messages[58]));
    setCaption(SelectRadioLabel, QString::fromStdString(Messages[59]));
    setCaption(RadioDescLabel, QString::fromStdString(Messages[60]));
    CancelButt->setText(QString::fromStdString(Messages[61]));

    const QSignalBlocker filling(RadioSelectBox);
    RadioSelectBox->clear();
    LoadRadioStations(tonik_);
    for (const std::string& name : tonik_.RadioNames) RadioSelectBox->addItem(QString::fromStdString(name));
    const int count = static_cast<int>(tonik_.RadioNames.size());
    const int station = tonik_.RadioStation >= 0 && tonik_.RadioStation < count ? tonik_.RadioStation : 0;
    RadioSelectBox->setCurrentIndex(count > 0 ? station : -1);
    showDescription(RadioSelectBox->currentIndex());
}

void TRadioSelectForm::RadioSelectBoxChange() {
    showDescription(RadioSelectBox->currentIndex());
}

void TRadioSelectForm::showDescription(int Station) {
    const bool listed = Station >= 0 && Station < static_cast<int>(tonik_.RadioDescriptions.size());
    const QString text = listed ? QString::fromStdString(tonik_.RadioDescriptions[static_cast<size_t>(Station)])
                                : QString();
    RadioStationDesc->setText(text);
    RadioStationDesc->setCursorPosition(0);
    // The field cannot be scrolled: a long description is read in full here.
    RadioStationDesc->setToolTip(text);
}

void TRadioSelectForm::RadioStationDescEnter() {
    RadioSelectBox->setFocus(Qt::OtherFocusReason);
}

// As with an address, the dialog goes before the stream starts.
void TRadioSelectForm::OKButtClick() {
    const int station = RadioSelectBox->currentIndex();
    if (station < 0 || station >= static_cast<int>(tonik_.RadioURLs.size())) return;
    const auto index = static_cast<size_t>(station);
    done(Accepted);
    tonik_.ClearPlaylist();
    tonik_.RadioStation = station;
    tonik_.StationName = tonik_.RadioNames[index];
    tonik_.AddEntry(tonik_.RadioURLs[index]);
    tonik_.PlayStream();
}

void TRadioSelectForm::CancelButtClick() {
    done(Rejected);
}
