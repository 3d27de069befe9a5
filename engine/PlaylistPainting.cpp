// Paints the visible playlist rows into PlayListBitmap and hands it to the
// view in one piece, so that rows do not flicker.
#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include "engine/RowTextFit.h"
#include "engine/Tonik_main.h"

namespace {

const QColor kSelectionColour(0x61, 0xAC, 0xDE);

} // namespace

void TTonikMain::PaintPlayList() {
    const int count = static_cast<int>(Paths.size());
    const int width = view_.listWidth();
    const int height = view_.listHeight();
    if (count == 0 || width <= 0 || height <= 0) return;
    if (PlayListBitmap.width() != width || PlayListBitmap.height() != height)
        PlayListBitmap = QImage(width, height, QImage::Format_RGB32);
    PlayListBitmap.fill(QColor(0xFF, 0xFF, 0xFF));

    QPainter painter(&PlayListBitmap);
    painter.setPen(Qt::black);
    const QFont regular = PlayListRowFont(false);
    const QFont bold = PlayListRowFont(true);
    const int top = view_.topRow();
    const int rowHeight = view_.rowHeight();
    for (int i = top; i < top + kVisibleRows && i < count; ++i) {
        const int y = (i - top) * rowHeight;
        if (i == view_.selectedRow()) painter.fillRect(0, y, width, rowHeight, kSelectionColour);
        painter.setFont(i == CurrentIndex ? bold : regular);
        const QString text =
            FitRowText(QString::fromStdString(view_.rowText(i)), painter.fontMetrics(), width - 30);
        painter.drawText(QRect(2, y, width - 2, rowHeight), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         text);
    }
    painter.end();
    view_.showPlayListPicture(PlayListBitmap);
}
