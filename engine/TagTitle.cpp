#include "engine/TagTitle.h"

#include <exception>

#include "engine/WholeSeconds.h"

TTagNames ReadTitleTags(const std::string& Path, bool FromChannel, HSTREAM Current) {
    try {
        return ReadTags(Path, FromChannel, Current);
    } catch (const std::exception&) {
        TTagNames names;
        names.Title = TitleFromFileName(Path);
        if (!FromChannel)
            names.Duration = FileDurationText(Path);
        else if (Current != 0)
            names.Duration = FormatTime(WholeSeconds(ChannelSeconds(Current)));
        return names;
    }
}
