#include "engine/Utf8Text.h"

#include <QString>

std::string Utf8Upper(const std::string& Text) {
    return QString::fromStdString(Text).toUpper().toStdString();
}

std::string Utf8Lower(const std::string& Text) {
    return QString::fromStdString(Text).toLower().toStdString();
}
