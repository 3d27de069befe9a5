// MPEG layers 1-3 through libmpg123: gapless, float, at the file's own rate.
#include <fcntl.h>
#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include "audio/AudioLibrary.h"
#include "audio/decoders/ExactLengthDecoder.h"
#include "audio/decoders/MpegStreamProbe.h"

namespace audio {
namespace {

struct HandleDeleter {
    void operator()(mpg123_handle* h) const
    {
        mpg123_close(h);
        mpg123_delete(h);
    }
};
using Mpg123 = std::unique_ptr<mpg123_handle, HandleDeleter>;

// The file the probe and the library share, opened once; the library's many
// small reads and seeks are served from a buffer instead of system calls.
class MpegFile {
  public:
    explicit MpegFile(int fd) : fd_(fd) {}
    ~MpegFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    MpegFile(const MpegFile&) = delete;
    MpegFile& operator=(const MpegFile&) = delete;
    int fd() const { return fd_; }

    // Points the library's reading at this file, from its start.
    int open(mpg123_handle* h)
    {
        position_ = 0;
        bufferStart_ = 0;
        bufferLength_ = 0;
        if (mpg123_replace_reader_handle(h, &MpegFile::Read, &MpegFile::Seek, nullptr) != MPG123_OK)
            return MPG123_ERR;
        return mpg123_open_handle(h, this);
    }

  private:
    static constexpr size_t kBufferSize = 16384;

    static mpg123_ssize_t Read(void* self, void* out, size_t size)
    {
        return static_cast<MpegFile*>(self)->read(static_cast<uint8_t*>(out), size);
    }
    static off_t Seek(void* self, off_t offset, int whence)
    {
        return static_cast<MpegFile*>(self)->seek(offset, whence);
    }

    ssize_t readAt(uint8_t* out, size_t size, off_t at)
    {
        ssize_t n;
        do
            n = ::pread(fd_, out, size, at);
        while (n < 0 && errno == EINTR);
        return n;
    }

    mpg123_ssize_t read(uint8_t* out, size_t size)
    {
        size_t done = 0;
        while (done < size) {
            const off_t inBuffer = position_ - bufferStart_;
            if (inBuffer >= 0 && inBuffer < static_cast<off_t>(bufferLength_)) {
                const size_t n = std::min(size - done, bufferLength_ - static_cast<size_t>(inBuffer));
                std::memcpy(out + done, buffer_.data() + inBuffer, n);
                done += n;
                position_ += static_cast<off_t>(n);
                continue;
            }
            // Large reads go straight to the caller.
            const bool direct = size - done >= kBufferSize;
            const ssize_t n = direct ? readAt(out + done, size - done, position_)
                                     : readAt(buffer_.data(), kBufferSize, position_);
            if (n < 0)
                return done > 0 ? static_cast<mpg123_ssize_t>(done) : -1;
            if (n == 0)
                break;
            if (direct) {
                done += static_cast<size_t>(n);
                position_ += n;
            } else {
                bufferStart_ = position_;
                bufferLength_ = static_cast<size_t>(n);
            }
        }
        return static_cast<mpg123_ssize_t>(done);
    }

    off_t seek(off_t offset, int whence)
    {
        if (whence == SEEK_END) {
            const off_t end = ::lseek(fd_, offset, SEEK_END);
            if (end >= 0)
                position_ = end;
            return end;
        }
        const off_t target = (whence == SEEK_CUR ? position_ : 0) + offset;
        if ((whence != SEEK_SET && whence != SEEK_CUR) || target < 0) {
            errno = EINVAL;
            return -1;
        }
        position_ = target;
        return position_;
    }

    int fd_;
    off_t position_ = 0;
    std::array<uint8_t, kBufferSize> buffer_;
    off_t bufferStart_ = 0;
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

class MpegDecoder final : public ExactLengthDecoder {
  public:
    MpegDecoder(std::unique_ptr<MpegFile> file, Mpg123 handle, uint32_t rate, uint32_t channels, uint32_t type,
                uint64_t length)
        : file_(std::move(file)), handle_(std::move(handle)), rate_(rate), channels_(channels), type_(type)
    {
        setLength(length);
    }
    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return channels_; }
    uint32_t typeCode() const override { return type_; }

  private:
    size_t decode(float* out, size_t frames) override
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
        return mpg123_seek(handle_.get(), static_cast<off_t>(frame), SEEK_SET) == static_cast<off_t>(frame);
    }

    bool rewindSource() override
    {
        mpg123_close(handle_.get());
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        return file_->open(handle_.get()) == MPG123_OK
            && mpg123_getformat(handle_.get(), &rate, &channels, &encoding) == MPG123_OK;
    }

    // Declared first: the handle reads the file until it is deleted.
    std::unique_ptr<MpegFile> file_;
    Mpg123 handle_;
    uint32_t rate_;
    uint32_t channels_;
    uint32_t type_;
};

} // namespace

std::unique_ptr<Decoder> OpenMpegDecoder(const std::string& path, bool exactLength)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });

    auto file = std::make_unique<MpegFile>(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file->fd() < 0)
        return nullptr;
    const auto probe = ProbeMpegStream(file->fd());
    if (!probe)
        return nullptr;
    int error = MPG123_OK;
    Mpg123 mh(mpg123_new(nullptr, &error));
    if (!mh)
        return nullptr;
    // A LAME header that disagrees with the file gives delay and padding that
    // do not fit it, and the library then trims samples its count keeps: the
    // whole frames are played instead.
    const bool scan = exactLength && NeedsScan(*probe);
    const long gapless = scan && probe->vbr ? 0 : MPG123_GAPLESS;
    mpg123_param(mh.get(), MPG123_ADD_FLAGS, gapless | MPG123_QUIET | MPG123_SKIP_ID3V2, 0);
    if (!gapless)
        mpg123_param(mh.get(), MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    mpg123_format_none(mh.get());
    if (mpg123_format(mh.get(), static_cast<long>(probe->first.rate),
                      probe->first.channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_FLOAT_32)
            != MPG123_OK
        || file->open(mh.get()) != MPG123_OK)
        return nullptr;

    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(mh.get(), &rate, &channels, &encoding) != MPG123_OK
        || rate != static_cast<long>(probe->first.rate) || channels != static_cast<int>(probe->first.channels)
        || encoding != MPG123_ENC_FLOAT_32)
        return nullptr;
    if (scan && mpg123_scan(mh.get()) != MPG123_OK)
        return nullptr;
    off_t length = mpg123_length(mh.get());
    if (length < 0 && (mpg123_scan(mh.get()) != MPG123_OK || (length = mpg123_length(mh.get())) < 0))
        return nullptr;

    return std::make_unique<MpegDecoder>(std::move(file), std::move(mh), probe->first.rate, probe->first.channels,
                                         TypeForLayer(probe->first.layer), static_cast<uint64_t>(length));
}

} // namespace audio
