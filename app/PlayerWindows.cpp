#include "app/PlayerWindows.h"

PlayerWindows::PlayerWindows()
    : audioOpening_(std::async(std::launch::async, OpenAudioOutput)), ProgressBox(Form1, *Form1.Tonik),
      AboutBox(Form1, *Form1.Tonik), FiltersBox(Form1, *Form1.Tonik) {
    Form1.setAudioOpening(std::move(audioOpening_));
    Form1.setDialogs(ProgressBox, AboutBox, FiltersBox);
}
