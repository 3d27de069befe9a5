#include "engine/TMess.h"

std::string* TMess::Find(int N) {
    if (N >= 0 && N < 25) return &Main[N];
    if (N >= 25 && N < 46) return &TagEditor[N - 25];
    if (N >= 46 && N < 54) return &Filters[N - 46];
    if (N == 54) return &ProgressCaption;
    if (N >= 55 && N < 58) return &UrlDialog[N - 55];
    if (N >= 58 && N < 62) return &RadioDialog[N - 58];
    if (N >= 62 && N < 64) return &StreamStatus[N - 62];
    return nullptr;
}

const std::string& TMess::operator[](int N) const {
    static const std::string empty;
    const std::string* slot = const_cast<TMess*>(this)->Find(N);
    return slot ? *slot : empty;
}

std::string& TMess::Slot(int N) {
    std::string* slot = Find(N);
    if (slot) return *slot;
    discarded_.clear();
    return discarded_;
}
