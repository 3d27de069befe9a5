// TProgressBox: the progress of Add folder (files found, then files added)
// with the OK button that stops the adding.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TTonikMain;

class TProgressBox : public QDialog {
    Q_OBJECT

  public:
    TProgressBox(QWidget& Owner, TTonikMain& Tonik);

    QLabel* Progresstext;
    QProgressBar* ProgressBar;
    QPushButton* Button1;
    QTimer* Timer;

    void TimerTimer();
    void Button1Click();

  protected:
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;
    // Only OK closes the box.
    void reject() override {}

  private:
    TTonikMain& tonik_;
};
