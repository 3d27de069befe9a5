// TFiltersBox: normalize and reverb switched on and off and their levels.
// Its controls are also where the effect chain takes the filter settings of
// every new channel.
#pragma once

#include <QDialog>

#include "effects/FilterControls.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TTonikMain;
class UpDownEdit;

class TFiltersBox : public QDialog, public effects::FilterControls {
    Q_OBJECT

  public:
    TFiltersBox(QWidget& Owner, TTonikMain& Tonik);

    QGroupBox* Normgroup;
    QCheckBox* EnableNorm;
    QLabel* AmpLevelLabel;
    UpDownEdit* AmpLevelUpDown;
    QGroupBox* ReverbGroup;
    QCheckBox* EnableReverb;
    QLabel* SignalLabel;
    UpDownEdit* SignalUpDown;
    QLabel* DelayLabel;
    UpDownEdit* DelayUpDown;
    QPushButton* sBitBtn1;

    // The stored settings into the controls: the boxes first (their click
    // handlers run when they change), then the levels.
    void Load();
    void EnableNormClick();
    void EnableReverbClick();
    void AmpLevelUpDownClick();
    void SignalUpDownClick();
    void DelayUpDownClick();

    bool reverbEnabled() const override;
    int signalPosition() const override;
    int delayPosition() const override;
    bool normalizeEnabled() const override;
    int ampLevelPosition() const override;

  protected:
    void showEvent(QShowEvent* Event) override;

  private:
    void sendReverbLevels();
    TTonikMain& tonik_;
};
