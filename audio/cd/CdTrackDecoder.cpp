#include "audio/cd/CdTrackDecoder.h"

namespace audio {
namespace {

// About 1.5 s between the reader and the channel's ring; the decode thread
// is woken about five times a second while it waits for the drive.
constexpr size_t kQueueFrames = 65536;
constexpr size_t kWakeFrames = 8192;

} // namespace

CdTrackDecoder::CdTrackDecoder(std::unique_ptr<CdDisc> disc, const CdTrack& track, std::function<void()> onMore)
    : lengthFrames_(uint64_t{track.sectors} * kCdSectorFrames),
      queue_(std::make_shared<FrameQueue>(std::move(onMore))), reader_(std::move(disc), track, queue_)
{
    queue_->setShape(2, kQueueFrames, kWakeFrames);
}

size_t CdTrackDecoder::read(float* out, size_t frames)
{
    // A channel opened only for its length never starts its reader.
    if (!reading_)
        seek(position_);
    const size_t got = queue_->pop(out, frames);
    position_ += got;
    return got;
}

bool CdTrackDecoder::seek(uint64_t frame)
{
    if (frame > lengthFrames_)
        return false;
    // The queue holds the frames from position_ on already.
    if (reading_ && frame == position_)
        return true;
    reader_.startAt(frame);
    reading_ = true;
    position_ = frame;
    return true;
}

} // namespace audio
