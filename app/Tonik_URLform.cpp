#include "app/Tonik_URLform.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "engine/Tonik_main.h"

std::string StreamAddress(const std::string& Typed) {
    if (Typed.starts_with("http://") || Typed.starts_with("https://")) return Typed;
    return "http://" + Typed;
}

TOpenURLBox::TOpenURLBox(QWidget& Owner, TTonikMain& Tonik)
    : ButtonDialog(Owner, QStringLiteral("Open URL"), {336, 99}), tonik_(Tonik) {
    CurURL = new QLineEdit(this);
    CurURL->setGeometry(8, 32, 321, 21);
    EnterURLLabel = label(QStringLiteral("Enter URL:"), {8, 16}, CurURL);
    OKButt = button(QStringLiteral("OK"), {88, 64, 75, 25});
    CancelButt = button(QStringLiteral("Cancel"), {173, 64, 75, 25});
    connect(OKButt, &QPushButton::clicked, this, &TOpenURLBox::OKButtClick);
    connect(CancelButt, &QPushButton::clicked, this, &TOpenURLBox::CancelButtClick);
}

void TOpenURLBox::showEvent(QShowEvent* Event) {
    FormShow();
    ButtonDialog::showEvent(Event);
}

void TOpenURLBox::FormShow() {
    setWindowTitle(QString::fromStdString(Messages[55]));
    setCaption(EnterURLLabel, QString::fromStdString(Messages[56]));
    CancelButt->setText(QString::fromStdString(Messages[57]));
}

// The dialog goes before the stream starts: waiting for the stream to fill
// lets the window events run, and a station that does not answer must not
// keep the dialog standing meanwhile.
void TOpenURLBox::OKButtClick() {
    const std::string typed = CurURL->text().toStdString();
    if (typed.empty()) return;
    const std::string address = StreamAddress(typed);
    done(Accepted);
    tonik_.PlayAddress(address);
}

void TOpenURLBox::CancelButtClick() {
    done(Rejected);
}
