#include "WindowShot.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace {

constexpr int kTitleHeight = 22;

} // namespace

bool SaveWindowShot(QWidget& Window, const QString& FileName, bool WithTitleBar) {
    const QPixmap contents = Window.grab();
    if (!WithTitleBar) return contents.save(FileName, "PNG");

    const qreal ratio = contents.devicePixelRatio();
    const QSize size = contents.deviceIndependentSize().toSize();
    QImage framed(QSize(size.width(), size.height() + kTitleHeight) * ratio, QImage::Format_RGB32);
    framed.setDevicePixelRatio(ratio);
    framed.fill(QColor(0x3b, 0x4f, 0x73));
    QPainter painter(&framed);
    QFont font = Window.font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRect titleArea(6, 0, size.width() - 12, kTitleHeight);
    const QString title = QFontMetrics(font).elidedText(Window.windowTitle(), Qt::ElideRight, titleArea.width());
    painter.drawText(titleArea, Qt::AlignLeft | Qt::AlignVCenter, title);
    painter.drawPixmap(0, kTitleHeight, contents);
    painter.end();
    return framed.save(FileName, "PNG");
}
