#include "app/PlayerWindows.h"

PlayerWindows::PlayerWindows()
    : audioOpening_(std::async(std::launch::async, OpenAudioOutput)), ProgressBox(Form1, *Form1.Tonik),
      AboutBox(Form1, *Form1.Tonik), TagEditBox(Form1), FiltersBox(Form1, *Form1.Tonik),
      OpenURLBox(Form1, *Form1.Tonik), RadioSelectForm(Form1, *Form1.Tonik) {
    Form1.setAudioOpening(std::move(audioOpening_));
    Form1.setDialogs(ProgressBox, AboutBox, TagEditBox, FiltersBox, OpenURLBox, RadioSelectForm);
}
