// The font of the painted playlist rows and the shortening of a row's text
// to the width of the view.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QString>

// A text at least Limit pixels wide keeps its beginning, ".. " and its last
// seven characters (the duration in parentheses).
QString FitRowText(const QString& Text, const QFontMetrics& Metrics, int Limit);

// Regular rows, and the current entry's in bold.
QFont PlayListRowFont(bool Bold);
