#include "app/EqBandLabel.h"

#include <algorithm>

#include <QPainter>

EqBandLabel::EqBandLabel(QWidget* Parent) : QLabel(Parent) {}

QStringList EqBandLabel::bandNames() const {
    const QStringList words = text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() == 8) return words;
    if (words.size() != 16) return {};
    QStringList names;
    for (qsizetype i = 0; i < 16; i += 2) names.append(words[i] + QLatin1Char(' ') + words[i + 1]);
    return names;
}

void EqBandLabel::paintEvent(QPaintEvent* Event) {
    const QStringList names = bandNames();
    if (names.isEmpty()) {
        QLabel::paintEvent(Event);
        return;
    }
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics(font());
    for (int i = 0; i < 8; ++i) {
        const int width = metrics.horizontalAdvance(names[i]);
        const int left = std::clamp(centres_[static_cast<size_t>(i)] - width / 2, 0, std::max(0, this->width() - width));
        painter.drawText(QRect(left, 0, width + 1, height()), Qt::AlignLeft | Qt::AlignVCenter, names[i]);
    }
}
