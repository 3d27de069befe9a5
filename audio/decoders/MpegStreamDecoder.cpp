// MPEG audio streams through libmpg123 in feed mode: whole frames are handed
// to the library as they arrive, and the source is never sought. The library
// may output only the first frame's rate and channel count, so it converts
// frames of another format to them.
#include <mpg123.h>

#include <algorithm>
#include <mutex>
#include <span>
#include <vector>

#include "audio/AudioLibrary.h"
#include "audio/decoders/MpegFrameHeader.h"
#include "audio/decoders/StreamDecoders.h"

namespace audio {
namespace {

// Frames of one stream in a row that end a search for frames, and the bytes
// read at a time while searching.
constexpr int kFramesToResync = 3;
constexpr size_t kSearchBytes = 4096;
// Library answers in a row that neither take a frame nor give samples.
constexpr int kMostIdleAnswers = 16;

struct HandleDeleter {
    void operator()(mpg123_handle* h) const { mpg123_delete(h); }
};
using Mpg123 = std::unique_ptr<mpg123_handle, HandleDeleter>;

uint32_t TypeForLayer(int layer)
{
    return layer == 1 ? kTypeMp1 : layer == 2 ? kTypeMp2 : kTypeMp3;
}

// The stream's whole frames in order. A frame is passed on once the next
// frame of its stream follows it (or the stream ends after it); after one
// that is not followed so, the bytes are searched for a run of frames, so
// that damage, junk, a cut and the start of another encoding are passed over
// and sync words in noise are not taken for frames.
class MpegFrames {
  public:
    MpegFrames(std::shared_ptr<ByteSource> source, uint64_t offset)
        : source_(std::move(source)), windowStart_(offset), next_(offset)
    {
    }

    // The next frame's bytes, valid until the next call; empty once the
    // stream has ended or nothing was found before `searchEnd`.
    std::span<const uint8_t> next(uint64_t searchEnd)
    {
        window_.erase(window_.begin(), window_.begin() + static_cast<ptrdiff_t>(next_ - windowStart_));
        windowStart_ = next_;
        if (!followed(next_, 2)) {
            uint64_t at = next_ + 1;
            while (at < searchEnd && have(at + 4, kSearchBytes) && !followed(at, kFramesToResync))
                ++at;
            if (at >= searchEnd || !have(at + 4))
                return {};
            next_ = at;
        }
        const auto h = headerAt(next_);
        if (!h || !have(next_ + h->frameBytes))
            return {};
        const size_t from = static_cast<size_t>(next_ - windowStart_);
        next_ += h->frameBytes;
        return {window_.data() + from, h->frameBytes};
    }
    // Where the bytes not yet looked at begin.
    uint64_t position() const { return next_; }

  private:
    // Whether the window holds the bytes before `end`, reading up to it and
    // `ahead` bytes more (while searching, so that the source is not asked
    // byte by byte).
    bool have(uint64_t end, size_t ahead = 0)
    {
        const uint64_t held = windowStart_ + window_.size();
        if (end <= held)
            return true;
        if (ended_)
            return false;
        const size_t want = static_cast<size_t>(end - held) + ahead;
        const size_t kept = window_.size();
        window_.resize(kept + want);
        const size_t got = source_->readAt(held, window_.data() + kept, want);
        window_.resize(kept + got);
        ended_ = got < want;
        return held + got >= end;
    }

    std::optional<MpegFrameHeader> headerAt(uint64_t at)
    {
        if (!have(at + 4))
            return std::nullopt;
        return ParseMpegFrameHeader(window_.data() + (at - windowStart_), 4);
    }

    // Whether `frames` frames of one stream follow each other from `at`; a
    // stream that ends after a whole frame counts as followed.
    bool followed(uint64_t at, int frames)
    {
        const auto first = headerAt(at);
        auto h = first;
        for (int n = 1; h && n < frames; ++n) {
            at += h->frameBytes;
            if (!have(at + 4))
                return ended_ && have(at);
            h = headerAt(at);
            if (h && !h->sameStream(*first))
                return false;
        }
        return h.has_value();
    }

    std::shared_ptr<ByteSource> source_;
    std::vector<uint8_t> window_;
    uint64_t windowStart_;
    uint64_t next_;
    bool ended_ = false;
};

class MpegStreamDecoder final : public StreamDecoder {
  public:
    MpegStreamDecoder(std::shared_ptr<ByteSource> source, uint64_t offset, Mpg123 handle,
                      const MpegFrameHeader& first)
        : frames_(std::move(source), offset), soundAt_(offset), handle_(std::move(handle)), rate_(first.rate),
          channels_(first.channels), type_(TypeForLayer(first.layer))
    {
    }
    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return channels_; }
    uint32_t typeCode() const override { return type_; }

    size_t read(float* out, size_t frames) override
    {
        if (frames == 0)
            return 0;
        const size_t frameBytes = sizeof(float) * channels_;
        const size_t bytes = std::min<size_t>(frames, 1 << 16) * frameBytes;
        for (int idle = 0; !ended_ && idle < kMostIdleAnswers; ++idle) {
            size_t done = 0;
            const int rc = mpg123_read(handle_.get(), out, bytes, &done);
            if (done >= frameBytes) {
                soundAt_ = frames_.position();
                return done / frameBytes;
            }
            if (rc == MPG123_NEED_MORE) {
                ended_ = !feed();
                idle = 0;
            } else if (rc == MPG123_DONE) {
                ended_ = true;
            } else if (rc == MPG123_NEW_FORMAT) {
                ended_ = !outputIsFirstFormat();
            } else if (rc != MPG123_OK) {
                // Frames the library cannot take: it starts afresh on the
                // next ones.
                ended_ = mpg123_open_feed(handle_.get()) != MPG123_OK;
            }
        }
        ended_ = true;
        return 0;
    }

  private:
    // False once the stream has ended, or has given too many bytes without
    // sound.
    bool feed()
    {
        const auto frame = frames_.next(soundAt_ + kStreamBytesWithoutSound);
        return !frame.empty() && frames_.position() - soundAt_ <= kStreamBytesWithoutSound
            && mpg123_feed(handle_.get(), frame.data(), frame.size()) == MPG123_OK;
    }

    bool outputIsFirstFormat()
    {
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        return mpg123_getformat(handle_.get(), &rate, &channels, &encoding) == MPG123_OK
            && rate == static_cast<long>(rate_) && channels == static_cast<int>(channels_)
            && encoding == MPG123_ENC_FLOAT_32;
    }

    MpegFrames frames_;
    uint64_t soundAt_;
    Mpg123 handle_;
    uint32_t rate_;
    uint32_t channels_;
    uint32_t type_;
    bool ended_ = false;
};

} // namespace

std::unique_ptr<StreamDecoder> OpenMpegStreamDecoder(const std::shared_ptr<ByteSource>& source, uint64_t offset)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });

    uint8_t bytes[4];
    if (source->readAt(offset, bytes, sizeof bytes) != sizeof bytes)
        return nullptr;
    const auto first = ParseMpegFrameHeader(bytes, sizeof bytes);
    if (!first)
        return nullptr;
    int error = MPG123_OK;
    Mpg123 mh(mpg123_new(nullptr, &error));
    // Gapless trimming is off: a stream's Info frame counts the samples of
    // one encoding, and the stream goes on past them.
    if (!mh || mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_AUTO_RESAMPLE, 0) != MPG123_OK
        || mpg123_param(mh.get(), MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0) != MPG123_OK
        || mpg123_format_none(mh.get()) != MPG123_OK
        || mpg123_format(mh.get(), static_cast<long>(first->rate), first->channels == 1 ? MPG123_MONO : MPG123_STEREO,
                         MPG123_ENC_FLOAT_32)
            != MPG123_OK
        || mpg123_open_feed(mh.get()) != MPG123_OK)
        return nullptr;
    return std::make_unique<MpegStreamDecoder>(source, offset, std::move(mh), *first);
}

} // namespace audio
