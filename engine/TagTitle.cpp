#include "engine/TagTitle.h"

#include <exception>

#include "engine/WholeSeconds.h"

namespace {

std::string DurationText(const std::string& Path, bool FromChannel, HSTREAM Current) {
    if (!FromChannel) return FileDurationText(Path);
    return Current != 0 ? FormatTime(WholeSeconds(ChannelSeconds(Current))) : std::string();
}

} // namespace

TTagNames ReadTagsWithDuration(const std::string& Path, bool FromChannel, HSTREAM Current) {
    TTagNames names = ReadTags(Path);
    names.Duration = DurationText(Path, FromChannel, Current);
    return names;
}

TTagNames ReadTitleTags(const std::string& Path, bool FromChannel, HSTREAM Current) {
    TTagNames names;
    try {
        names = ReadTags(Path);
    } catch (const std::exception&) {
        names.Title = TitleFromFileName(Path);
    }
    names.Duration = DurationText(Path, FromChannel, Current);
    return names;
}
