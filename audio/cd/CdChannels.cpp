// The CD calls of the library: tracks as channels, drives, track counts and
// the disc's own texts.
#include <cdio/cdio.h>

#include "audio/AudioLibrary.h"
#include "audio/Library.h"
#include "audio/cd/CdDisc.h"
#include "audio/cd/CdTrackDecoder.h"
#include "audio/cd/CdTrackPath.h"

namespace audio {

Handle openCdChannel(const std::string& trackFile, uint32_t flags)
{
    CdTrackPath path;
    CdTrack track;
    if (!ParseCdTrackPath(trackFile, path))
        return 0;
    std::unique_ptr<CdDisc> disc = CdDisc::Open(path.drive);
    if (!disc || !disc->track(path.track, track) || !track.audio)
        return 0;
    auto decoder = std::make_unique<CdTrackDecoder>(std::move(disc), track, [] { Library::Instance().worker.wake(); });
    return Library::Instance().addChannel(std::move(decoder), ChannelKind::Cd, flags);
}

std::vector<std::string> cdDrives()
{
    std::vector<std::string> drives;
    char** list = cdio_get_devices(DRIVER_DEVICE);
    for (char** device = list; device && *device; ++device)
        drives.emplace_back(*device);
    if (list)
        cdio_free_device_list(list);
    return drives;
}

int cdTrackCount(const std::string& drive)
{
    const std::unique_ptr<CdDisc> disc = CdDisc::Open(drive);
    return disc ? disc->trackCount() : -1;
}

bool cdTrackText(const std::string& trackFile, CdTrackText& text)
{
    CdTrackPath path;
    if (!ParseCdTrackPath(trackFile, path))
        return false;
    const std::unique_ptr<CdDisc> disc = CdDisc::Open(path.drive);
    return disc && disc->text(path.track, text);
}

} // namespace audio
