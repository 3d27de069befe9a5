// Paints the visible playlist rows into PlayListBitmap and hands it to the
// view in one piece, so that rows do not flicker. A state already painted is
// not painted again: the timer asks for a repaint ten times a second.
#include <cmath>

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
    PaintedRows rows{view_.listWidth(), view_.listHeight(), view_.pictureScale(), view_.topRow(),
                     view_.selectedRow(), CurrentIndex, {}};
    if (count == 0 || rows.width <= 0 || rows.height <= 0 || rows.scale <= 0) {
        lastPainted_ = {};
        return;
    }
    for (int i = rows.top; i < rows.top + kVisibleRows && i < count; ++i) rows.texts.push_back(view_.rowText(i));
    if (rows == lastPainted_) return;

    const QSize pixels(static_cast<int>(std::ceil(rows.width * rows.scale)),
                       static_cast<int>(std::ceil(rows.height * rows.scale)));
    if (PlayListBitmap.size() != pixels) PlayListBitmap = QImage(pixels, QImage::Format_RGB32);
    PlayListBitmap.setDevicePixelRatio(rows.scale);
    PlayListBitmap.fill(QColor(0xFF, 0xFF, 0xFF));

    QPainter painter(&PlayListBitmap);
    painter.setPen(Qt::black);
    const QFont regular = PlayListRowFont(false);
    const QFont bold = PlayListRowFont(true);
    const int rowHeight = view_.rowHeight();
    for (int i = rows.top; i < rows.top + kVisibleRows && i < count; ++i) {
        const int y = (i - rows.top) * rowHeight;
        if (i == rows.selected) painter.fillRect(0, y, rows.width, rowHeight, kSelectionColour);
        painter.setFont(i == CurrentIndex ? bold : regular);
        const QString text = FitRowText(QString::fromStdString(rows.texts[static_cast<size_t>(i - rows.top)]),
                                        painter.fontMetrics(), rows.width - 30);
        painter.drawText(QRect(2, y, rows.width - 2, rowHeight), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         text);
    }
    painter.end();
    lastPainted_ = std::move(rows);
    view_.showPlayListPicture(PlayListBitmap);
}
