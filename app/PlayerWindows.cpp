#include "app/PlayerWindows.h"

PlayerWindows::PlayerWindows()
    : ProgressBox(Form1, *Form1.Tonik), AboutBox(Form1, *Form1.Tonik), FiltersBox(Form1, *Form1.Tonik) {
    Form1.setDialogs(ProgressBox, AboutBox, FiltersBox);
}
