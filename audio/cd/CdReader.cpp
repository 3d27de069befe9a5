#include "audio/cd/CdReader.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace audio {

struct CdReader::Shared {
    std::unique_ptr<CdDisc> disc;
    CdTrack track;
    std::shared_ptr<FrameQueue> queue;
    std::mutex lock;
    std::condition_variable asked;
    // Under lock; stop and pending also read between sectors without it.
    std::atomic<bool> stop{false};
    std::atomic<bool> pending{false};
    uint64_t frame = 0;
    uint64_t epoch = 0;
};

namespace {

// Re-reads of a sector that does not verify before it is given up as silence.
constexpr int kRetries = 5;
constexpr size_t kSectorSamples = 2 * kCdSectorFrames;

// Paranoia reports through a callback without a context: the read under way
// on this thread failed when it reported an error or a skip.
thread_local bool readFailed = false;

void Report(long, paranoia_cb_mode_t mode)
{
    if (mode == PARANOIA_CB_READERR || mode == PARANOIA_CB_SKIP || mode == PARANOIA_CB_CACHEERR)
        readFailed = true;
}

// Paranoia on drives and images alike, so that images test the same reads a
// drive gets.
class SectorSource {
  public:
    explicit SectorSource(CdIo_t* cdio)
    {
        drive_ = cdio_cddap_identify_cdio(cdio, CDDA_MESSAGE_FORGETIT, nullptr);
        if (drive_ && cdio_cddap_open(drive_) == 0)
            paranoia_ = cdio_paranoia_init(drive_);
        if (paranoia_)
            paranoia_modeset(paranoia_, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    }
    ~SectorSource()
    {
        if (paranoia_)
            cdio_paranoia_free(paranoia_);
        if (drive_)
            cdio_cddap_close_no_free_cdio(drive_);
    }
    SectorSource(const SectorSource&) = delete;
    SectorSource& operator=(const SectorSource&) = delete;

    void seek(int32_t sector)
    {
        if (paranoia_)
            cdio_paranoia_seek(paranoia_, sector, SEEK_SET);
    }
    // The next sector; silence when it cannot be read.
    void read(std::array<int16_t, kSectorSamples>& samples)
    {
        readFailed = false;
        const int16_t* got = paranoia_ ? cdio_paranoia_read_limited(paranoia_, Report, kRetries) : nullptr;
        if (got && !readFailed)
            std::copy_n(got, kSectorSamples, samples.begin());
        else
            samples.fill(0);
    }

  private:
    cdrom_drive_t* drive_ = nullptr;
    cdrom_paranoia_t* paranoia_ = nullptr;
};

// One run from frame to the end of the track, or until stopped or asked to
// start elsewhere.
void ReadRun(CdReader::Shared& shared, SectorSource& source, uint64_t frame, uint64_t epoch)
{
    const uint64_t total = uint64_t{shared.track.sectors} * kCdSectorFrames;
    uint64_t sector = frame / kCdSectorFrames;
    size_t skip = static_cast<size_t>(frame % kCdSectorFrames);
    source.seek(shared.track.firstSector + static_cast<int32_t>(sector));
    std::array<int16_t, kSectorSamples> samples{};
    std::array<float, kSectorSamples> floats{};
    for (; sector * kCdSectorFrames < total; ++sector, skip = 0) {
        if (shared.stop || shared.pending)
            return;
        source.read(samples);
        for (size_t i = 0; i < kSectorSamples; ++i)
            floats[i] = static_cast<float>(samples[i]) / 32768.0f;
        if (!shared.queue->push(floats.data() + 2 * skip, kCdSectorFrames - skip, epoch))
            return;
    }
    shared.queue->finish(epoch);
}

void Run(const std::shared_ptr<CdReader::Shared>& shared)
{
    {
        SectorSource source(shared->disc->handle());
        for (;;) {
            uint64_t frame = 0, epoch = 0;
            {
                std::unique_lock hold(shared->lock);
                shared->asked.wait(hold, [&] { return shared->stop || shared->pending; });
                if (shared->stop)
                    break;
                shared->pending = false;
                frame = shared->frame;
                epoch = shared->epoch;
            }
            ReadRun(*shared, source, frame, epoch);
        }
    }
    shared->disc.reset();
}

} // namespace

CdReader::CdReader(std::unique_ptr<CdDisc> disc, const CdTrack& track, std::shared_ptr<FrameQueue> queue)
    : shared_(std::make_shared<Shared>())
{
    shared_->disc = std::move(disc);
    shared_->track = track;
    shared_->queue = std::move(queue);
}

CdReader::~CdReader()
{
    {
        std::lock_guard hold(shared_->lock);
        shared_->stop = true;
    }
    shared_->asked.notify_all();
    shared_->queue->close();
}

void CdReader::startAt(uint64_t frame)
{
    const uint64_t epoch = shared_->queue->reset();
    {
        std::lock_guard hold(shared_->lock);
        shared_->frame = frame;
        shared_->epoch = epoch;
        shared_->pending = true;
    }
    shared_->asked.notify_all();
    if (started_)
        return;
    started_ = true;
    try {
        std::thread(Run, shared_).detach();
    } catch (const std::system_error&) {
        // No thread, no frames: the track ends where it is.
        shared_->queue->finish(epoch);
    }
}

} // namespace audio
