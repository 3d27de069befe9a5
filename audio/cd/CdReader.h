// Reads one track of a disc on a thread of its own, through paranoia, into
// a frame queue as float stereo. The thread owns the disc; a read that hangs
// in the drive holds up that thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/cd/CdDisc.h"
#include "audio/network/FrameQueue.h"

namespace audio {

class CdReader {
  public:
    CdReader(std::unique_ptr<CdDisc> disc, const CdTrack& track, std::shared_ptr<FrameQueue> queue);
    // Stops the reader at once; a read under way ends on its own thread,
    // which then lets the disc go.
    ~CdReader();
    CdReader(const CdReader&) = delete;
    CdReader& operator=(const CdReader&) = delete;

    // Drops what is queued; the queue's next frame is this frame of the
    // track. The first call starts the thread.
    void startAt(uint64_t frame);

    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;
    bool started_ = false;
};

} // namespace audio
