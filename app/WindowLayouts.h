// The four layouts of the main window: playlist and equalizer shown or not.
#pragma once

struct WindowLayout {
    int ClientHeight;
    int EqGroupTop;
    int PlayListTop;
    // False when both parts are hidden: they stay where they are.
    bool MovesParts;
};

WindowLayout LayoutFor(bool ShowPlayList, bool ShowEqualizer);
