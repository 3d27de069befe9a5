#include "app/ProgramFolder.h"

#include <cstdlib>

#include <QCoreApplication>

std::string ProgramFolder() {
    if (const char* home = std::getenv("NILO_HOME"); home && *home) {
        std::string folder = home;
        return folder.back() == '/' ? folder : folder + "/";
    }
    return QCoreApplication::applicationDirPath().toStdString() + "/";
}
