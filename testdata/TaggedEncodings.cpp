#include "testdata/TaggedEncodings.h"

#include <cctype>
#include <filesystem>
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

bool EncodeTagged(TaggedKind kind, const std::string& wav, const std::string& out,
                  const TagTexts& tags) {
    std::string command;
    switch (kind) {
    case TaggedKind::Flac:
        command =
            "flac -s -f" + Options("-T", tags) + " -o " + ShellQuote(out) + " " + ShellQuote(wav);
        break;
    case TaggedKind::Opus:
        command = "opusenc --quiet" + Options("--comment", tags) + " " + ShellQuote(wav) + " " +
                  ShellQuote(out);
        break;
    case TaggedKind::M4aAac:
    case TaggedKind::M4aAlac:
        command = "ffmpeg -nostdin -v error -y -i " + ShellQuote(wav) + " -c:a " +
                  (kind == TaggedKind::M4aAac ? "aac" : "alac") + Options("-metadata", tags) + " " +
                  ShellQuote(out);
        break;
    }
    std::error_code ec;
    std::filesystem::remove(out, ec);
    return Run(command + " 2>/dev/null") && std::filesystem::file_size(out, ec) > 0 && !ec;
}

} // namespace fixtures
