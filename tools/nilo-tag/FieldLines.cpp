#include "tools/nilo-tag/FieldLines.h"

const std::array<TagNameField, 13> kTagNameFields = {{
    {"Artist", &TTagNames::Artist},
    {"Web", &TTagNames::Web},
    {"Composer", &TTagNames::Composer},
    {"Title", &TTagNames::Title},
    {"Year", &TTagNames::Year},
    {"Encoder", &TTagNames::Encoder},
    {"Duration", &TTagNames::Duration},
    {"Track", &TTagNames::Track},
    {"Genre", &TTagNames::Genre},
    {"Album", &TTagNames::Album},
    {"Comment", &TTagNames::Comment},
    {"Copyright", &TTagNames::Copyright},
    {"Language", &TTagNames::Language},
}};

std::string EscapeLineBreaks(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void PrintField(std::FILE* out, const std::string& name, const std::string& value) {
    std::string line = name + "=" + EscapeLineBreaks(value) + "\n";
    std::fwrite(line.data(), 1, line.size(), out);
}

void PrintTagNames(std::FILE* out, const TTagNames& names) {
    for (const TagNameField& field : kTagNameFields) PrintField(out, field.name, names.*field.member);
}
