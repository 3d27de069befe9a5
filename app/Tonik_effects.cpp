#include "app/Tonik_effects.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "app/UpDownEdit.h"
#include "effects/EffectChain.h"
#include "engine/Tonik_main.h"

namespace {

QLabel* Label(QWidget* Parent, const QString& Text, const QRect& Place, QWidget* Buddy) {
    auto* label = new QLabel(Text, Parent);
    label->setGeometry(Place);
    label->setBuddy(Buddy);
    return label;
}

} // namespace

TFiltersBox::TFiltersBox(QWidget& Owner, TTonikMain& Tonik) : QDialog(&Owner), tonik_(Tonik) {
    setWindowTitle(QStringLiteral("Set filter / effect"));
    setFixedSize(250, 212);

    Normgroup = new QGroupBox(QStringLiteral("Normalize"), this);
    Normgroup->setGeometry(8, 8, 234, 64);
    EnableNorm = new QCheckBox(QStringLiteral("Enable"), Normgroup);
    EnableNorm->setGeometry(12, 20, 210, 18);
    AmpLevelUpDown = new UpDownEdit(1, 10, 1, 1, Normgroup);
    AmpLevelUpDown->setGeometry(140, 38, 82, 20);
    AmpLevelLabel = Label(Normgroup, QStringLiteral("Amp. level:"), {12, 40, 126, 16}, AmpLevelUpDown);

    ReverbGroup = new QGroupBox(QStringLiteral("Reverb"), this);
    ReverbGroup->setGeometry(8, 78, 234, 90);
    EnableReverb = new QCheckBox(QStringLiteral("Enable"), ReverbGroup);
    EnableReverb->setGeometry(12, 20, 210, 18);
    SignalUpDown = new UpDownEdit(0, 100, 1, 65, ReverbGroup);
    SignalUpDown->setGeometry(140, 38, 82, 20);
    SignalLabel = Label(ReverbGroup, QStringLiteral("Signal level:"), {12, 40, 126, 16}, SignalUpDown);
    DelayUpDown = new UpDownEdit(1200, 10000, 10, 8000, ReverbGroup);
    DelayUpDown->setGeometry(140, 62, 82, 20);
    DelayUpDown->setGroupSeparatorShown(true);
    DelayUpDown->setArrowKeysEnabled(false);
    DelayLabel = Label(ReverbGroup, QStringLiteral("Delay (ms):"), {12, 64, 126, 16}, DelayUpDown);

    sBitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    sBitBtn1->setGeometry(88, 178, 75, 25);
    sBitBtn1->setDefault(true);

    connect(EnableNorm, &QCheckBox::toggled, this, &TFiltersBox::EnableNormClick);
    connect(EnableReverb, &QCheckBox::toggled, this, &TFiltersBox::EnableReverbClick);
    connect(AmpLevelUpDown, &UpDownEdit::arrowClicked, this, &TFiltersBox::AmpLevelUpDownClick);
    connect(SignalUpDown, &UpDownEdit::arrowClicked, this, &TFiltersBox::SignalUpDownClick);
    connect(DelayUpDown, &UpDownEdit::arrowClicked, this, &TFiltersBox::DelayUpDownClick);
    connect(sBitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

void TFiltersBox::showEvent(QShowEvent* Event) {
    auto text = [](int Slot) { return QString::fromStdString(Messages[Slot]); };
    setWindowTitle(text(46));
    Normgroup->setTitle(text(47));
    EnableNorm->setText(text(48));
    AmpLevelLabel->setText(text(49));
    ReverbGroup->setTitle(text(50));
    EnableReverb->setText(text(51));
    SignalLabel->setText(text(52));
    DelayLabel->setText(text(53));
    Load();
    QDialog::showEvent(Event);
}

void TFiltersBox::Load() {
    EnableNorm->setChecked(tonik_.Normalize);
    EnableReverb->setChecked(tonik_.Reverb);
    SignalUpDown->setValue(tonik_.SignalLevel);
    DelayUpDown->setValue(tonik_.DelaySetting);
    AmpLevelUpDown->setValue(tonik_.AmpLevelSetting);
}

void TFiltersBox::EnableNormClick() {
    ApplyNormalize(Channel, *this);
    tonik_.Normalize = EnableNorm->isChecked();
    tonik_.SaveConfig();
}

void TFiltersBox::EnableReverbClick() {
    ApplyReverb(Channel, *this);
    tonik_.Reverb = EnableReverb->isChecked();
    tonik_.SaveConfig();
}

void TFiltersBox::AmpLevelUpDownClick() {
    UpdateNormalize(Channel, static_cast<float>(AmpLevelUpDown->value()));
    tonik_.AmpLevelSetting = AmpLevelUpDown->value();
    tonik_.SaveConfig();
}

void TFiltersBox::sendReverbLevels() {
    UpdateReverb(Channel, static_cast<float>(SignalUpDown->value()) * 0.01f, DelayUpDown->value());
}

void TFiltersBox::SignalUpDownClick() {
    sendReverbLevels();
    tonik_.SignalLevel = SignalUpDown->value();
    tonik_.SaveConfig();
}

void TFiltersBox::DelayUpDownClick() {
    sendReverbLevels();
    tonik_.DelaySetting = DelayUpDown->value();
    tonik_.SaveConfig();
}

bool TFiltersBox::reverbEnabled() const {
    return EnableReverb->isChecked();
}

int TFiltersBox::signalPosition() const {
    return SignalUpDown->value();
}

int TFiltersBox::delayPosition() const {
    return DelayUpDown->value();
}

bool TFiltersBox::normalizeEnabled() const {
    return EnableNorm->isChecked();
}

int TFiltersBox::ampLevelPosition() const {
    return AmpLevelUpDown->value();
}
