#include "engine/TagTitle.h"

#include <exception>

#include "engine/CdTracks.h"
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
    // A CD track has no tags, but the disc may name it.
    audio::CdTrackText disc;
    if (CdTrackNumber(Path) > 0 && audio::cdTrackText(Path, disc)) {
        names.Artist = disc.performer;
        if (!disc.title.empty()) names.Title = disc.title;
    }
    names.Duration = DurationText(Path, FromChannel, Current);
    return names;
}
