#include "testdata/TaggedEncodings.h"

#include <cctype>
#include <utility>

#include "testdata/Fixtures.h"

namespace fixtures {

namespace {

// The tags as the tool's options, name and value each one word.
std::string Options(const char* form, const TagTexts& tags) {
    const std::pair<const char*, const std::string*> named[] = {
        {"TITLE", &tags.Title},    {"ARTIST", &tags.Artist},     {"ALBUM", &tags.Album},
        {"DATE", &tags.Year},      {"TRACKNUMBER", &tags.Track}, {"GENRE", &tags.Genre},
        {"COMMENT", &tags.Comment}};
    std::string out;
    for (const auto& [name, value] : named) {
        if (value->empty()) continue;
        std::string key = name;
        if (std::string(form) == "-metadata") {
            for (char& c : key)
                c = char(std::tolower(c));
            if (key == "tracknumber") key = "track";
        }
        out += std::string(" ") + form + " " + ShellQuote(key + "=" + *value);
    }
    return out;
}

} // namespace

bool EncodeTagged(TaggedKind kind, const std::string& wav, const std::string& out, const TagTexts& tags) {
    switch (kind) {
    case TaggedKind::Flac: return EncodeFlac(wav, out, Options("-T", tags));
    case TaggedKind::Opus: return EncodeOpus(wav, out, Options("--comment", tags));
    case TaggedKind::M4aAac: return EncodeM4a(wav, out, Options("-metadata", tags));
    case TaggedKind::M4aAlac: return EncodeAlac(wav, out, Options("-metadata", tags));
    }
    return false;
}

} // namespace fixtures
