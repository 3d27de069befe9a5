#include "audio/cd/CdDisc.h"

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <sys/stat.h>

#include "audio/cd/CdText.h"

namespace audio {
namespace {

// A CUE or TOC sheet is a few kilobytes; a larger one is no sheet of ours.
constexpr off_t kLargestSheet = 1 << 20;
constexpr std::chrono::seconds kOpenPatience{3};

bool EndsWith(const std::string& text, const std::string& end)
{
    if (text.size() < end.size())
        return false;
    for (size_t i = 0; i < end.size(); ++i) {
        const char c = text[text.size() - end.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != end[i])
            return false;
    }
    return true;
}

// Only regular files of a sane size are parsed as sheets (a FIFO would
// block the open), and only devices are asked for a disc.
driver_id_t DriverFor(const std::string& drive)
{
    struct stat info {};
    if (stat(drive.c_str(), &info) != 0)
        return DRIVER_UNKNOWN;
    const bool sheet = S_ISREG(info.st_mode) && info.st_size <= kLargestSheet;
    if (EndsWith(drive, ".cue"))
        return sheet ? DRIVER_BINCUE : DRIVER_UNKNOWN;
    if (EndsWith(drive, ".toc"))
        return sheet ? DRIVER_CDRDAO : DRIVER_UNKNOWN;
    return S_ISBLK(info.st_mode) || S_ISCHR(info.st_mode) ? DRIVER_DEVICE : DRIVER_UNKNOWN;
}

struct OpenAttempt {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    CdIo_t* cdio = nullptr;
};

// Opens the drive and reads its table of contents on a thread of its own:
// a sheet may name a FIFO or a device for its BIN, and a drive may take its
// time, so the caller waits a while only. An open that comes too late is
// let go by its thread.
CdIo_t* OpenWithin(const std::string& drive, driver_id_t driver)
{
    auto attempt = std::make_shared<OpenAttempt>();
    try {
        std::thread([attempt, drive, driver] {
            CdIo_t* cdio = cdio_open(drive.c_str(), driver);
            if (cdio)
                cdio_get_last_track_num(cdio);
            std::lock_guard hold(attempt->lock);
            attempt->finished = true;
            if (attempt->abandoned) {
                if (cdio)
                    cdio_destroy(cdio);
                return;
            }
            attempt->cdio = cdio;
            attempt->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    std::unique_lock hold(attempt->lock);
    if (!attempt->done.wait_for(hold, kOpenPatience, [&] { return attempt->finished; })) {
        attempt->abandoned = true;
        return nullptr;
    }
    return attempt->cdio;
}

} // namespace

std::unique_ptr<CdDisc> CdDisc::Open(const std::string& drive)
{
    // libcdio's warnings about odd sheets are no news to the program.
    static std::once_flag quiet;
    std::call_once(quiet, [] { cdio_loglevel_default = CDIO_LOG_ERROR; });
    const driver_id_t driver = DriverFor(drive);
    if (driver == DRIVER_UNKNOWN)
        return nullptr;
    CdIo_t* cdio = OpenWithin(drive, driver);
    if (!cdio)
        return nullptr;
    std::unique_ptr<CdDisc> disc(new CdDisc(cdio));
    if (disc->trackCount() < 1)
        return nullptr;
    return disc;
}

CdDisc::~CdDisc() { cdio_destroy(cdio_); }

int CdDisc::trackCount() const
{
    const track_t first = cdio_get_first_track_num(cdio_);
    const track_t last = cdio_get_last_track_num(cdio_);
    if (first == CDIO_INVALID_TRACK || last == CDIO_INVALID_TRACK || last < first)
        return -1;
    return last - first + 1;
}

bool CdDisc::track(int number, CdTrack& track) const
{
    const int first = cdio_get_first_track_num(cdio_);
    if (number < first || number >= first + trackCount())
        return false;
    const auto t = static_cast<track_t>(number);
    const lsn_t start = cdio_get_track_lsn(cdio_, t);
    const lsn_t last = cdio_get_track_last_lsn(cdio_, t);
    if (start == CDIO_INVALID_LSN || last == CDIO_INVALID_LSN || last < start)
        return false;
    track.audio = cdio_get_track_format(cdio_, t) == TRACK_FORMAT_AUDIO;
    track.firstSector = start;
    track.sectors = static_cast<uint32_t>(last - start + 1);
    return true;
}

bool CdDisc::text(int number, CdTrackText& text) const
{
    CdTrack unused;
    cdtext_t* cdtext = cdio_get_cdtext(cdio_);
    if (!cdtext || !track(number, unused))
        return false;
    const auto t = static_cast<track_t>(number);
    const char* performer = cdtext_get_const(cdtext, CDTEXT_FIELD_PERFORMER, t);
    const char* title = cdtext_get_const(cdtext, CDTEXT_FIELD_TITLE, t);
    if (!performer && !title)
        return false;
    text.performer = performer ? CdTextToUtf8(performer) : std::string();
    text.title = title ? CdTextToUtf8(title) : std::string();
    return true;
}

} // namespace audio
