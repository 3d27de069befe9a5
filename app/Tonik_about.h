// TAboutBox: the logo, the product name, the version and the makers' notice
// with their web and mail addresses.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class TTonikMain;

class TAboutBox : public QDialog {
    Q_OBJECT

  public:
    static constexpr const char* kSiteAddress = "https://nilo-player.org/";
    static constexpr const char* kMailAddress = "team@nilo-player.org";

    TAboutBox(QWidget& Owner, TTonikMain& Tonik);

    QFrame* Panel;
    QLabel* Logo;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Copyright;
    QLabel* SiteURL;
    QLabel* email;
    QPushButton* OKButton;

    void FormShow();
    void emailClick();

  protected:
    void showEvent(QShowEvent* Event) override;

  private:
    TTonikMain& tonik_;
};
