// TOpenURLBox: an address typed by the user replaces the playlist and plays
// as a stream.
#pragma once

#include <string>

#include "app/ButtonDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class TTonikMain;

// The address as it is played: one that begins with "http://" or "https://"
// (in these letters) stays as it is, any other gets "http://" in front.
std::string StreamAddress(const std::string& Typed);

class TOpenURLBox : public ButtonDialog {
    Q_OBJECT

  public:
    TOpenURLBox(QWidget& Owner, TTonikMain& Tonik);

    QLabel* EnterURLLabel;
    QLineEdit* CurURL;
    QPushButton* OKButt;
    QPushButton* CancelButt;

    void FormShow();
    void OKButtClick();
    void CancelButtClick();

  protected:
    void showEvent(QShowEvent* Event) override;

  private:
    TTonikMain& tonik_;
};
