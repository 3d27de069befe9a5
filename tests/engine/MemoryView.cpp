#include "tests/engine/MemoryView.h"

#include <algorithm>

std::string MemoryView::rowText(int Row) const {
    return Row >= 0 && Row < rowCount() ? rows[static_cast<size_t>(Row)] : std::string();
}

void MemoryView::removeRow(int Row) {
    if (Row < 0 || Row >= rowCount()) return;
    rows.erase(rows.begin() + Row);
    if (selected == Row)
        selected = -1;
    else if (selected > Row)
        --selected;
    setTopRow(top);
}

void MemoryView::clearRows() {
    rows.clear();
    selected = -1;
    top = 0;
}

void MemoryView::setSelectedRow(int Row) {
    selected = Row >= 0 && Row < rowCount() ? Row : -1;
}

void MemoryView::setTopRow(int Row) {
    top = std::clamp(Row, 0, std::max(0, rowCount() - 6));
}

void MemoryView::showPlayListPicture(const QImage& Picture) {
    picture = Picture.copy();
    ++pictures;
}

void MemoryView::setPositionMax(int Max) {
    barMax = std::max(Max, 0);
    if (barPos > barMax) setBarPosition(barMax);
}

void MemoryView::setBarPosition(int Position) {
    const int clamped = std::clamp(Position, 0, barMax);
    if (clamped == barPos) return;
    barPos = clamped;
    if (onPositionChange) onPositionChange();
}

void MemoryView::messageBox(const std::string& Text, const std::string& Caption, int Icon) {
    messages.push_back({Text, Caption, Icon});
}

void MemoryView::processEvents() {
    ++eventCalls;
    if (onEvents) onEvents();
}

bool MemoryView::openFilesDialog(std::vector<std::string>& FileNames) {
    if (!openDialogConfirmed) return false;
    FileNames = openDialogFiles;
    return true;
}

std::string MemoryView::chooseFolder(const std::string& Caption) {
    folderCaption = Caption;
    return chosenFolder;
}
