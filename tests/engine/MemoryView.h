// An in-memory main window for engine tests: controls as plain values that
// behave as the real controls do when set from code, dialogs answered from
// values the test sets, and a log of message boxes.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include <QImage>

#include "engine/MainView.h"

class MemoryFilterControls : public effects::FilterControls {
  public:
    bool reverb = false;
    int signal = 65;
    int delay = 8000;
    bool normalize = false;
    int ampLevel = 1;

    bool reverbEnabled() const override { return reverb; }
    int signalPosition() const override { return signal; }
    int delayPosition() const override { return delay; }
    bool normalizeEnabled() const override { return normalize; }
    int ampLevelPosition() const override { return ampLevel; }
};

struct ShownMessage {
    std::string text;
    std::string caption;
    int icon = 0;
};

class MemoryView : public MainView {
  public:
    std::vector<std::string> rows;
    int selected = -1;
    int top = 0;
    QImage picture;
    int pictures = 0;

    int barMax = 0;
    int barPos = 0;
    bool dragged = false;
    // The window's setPositionChange handler.
    std::function<void()> onPositionChange;

    std::string tipText;
    std::string timeLabel = "00:00";
    std::string applicationTitle = "Nilo Music Player";

    int volume = 100;
    int pan = 1;
    bool equalizer = false;
    std::array<int, 8> bands{5, 5, 5, 5, 5, 5, 5, 5};
    bool muteGlyph = false;
    MemoryFilterControls filters;

    std::vector<ShownMessage> messages;
    // Runs as the pending events of processEvents.
    std::function<void()> onEvents;
    int eventCalls = 0;

    bool openDialogConfirmed = true;
    std::vector<std::string> openDialogFiles;
    std::string chosenFolder;
    std::string folderCaption;
    int progressShown = 0;

    int rowCount() const override { return static_cast<int>(rows.size()); }
    std::string rowText(int Row) const override;
    void appendRow(const std::string& Text) override { rows.push_back(Text); }
    void removeRow(int Row) override;
    void clearRows() override;
    int selectedRow() const override { return selected; }
    void setSelectedRow(int Row) override;
    int topRow() const override { return top; }
    void setTopRow(int Row) override;
    int listWidth() const override { return 401; }
    int listHeight() const override { return 102; }
    int rowHeight() const override { return 16; }
    double pictureScale() const override { return 1.0; }
    void showPlayListPicture(const QImage& Picture) override;

    int positionMax() const override { return barMax; }
    void setPositionMax(int Max) override;
    int barPosition() const override { return barPos; }
    void setBarPosition(int Position) override;
    bool positionDragged() const override { return dragged; }

    void setTipText(const std::string& Text) override { tipText = Text; }
    void setTimeLabel(const std::string& Text) override { timeLabel = Text; }
    void setApplicationTitle(const std::string& Text) override { applicationTitle = Text; }

    int volumePosition() const override { return volume; }
    int panPosition() const override { return pan; }
    bool equalizerEnabled() const override { return equalizer; }
    int bandPosition(int Band) const override { return bands.at(static_cast<size_t>(Band)); }
    void setMuteGlyph(bool Muted) override { muteGlyph = Muted; }
    const effects::FilterControls& filterControls() const override { return filters; }

    void messageBox(const std::string& Text, const std::string& Caption, int Icon) override;
    void processEvents() override;
    bool openFilesDialog(std::vector<std::string>& FileNames) override;
    std::string chooseFolder(const std::string& Caption) override;
    void showProgressBox() override { ++progressShown; }
};
