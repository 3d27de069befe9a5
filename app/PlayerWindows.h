// The program's windows, created once in their order and living until the
// process ends: the main window first, then its dialogs.
#pragma once

#include <future>

#include "app/Tonik_URLform.h"
#include "app/Tonik_about.h"
#include "app/Tonik_effects.h"
#include "app/Tonik_mainform.h"
#include "app/Tonik_progress.h"
#include "app/Tonik_radioform.h"
#include "app/Tonik_tags.h"

class PlayerWindows {
    // Started first: the sound device opens while the windows are built.
    std::future<bool> audioOpening_;

  public:
    PlayerWindows();

    TForm1 Form1;
    TProgressBox ProgressBox;
    TAboutBox AboutBox;
    TTagEditBox TagEditBox;
    TFiltersBox FiltersBox;
    TOpenURLBox OpenURLBox;
    TRadioSelectForm RadioSelectForm;
};
