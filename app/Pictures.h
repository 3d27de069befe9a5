// The program's pictures (button glyphs, icon, logo), drawn from the SVG
// files built into the program, so they stay sharp at any screen scale.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// Name without folder or extension, for example "play".
QIcon Glyph(const QString& Name);
// The picture at Size view pixels, drawn for the screen's pixel ratio.
QPixmap Picture(const QString& Name, const QSize& Size, qreal PixelRatio);
