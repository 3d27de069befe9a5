#include "app/Pictures.h"

#include <QPainter>
#include <QSvgRenderer>

namespace {

QString ResourcePath(const QString& Name) {
    return QStringLiteral(":/images/") + Name + QStringLiteral(".svg");
}

} // namespace

QIcon Glyph(const QString& Name) {
    return QIcon(ResourcePath(Name));
}

QPixmap Picture(const QString& Name, const QSize& Size, qreal PixelRatio) {
    QPixmap pixmap(Size * PixelRatio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(ResourcePath(Name));
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    pixmap.setDevicePixelRatio(PixelRatio);
    return pixmap;
}
