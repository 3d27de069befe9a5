#include "tags/ID3v2Unsync.h"

namespace id3v2 {

namespace {

bool Unsynchronised(std::string_view bytes, bool whole) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) != 0xFF) continue;
        if (i + 1 == bytes.size()) return !whole;
        if (static_cast<unsigned char>(bytes[i + 1]) >= 0xE0) return false;
    }
    return true;
}

} // namespace

std::string UndoUnsync(std::string_view bytes, bool whole) {
    if (!Unsynchronised(bytes, whole)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        out += bytes[i];
        if (static_cast<unsigned char>(bytes[i]) == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0) ++i;
    }
    return out;
}

std::string ApplyUnsync(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 64);
    for (size_t i = 0; i < bytes.size(); ++i) {
        out += bytes[i];
        if (static_cast<unsigned char>(bytes[i]) != 0xFF) continue;
        if (i + 1 == bytes.size() || bytes[i + 1] == 0 || static_cast<unsigned char>(bytes[i + 1]) >= 0xE0)
            out += '\0';
    }
    return out;
}

} // namespace id3v2
