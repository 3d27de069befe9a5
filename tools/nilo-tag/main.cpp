// nilo-tag: the tag access layer for scripts and tests.
//   nilo-tag read id3v1|id3v2|ogg|wma|flac|opus|mp4|auto FILE
//   nilo-tag dump id3v1|id3v2|ogg|wma FILE
//   nilo-tag write id3v1|id3v2|ogg FILE [Field=value ...]
//   nilo-tag remove id3v1|id3v2|ogg FILE
// Exit status: 0 success, 1 the operation failed, 2 wrong arguments.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "engine/TagTitle.h"
#include "tags/TagAccess.h"
#include "tags/TagFile.h"
#include "tools/nilo-tag/FieldLines.h"
#include "tools/nilo-tag/TagDump.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

int Usage() {
    std::fputs("usage: nilo-tag read id3v1|id3v2|ogg|wma|flac|opus|mp4|auto FILE\n"
               "       nilo-tag dump id3v1|id3v2|ogg|wma FILE\n"
               "       nilo-tag write id3v1|id3v2|ogg FILE [Field=value ...]\n"
               "       nilo-tag remove id3v1|id3v2|ogg FILE\n",
               stderr);
    return kUsage;
}

std::optional<TagKind> KindNamed(const std::string& name) {
    for (TagKind kind : {TagKind::ID3v1, TagKind::ID3v2, TagKind::OggVorbis, TagKind::WMA, TagKind::FLAC,
                          TagKind::Opus, TagKind::MP4})
        if (TagKindName(kind) == name) return kind;
    return std::nullopt;
}

void Complain(const std::string& text) { std::fprintf(stderr, "nilo-tag: %s\n", text.c_str()); }

std::string TagOf(TagKind kind, const std::string& file) {
    return "the " + std::string(TagKindName(kind)) + " tag of " + file;
}

// Whether the layer reported a failing tag class during the command.
bool failureReported = false;

int Read(const std::string& kindName, const std::string& file) {
    TTagNames names;
    if (kindName == "auto") {
        names = ReadTagsWithDuration(file, false, 0);
    } else {
        std::optional<TagKind> kind = KindNamed(kindName);
        if (!kind) return Usage();
        switch (*kind) {
        case TagKind::ID3v1: names = ReadID3v1(file); break;
        case TagKind::ID3v2: names = ReadID3v2(file); break;
        case TagKind::OggVorbis: names = ReadOggVorbis(file); break;
        case TagKind::WMA: names = ReadWMA(file); break;
        case TagKind::FLAC: names = ReadFLAC(file); break;
        case TagKind::Opus: names = ReadOpus(file); break;
        case TagKind::MP4: names = ReadMP4(file); break;
        }
    }
    PrintTagNames(stdout, names);
    if (!failureReported) return 0;
    Complain("cannot read the tags of " + file);
    return kFailed;
}

int Dump(TagKind kind, const std::string& file) {
    if (DumpTag(kind, file, stdout)) return 0;
    Complain("cannot read " + TagOf(kind, file));
    return kFailed;
}

std::optional<TTagNames> NamesFromArguments(const std::vector<std::string>& arguments) {
    TTagNames names;
    for (const std::string& argument : arguments) {
        size_t eq = argument.find('=');
        bool known = false;
        for (const TagNameField& field : kTagNameFields) {
            if (eq == std::string::npos || argument.compare(0, eq, field.name) != 0) continue;
            names.*field.member = argument.substr(eq + 1);
            known = true;
        }
        if (!known) {
            Complain("unknown field: " + argument);
            return std::nullopt;
        }
    }
    return names;
}

int Write(TagKind kind, const std::string& file, const std::vector<std::string>& fields) {
    std::optional<TTagNames> names = NamesFromArguments(fields);
    if (!names) return Usage();
    bool saved = false;
    switch (kind) {
    case TagKind::ID3v1: saved = SaveID3v1(file, *names); break;
    case TagKind::ID3v2: saved = SaveID3v2(file, *names); break;
    case TagKind::OggVorbis: saved = SaveOggVorbis(file, *names); break;
    case TagKind::WMA:
    case TagKind::FLAC:
    case TagKind::Opus:
    case TagKind::MP4: return Usage();
    }
    if (saved) return 0;
    Complain("cannot write " + TagOf(kind, file));
    return kFailed;
}

int Remove(TagKind kind, const std::string& file) {
    bool removed = false;
    switch (kind) {
    case TagKind::ID3v1: removed = RemoveID3v1(file); break;
    case TagKind::ID3v2: removed = RemoveID3v2(file); break;
    case TagKind::OggVorbis: removed = RemoveOggVorbis(file); break;
    case TagKind::WMA:
    case TagKind::FLAC:
    case TagKind::Opus:
    case TagKind::MP4: return Usage();
    }
    if (removed) return 0;
    Complain("nothing removed: " + TagOf(kind, file));
    return kFailed;
}

int Run(const std::vector<std::string>& args) {
    if (args.size() < 3) return Usage();
    const std::string& command = args[0];
    const std::string& file = args[2];
    if (command == "read" && args.size() == 3) return Read(args[1], file);
    std::optional<TagKind> kind = KindNamed(args[1]);
    if (!kind) return Usage();
    if (command == "dump" && args.size() == 3) return Dump(*kind, file);
    if (command == "write") return Write(*kind, file, {args.begin() + 3, args.end()});
    if (command == "remove" && args.size() == 3) return Remove(*kind, file);
    return Usage();
}

} // namespace

int main(int argc, char** argv) {
    SetTagFailureHandler([](TagKind, const std::string&) { failureReported = true; });
    try {
        return Run({argv + 1, argv + argc});
    } catch (const EFileError& error) {
        Complain(error.what());
        return kFailed;
    }
}
