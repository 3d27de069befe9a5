#include "app/Tonik_about.h"

#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "app/Pictures.h"
#include "engine/Tonik_main.h"

namespace {

QLabel* LinkLabel(QWidget* Parent, const QString& Text, const QString& Address, const QPoint& Place) {
    auto* label = new QLabel(Parent);
    label->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(Address, Text.toHtmlEscaped()));
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->move(Place);
    label->adjustSize();
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget& Owner, TTonikMain& Tonik) : QDialog(&Owner), tonik_(Tonik) {
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(298, 213);
    Panel = new QFrame(this);
    Panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Panel->setGeometry(8, 8, 281, 161);

    Logo = new QLabel(Panel);
    Logo->setGeometry(8, 8, 73, 70);
    ProductName = new QLabel(Panel);
    ProductName->setGeometry(88, 8, 185, 33);
    ProductName->setAccessibleName(QStringLiteral("Nilo Music Player"));
    Version = new QLabel(Panel);
    Version->setGeometry(88, 54, 185, 17);
    QFont versionFont = font();
    versionFont.setPixelSize(13);
    Version->setFont(versionFont);
    Copyright = new QLabel(QStringLiteral("© 2026 The Nilo Music Player authors"), Panel);
    Copyright->setGeometry(8, 88, 261, 13);
    SiteURL = LinkLabel(Panel, QLatin1String(kSiteAddress), QLatin1String(kSiteAddress), {8, 112});
    SiteURL->setOpenExternalLinks(true);
    email = LinkLabel(Panel, QStringLiteral("e-mail: ") + QLatin1String(kMailAddress),
                      QStringLiteral("mailto:") + QLatin1String(kMailAddress), {8, 128});
    connect(email, &QLabel::linkActivated, this, &TAboutBox::emailClick);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setGeometry(112, 176, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent* Event) {
    FormShow();
    QDialog::showEvent(Event);
}

void TAboutBox::FormShow() {
    const qreal ratio = devicePixelRatioF();
    Logo->setPixmap(Picture(QStringLiteral("logo"), Logo->size(), ratio));
    ProductName->setPixmap(Picture(QStringLiteral("productname"), ProductName->size(), ratio));
    if (tonik_.Language == "Russian.lng") {
        setWindowTitle(QStringLiteral("О программе"));
        Version->setText(QStringLiteral("Версия 1.3 (03.03.2007)"));
    } else if (tonik_.Language == "English.lng") {
        setWindowTitle(QStringLiteral("About"));
        Version->setText(QStringLiteral("Version 1.3 (03.03.2007)"));
    }
}

void TAboutBox::emailClick() {
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + QLatin1String(kMailAddress)));
}
