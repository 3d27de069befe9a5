// MPEG layers 1-3 through libmpg123: gapless, float, at the file's own rate.
#include <mpg123.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/AudioLibrary.h"
#include "audio/decoders/ExactLengthDecoder.h"
#include "audio/decoders/MpegStreamProbe.h"

namespace audio {
namespace {

// A new handle builds the library's tables, which costs more than opening a
// file: closed handles are kept for the next decoders (the pool is never
// destroyed, so handles kept at exit are still reachable).
class HandlePool {
  public:
    static HandlePool& Instance()
    {
        static HandlePool* pool = new HandlePool;
        return *pool;
    }

    // A handle with the library's default flags.
    mpg123_handle* take()
    {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (!spare_.empty()) {
                mpg123_handle* h = spare_.back();
                spare_.pop_back();
                mpg123_param(h, MPG123_FLAGS, defaultFlags_, 0);
                return h;
            }
        }
        int error = MPG123_OK;
        mpg123_handle* h = mpg123_new(nullptr, &error);
        if (h) {
            long flags = 0;
            double unused = 0;
            mpg123_getparam(h, MPG123_FLAGS, &flags, &unused);
            std::lock_guard<std::mutex> hold(lock_);
            defaultFlags_ = flags;
        }
        return h;
    }

    void give(mpg123_handle* h)
    {
        mpg123_close(h);
        std::lock_guard<std::mutex> hold(lock_);
        if (spare_.size() < kSpare) {
            spare_.push_back(h);
            return;
        }
        mpg123_delete(h);
    }

  private:
    static constexpr size_t kSpare = 4;
    std::mutex lock_;
    std::vector<mpg123_handle*> spare_;
    long defaultFlags_ = 0;
};

struct HandleDeleter {
    void operator()(mpg123_handle* h) const { HandlePool::Instance().give(h); }
};
using Mpg123 = std::unique_ptr<mpg123_handle, HandleDeleter>;

// The library's reads of the source, from the first frame on (it never sees
// the ID3v2 blocks); its many small reads and seeks are served from a buffer.
class MpegReader {
  public:
    MpegReader(std::shared_ptr<ByteSource> source, uint64_t start) : source_(std::move(source)), cursor_(*source_, start) {}
    MpegReader(const MpegReader&) = delete;
    MpegReader& operator=(const MpegReader&) = delete;

    // Points the library's reading at this source, from its start.
    int open(mpg123_handle* h)
    {
        cursor_.seek(0);
        bufferStart_ = 0;
        bufferLength_ = 0;
        if (mpg123_replace_reader_handle(h, &MpegReader::Read, &MpegReader::Seek, nullptr) != MPG123_OK)
            return MPG123_ERR;
        return mpg123_open_handle(h, this);
    }

  private:
    static constexpr size_t kBufferSize = 16384;

    static mpg123_ssize_t Read(void* self, void* out, size_t size)
    {
        return static_cast<MpegReader*>(self)->read(static_cast<uint8_t*>(out), size);
    }
    static off_t Seek(void* self, off_t offset, int whence)
    {
        return static_cast<MpegReader*>(self)->seek(offset, whence);
    }

    mpg123_ssize_t read(uint8_t* out, size_t size)
    {
        size_t done = 0;
        while (done < size) {
            const uint64_t position = cursor_.tell();
            if (position >= bufferStart_ && position - bufferStart_ < bufferLength_) {
                const size_t inBuffer = static_cast<size_t>(position - bufferStart_);
                const size_t n = std::min(size - done, bufferLength_ - inBuffer);
                std::memcpy(out + done, buffer_.data() + inBuffer, n);
                done += n;
                cursor_.seek(position + n);
                continue;
            }
            // Large reads go straight to the caller.
            if (size - done >= kBufferSize) {
                const size_t n = cursor_.read(out + done, size - done);
                done += n;
                break;
            }
            bufferStart_ = position;
            bufferLength_ = cursor_.read(buffer_.data(), kBufferSize);
            cursor_.seek(position);
            if (bufferLength_ == 0)
                break;
        }
        return static_cast<mpg123_ssize_t>(done);
    }

    off_t seek(off_t offset, int whence)
    {
        const auto size = cursor_.size();
        if (whence == SEEK_END && !size) {
            errno = ESPIPE;
            return -1;
        }
        const off_t base = whence == SEEK_SET ? 0
            : whence == SEEK_CUR            ? static_cast<off_t>(cursor_.tell())
                                            : static_cast<off_t>(size.value_or(0));
        const off_t target = base + offset;
        if ((whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) || target < 0) {
            errno = EINVAL;
            return -1;
        }
        cursor_.seek(static_cast<uint64_t>(target));
        return target;
    }

    std::shared_ptr<ByteSource> source_;
    SourceCursor cursor_;
    std::array<uint8_t, kBufferSize> buffer_;
    uint64_t bufferStart_ = 0;
    size_t bufferLength_ = 0;
};

uint32_t TypeForLayer(int layer)
{
    return layer == 1 ? kTypeMp1 : layer == 2 ? kTypeMp2 : kTypeMp3;
}

// Bytes of the shortest and longest frames a stream like `h` can have.
std::pair<uint64_t, uint64_t> FrameSizeRange(const MpegFrameHeader& h)
{
    const uint64_t perBit = h.layer == 1 ? 48 : (h.layer == 3 && h.version != 1) ? 72 : 144;
    const bool mpeg1 = h.version == 1;
    const uint64_t lowest = h.layer == 1 || mpeg1 ? 32000 : 8000;
    const uint64_t highest = h.layer == 1 ? (mpeg1 ? 448000 : 256000) : mpeg1 ? (h.layer == 2 ? 384000 : 320000) : 160000;
    const uint64_t slot = h.layer == 1 ? 4 : 1;
    return {perBit * lowest / h.rate / slot * slot, (perBit * highest / h.rate / slot + 1) * slot};
}

// A Xing/VBRI frame count is trusted only when the stream still has the size
// the header claims and the count fits that size: a cut, appended or damaged
// file is counted frame by frame.
bool NeedsScan(const MpegStreamProbe& probe)
{
    if (!probe.vbr || !probe.vbr->frames)
        return true;
    if (probe.vbr->bytes && *probe.vbr->bytes != probe.audioBytes)
        return true;
    const auto [shortest, longest] = FrameSizeRange(probe.first);
    const uint64_t frames = *probe.vbr->frames;
    return frames * shortest > probe.audioBytes || (frames + 1) * longest < probe.audioBytes;
}

// Samples of the whole frames the decoder delivers that are not played:
// those before `skip` and those in [cutStart, cutEnd). The library removes
// the encoder's delay and padding itself when it can trust the stream's LAME
// header; when the header no longer fits the stream (a cut or joined file),
// its count would be wrong, so whole frames are decoded and the delay and
// padding are removed here where the header places them.
struct MpegTrim {
    uint64_t skip = 0;
    uint64_t cutStart = UINT64_MAX;
    uint64_t cutEnd = UINT64_MAX;

    uint64_t cutLength() const { return cutEnd - cutStart; }
    // Position in the whole frames of a played frame.
    uint64_t wholeAt(uint64_t frame) const
    {
        const uint64_t at = frame + skip;
        return at < cutStart ? at : at + cutLength();
    }
};

// Gapless values as the library applies them: the decoder's own delay
// follows the encoder's, and the padding ends the frame the header's count
// ends in.
constexpr uint64_t kDecoderDelay = 529;

MpegTrim TrimFor(mpg123_handle* h, uint64_t claimedWhole, uint64_t wholeFrames, uint32_t frameSamples)
{
    long delay = -1;
    long padding = -1;
    MpegTrim trim;
    if (mpg123_getstate(h, MPG123_ENC_DELAY, &delay, nullptr) != MPG123_OK
        || mpg123_getstate(h, MPG123_ENC_PADDING, &padding, nullptr) != MPG123_OK || delay < 0 || padding < 0
        || claimedWhole < static_cast<uint64_t>(padding))
        return trim;
    trim.skip = std::min<uint64_t>(static_cast<uint64_t>(delay) + kDecoderDelay, wholeFrames);
    const uint64_t end = claimedWhole - static_cast<uint64_t>(padding) + kDecoderDelay;
    const uint64_t frameEnd = (end + frameSamples - 1) / frameSamples * frameSamples;
    if (end >= trim.skip && end < wholeFrames && end < frameEnd) {
        trim.cutStart = end;
        trim.cutEnd = std::min(frameEnd, wholeFrames);
    }
    return trim;
}

class MpegDecoder final : public ExactLengthDecoder {
  public:
    MpegDecoder(std::unique_ptr<MpegReader> reader, Mpg123 handle, uint32_t rate, uint32_t channels, uint32_t type,
                uint64_t length, MpegTrim trim)
        : reader_(std::move(reader)), handle_(std::move(handle)), rate_(rate), channels_(channels), type_(type),
          trim_(trim)
    {
        setLength(length);
    }
    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return channels_; }
    uint32_t typeCode() const override { return type_; }

  private:
    size_t decode(float* out, size_t frames) override
    {
        for (;;) {
            const bool dropped = whole_ < trim_.skip || (whole_ >= trim_.cutStart && whole_ < trim_.cutEnd);
            const uint64_t until = whole_ < trim_.skip ? trim_.skip
                : whole_ < trim_.cutStart              ? trim_.cutStart
                : whole_ < trim_.cutEnd                ? trim_.cutEnd
                                                       : UINT64_MAX;
            const size_t got = decodeWhole(out, static_cast<size_t>(std::min<uint64_t>(frames, until - whole_)));
            whole_ += got;
            if (got == 0 || !dropped)
                return got;
        }
    }

    size_t decodeWhole(float* out, size_t frames)
    {
        const size_t frameBytes = sizeof(float) * channels_;
        // Errors and format notices are passed over a bounded number of
        // times; a stream that keeps failing has ended.
        for (int attempt = 0; attempt < 16; ++attempt) {
            size_t done = 0;
            const int rc = mpg123_read(handle_.get(), out, frames * frameBytes, &done);
            if (done >= frameBytes)
                return done / frameBytes;
            if (rc == MPG123_DONE)
                return 0;
        }
        return 0;
    }

    bool seekSource(uint64_t frame) override
    {
        const uint64_t whole = trim_.wholeAt(frame);
        if (mpg123_seek(handle_.get(), static_cast<off_t>(whole), SEEK_SET) != static_cast<off_t>(whole))
            return false;
        whole_ = whole;
        return true;
    }

    bool rewindSource() override
    {
        mpg123_close(handle_.get());
        whole_ = 0;
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        return reader_->open(handle_.get()) == MPG123_OK
            && mpg123_getformat(handle_.get(), &rate, &channels, &encoding) == MPG123_OK;
    }

    // Declared first: the handle reads the source until it is deleted.
    std::unique_ptr<MpegReader> reader_;
    Mpg123 handle_;
    uint32_t rate_;
    uint32_t channels_;
    uint32_t type_;
    MpegTrim trim_;
    uint64_t whole_ = 0;
};

} // namespace

std::unique_ptr<Decoder> OpenMpegDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                         bool exactLength)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });

    const auto probe = ProbeMpegStream(*source, header);
    if (!probe)
        return nullptr;
    Mpg123 mh(HandlePool::Instance().take());
    if (!mh)
        return nullptr;
    const bool scan = exactLength && NeedsScan(*probe);
    mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_SKIP_ID3V2 | (scan ? 0 : MPG123_GAPLESS), 0);
    if (scan)
        mpg123_param(mh.get(), MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    mpg123_format_none(mh.get());
    auto reader = std::make_unique<MpegReader>(source, probe->audioStart);
    if (mpg123_format(mh.get(), static_cast<long>(probe->first.rate),
                      probe->first.channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_FLOAT_32)
            != MPG123_OK
        || reader->open(mh.get()) != MPG123_OK)
        return nullptr;

    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(mh.get(), &rate, &channels, &encoding) != MPG123_OK
        || rate != static_cast<long>(probe->first.rate) || channels != static_cast<int>(probe->first.channels)
        || encoding != MPG123_ENC_FLOAT_32)
        return nullptr;
    MpegTrim trim;
    off_t length = mpg123_length(mh.get());
    if (scan) {
        const off_t claimed = length;
        if (mpg123_scan(mh.get()) != MPG123_OK || (length = mpg123_length(mh.get())) < 0)
            return nullptr;
        if (claimed > 0)
            trim = TrimFor(mh.get(), static_cast<uint64_t>(claimed), static_cast<uint64_t>(length), probe->first.samples);
        length -= static_cast<off_t>(trim.skip + (trim.cutStart == UINT64_MAX ? 0 : trim.cutLength()));
    } else if (length < 0 && (mpg123_scan(mh.get()) != MPG123_OK || (length = mpg123_length(mh.get())) < 0)) {
        return nullptr;
    }

    auto decoder = std::make_unique<MpegDecoder>(std::move(reader), std::move(mh), probe->first.rate,
                                                 probe->first.channels, TypeForLayer(probe->first.layer),
                                                 static_cast<uint64_t>(length), trim);
    if (trim.skip > 0 && !decoder->seek(0))
        return nullptr;
    return decoder;
}

} // namespace audio
