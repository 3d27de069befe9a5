// A disc in a drive or an image, through libcdio: its table of contents and
// its CD-Text. One thread at a time uses a disc.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/AudioLibrary.h"

typedef struct _CdIo CdIo_t;

namespace audio {

constexpr uint32_t kCdSectorFrames = 588;
constexpr uint32_t kCdRate = 44100;

struct CdTrack {
    bool audio = false;
    int32_t firstSector = 0;
    uint32_t sectors = 0;
};

class CdDisc {
  public:
    // A CD device (a block or character device) or a .cue / .toc image;
    // null when it cannot be read.
    static std::unique_ptr<CdDisc> Open(const std::string& drive);
    ~CdDisc();
    CdDisc(const CdDisc&) = delete;
    CdDisc& operator=(const CdDisc&) = delete;

    // Every track, audio and data, as the first and last numbers give.
    int trackCount() const;
    // False for a number the disc does not have.
    bool track(int number, CdTrack& track) const;
    bool text(int number, CdTrackText& text) const;

    CdIo_t* handle() const { return cdio_; }

  private:
    explicit CdDisc(CdIo_t* cdio) : cdio_(cdio) {}
    CdIo_t* cdio_;
};

} // namespace audio
