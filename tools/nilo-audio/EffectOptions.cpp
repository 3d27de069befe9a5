#include "EffectOptions.h"

#include <sstream>

namespace {

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
    if (!text.empty() && text.back() == ',') parts.emplace_back();
    return parts;
}

bool TakeEq(const std::string& value, EffectSettings& s) {
    const std::vector<std::string> parts = SplitCommas(value);
    if (parts.size() != 8) return false;
    EqPositions positions{};
    for (size_t i = 0; i < parts.size(); ++i) {
        int p = 0;
        if (!ParseInteger(parts[i], 0, 10, p)) return false;
        positions[i] = p;
    }
    s.eq = positions;
    return true;
}

bool TakeReverb(const std::string& value, EffectSettings& s) {
    const std::vector<std::string> parts = SplitCommas(value);
    double level = 0;
    int delay = 0;
    if (parts.size() != 2 || !ParseNumber(parts[0], 0, 1, level) ||
        !ParseInteger(parts[1], 1200, 10000, delay))
        return false;
    s.reverb = {float(level), delay};
    return true;
}

bool TakeNormalize(const std::string& value, EffectSettings& s) {
    double amp = 0;
    if (!ParseNumber(value, 1, 10, amp)) return false;
    s.normalize = float(amp);
    return true;
}

} // namespace

std::vector<Option> EffectOptions(EffectSettings& s) {
    return {
        {"--eq", "P1,...,P8", [&s](const std::string& v) { return TakeEq(v, s); }},
        {"--reverb", "LEVEL,DELAY_MS", [&s](const std::string& v) { return TakeReverb(v, s); }},
        {"--normalize", "1..10", [&s](const std::string& v) { return TakeNormalize(v, s); }},
    };
}

void ApplyEffectOptions(audio::Handle h, const EffectSettings& s) {
    if (s.eq) SetEqualizer(h, 0.0f, *s.eq);
    if (s.reverb) SetReverb(h, s.reverb->first, s.reverb->second);
    if (s.normalize) SetNormalize(h, *s.normalize);
}
