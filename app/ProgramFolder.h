// The folder of the player's files (settings, playlist autosave, language
// files): NILO_HOME when set, else the executable's folder; with a final "/".
#pragma once

#include <string>

std::string ProgramFolder();
