// What the engine reads and writes of the main window and its dialogs. The
// real window implements it with widgets; engine tests use an in-memory one.
// Rows, indexes and positions are those of the controls: a setter that
// changes a control behaves as the control does when set from code.
#pragma once

#include <string>
#include <vector>

#include "effects/FilterControls.h"

class QImage;

class MainView {
  public:
    virtual ~MainView() = default;

    // The playlist view: item texts (the display texts), selection, top row.
    virtual int rowCount() const = 0;
    virtual std::string rowText(int Row) const = 0;
    virtual void appendRow(const std::string& Text) = 0;
    // Removing the selected row leaves no selection; rows after it move up.
    virtual void removeRow(int Row) = 0;
    // Leaves no selection and the top row at 0.
    virtual void clearRows() = 0;
    virtual int selectedRow() const = 0; // -1 = none
    virtual void setSelectedRow(int Row) = 0;
    virtual int topRow() const = 0;
    // Clamped as a list view clamps its scroll position.
    virtual void setTopRow(int Row) = 0;
    virtual int listWidth() const = 0;
    virtual int listHeight() const = 0;
    virtual int rowHeight() const = 0;
    // Device pixels per view pixel, so the picture stays sharp on dense screens.
    virtual double pictureScale() const = 0;
    // Copies the painted rows onto the view at (0, 0).
    virtual void showPlayListPicture(const QImage& Picture) = 0;

    // The seek bar `setPosition`. A change of its position, from the user or
    // from these setters (also the clamping when the maximum shrinks), runs
    // the window's setPositionChange handler, which calls
    // TTonikMain::PositionBarChanged.
    virtual int positionMax() const = 0;
    virtual void setPositionMax(int Max) = 0;
    virtual int barPosition() const = 0;
    virtual void setBarPosition(int Position) = 0;
    // True while the left mouse button holds the bar (the user drags it).
    virtual bool positionDragged() const = 0;

    virtual void setTipText(const std::string& Text) = 0;
    virtual void setTimeLabel(const std::string& Text) = 0;
    // The text the desktop's task bar shows: the main window's title.
    virtual void setApplicationTitle(const std::string& Text) = 0;

    // The sound controls the effect chain reads.
    virtual int volumePosition() const = 0;  // setVolume, 0..100
    virtual int panPosition() const = 0;     // setPan, 0..2
    virtual bool equalizerEnabled() const = 0; // EQEnable
    virtual int bandPosition(int Band) const = 0; // Band1..Band8 as 0..7, 0..10
    virtual void setMuteGlyph(bool Muted) = 0;
    // The filters dialog's controls, read for reverb and normalize.
    virtual const effects::FilterControls& filterControls() const = 0;

    // Icons: 16 stop, 48 exclamation, 64 information, 0 none.
    virtual void messageBox(const std::string& Text, const std::string& Caption, int Icon) = 0;
    // Runs pending window events; commands and timer ticks may run inside.
    virtual void processEvents() = 0;
    // True once the program is ending: a wait that runs window events ends.
    virtual bool closing() const { return false; }

    // The multi-file open dialog; false when cancelled.
    virtual bool openFilesDialog(std::vector<std::string>& FileNames) = 0;
    // The folder chooser placed beside the main window; empty when cancelled.
    virtual std::string chooseFolder(const std::string& Caption) = 0;
    // Shows the folder scan's progress box without waiting.
    virtual void showProgressBox() = 0;
};
