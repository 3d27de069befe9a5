#include "engine/Utf8Text.h"

#include <QString>

static bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

size_t Utf8Length(const std::string& Text) {
    size_t n = 0;
    for (char c : Text)
        if (!IsContinuation(c)) ++n;
    return n;
}

// Byte offset of character Index, or the text's size past the end.
static size_t ByteOffset(const std::string& Text, size_t Index) {
    size_t chars = 0;
    for (size_t i = 0; i < Text.size(); ++i) {
        if (IsContinuation(Text[i])) continue;
        if (chars == Index) return i;
        ++chars;
    }
    return Text.size();
}

std::string Utf8Mid(const std::string& Text, size_t Start, size_t Count) {
    size_t from = ByteOffset(Text, Start);
    std::string rest = Text.substr(from);
    return rest.substr(0, ByteOffset(rest, Count));
}

std::string Utf8Upper(const std::string& Text) {
    return QString::fromStdString(Text).toUpper().toStdString();
}

std::string Utf8Lower(const std::string& Text) {
    return QString::fromStdString(Text).toLower().toStdString();
}
