#include "engine/RowTextFit.h"

#include <algorithm>

QString FitRowText(const QString& Text, const QFontMetrics& Metrics, int Limit) {
    const QString tail = Text.right(7);
    QString head = Text.left(std::max<qsizetype>(0, Text.size() - 9));
    QString fitted = Text;
    while (Metrics.horizontalAdvance(fitted) >= Limit && !head.isEmpty()) {
        head.chop(1);
        fitted = head + ".. " + tail;
    }
    return fitted;
}

QFont PlayListRowFont(bool Bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    font.setBold(Bold);
    return font;
}
