#include "app/MprisRoot.h"

#include "app/MprisService.h"
#include "app/Tonik_mainform.h"

MprisRoot::MprisRoot(MprisService& Service) : QDBusAbstractAdaptor(&Service), service_(Service) {}

QStringList MprisRoot::supportedUriSchemes() const {
    return {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")};
}

QStringList MprisRoot::supportedMimeTypes() const {
    return {QStringLiteral("audio/mpeg"),        QStringLiteral("audio/wav"),    QStringLiteral("audio/x-wav"),
            QStringLiteral("audio/x-aiff"),      QStringLiteral("audio/ogg"),    QStringLiteral("audio/x-vorbis+ogg"),
            QStringLiteral("audio/x-ms-wma"),    QStringLiteral("audio/x-mod"),  QStringLiteral("audio/x-s3m"),
            QStringLiteral("audio/x-xm"),        QStringLiteral("audio/x-it"),   QStringLiteral("audio/midi"),
            QStringLiteral("audio/x-mpegurl"),   QStringLiteral("audio/x-scpls")};
}

void MprisRoot::Raise() {
    TForm1& form = service_.form();
    form.showNormal();
    form.raise();
    form.activateWindow();
}

// As closing the window: the playlist and the settings are saved.
void MprisRoot::Quit() {
    service_.form().close();
}
