// Saving a picture of a window as a PNG file.
#pragma once

#include <QString>

class QWidget;

// The window's contents at the screen's pixel ratio. With a title bar the
// window title is drawn above them, since the offscreen platform draws no
// frames and the titles are translated texts worth seeing too.
bool SaveWindowShot(QWidget& Window, const QString& FileName, bool WithTitleBar);
