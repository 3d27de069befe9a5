// TRadioSelectForm: a station chosen from radiostations.cfg replaces the
// playlist and plays as a stream.
#pragma once

#include "app/ButtonDialog.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TTonikMain;

class TRadioSelectForm : public ButtonDialog {
    Q_OBJECT

  public:
    TRadioSelectForm(QWidget& Owner, TTonikMain& Tonik);

    QLabel* SelectRadioLabel;
    QComboBox* RadioSelectBox;
    QLabel* RadioDescLabel;
    QLineEdit* RadioStationDesc;
    QPushButton* OKButt;
    QPushButton* CancelButt;

    // Reads the station file again and selects the last chosen station.
    void FormShow();
    void RadioSelectBoxChange();
    void RadioStationDescEnter();
    void OKButtClick();
    void CancelButtClick();

  protected:
    void showEvent(QShowEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    void showDescription(int Station);

    TTonikMain& tonik_;
};
