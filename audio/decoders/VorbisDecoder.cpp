// Ogg Vorbis through libvorbisfile, reading the source through its
// callbacks: exact totals and sample-exact seeking.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <vector>

#include "audio/AudioLibrary.h"
#include "audio/decoders/ExactLengthDecoder.h"
#include "audio/decoders/OggPages.h"
#include "audio/decoders/SourceHeader.h"

namespace audio {
namespace {

// A Vorbis packet gives at most half the largest block (8192) and takes at
// least its lacing byte: no byte of a file carries more frames than that.
constexpr uint64_t kMostFramesPerPacket = 4096;
constexpr uint64_t kMostFramesPerByte = kMostFramesPerPacket;

class VorbisDecoder final : public ExactLengthDecoder {
  public:
    explicit VorbisDecoder(std::shared_ptr<ByteSource> source) : source_(std::move(source)), cursor_(*source_) {}
    ~VorbisDecoder() override
    {
        if (open_)
            ov_clear(&file_);
    }

    // In place: the decoder state points into itself and cannot be moved.
    bool open()
    {
        end_ = EndOfSoundLinks();
        if (!reopen())
            return false;
        const vorbis_info* info = ov_info(&file_, 0);
        if (!info || !ov_seekable(&file_) || info->rate < static_cast<long>(kLowestSourceRate)
            || info->rate > static_cast<long>(kHighestSourceRate) || info->channels <= 0)
            return false;
        rate_ = static_cast<uint32_t>(info->rate);
        channels_ = static_cast<uint32_t>(info->channels);
        setLength(PlayableFrames());
        return ov_pcm_seek(&file_, 0) == 0 || rewindSource();
    }
    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return channels_; }
    uint32_t typeCode() const override { return kTypeOgg; }

  private:
    static VorbisDecoder& Of(void* self) { return *static_cast<VorbisDecoder*>(self); }
    static size_t Read(void* out, size_t size, size_t count, void* self)
    {
        SourceCursor& c = Of(self).cursor_;
        const uint64_t left = Of(self).end_ > c.tell() ? Of(self).end_ - c.tell() : 0;
        return size == 0 ? 0 : c.read(out, static_cast<size_t>(std::min<uint64_t>(size * count, left))) / size;
    }
    static int Seek(void* self, ogg_int64_t offset, int whence)
    {
        SourceCursor& c = Of(self).cursor_;
        const ogg_int64_t base = whence == SEEK_CUR ? static_cast<ogg_int64_t>(c.tell())
            : whence == SEEK_END ? static_cast<ogg_int64_t>(Of(self).end_)
                                 : 0;
        if (base + offset < 0)
            return -1;
        c.seek(static_cast<uint64_t>(base + offset));
        return 0;
    }
    static long Tell(void* self) { return static_cast<long>(Of(self).cursor_.tell()); }

    // Where the first link whose headers do not open ends the source. The
    // library's own open of a chained source loses memory on such a link,
    // so it never sees one: each is tried alone first.
    uint64_t EndOfSoundLinks()
    {
        const uint64_t size = source_->size().value_or(0);
        for (const uint64_t start : OggLinkStarts(*source_)) {
            SourceCursor link(*source_, start);
            std::swap(cursor_, link);
            end_ = size - start;
            OggVorbis_File probe{};
            const ov_callbacks callbacks = {&Read, nullptr, nullptr, nullptr};
            const bool opens = ov_test_callbacks(this, &probe, nullptr, 0, callbacks) == 0;
            if (opens)
                ov_clear(&probe);
            std::swap(cursor_, link);
            if (!opens)
                return start;
        }
        return size;
    }

    bool reopen()
    {
        if (open_)
            ov_clear(&file_);
        cursor_.seek(0);
        const ov_callbacks callbacks = {&Read, &Seek, nullptr, &Tell};
        open_ = ov_open_callbacks(this, &file_, nullptr, 0, callbacks) == 0;
        return open_;
    }

    // A chained file plays up to the first link whose rate or channel count
    // differs from the first link's. The last page's position is a claim the
    // data must bear out.
    uint64_t PlayableFrames()
    {
        uint64_t total = 0;
        const long links = ov_streams(&file_);
        long link = 0;
        for (; link < links; ++link) {
            const vorbis_info* info = ov_info(&file_, static_cast<int>(link));
            if (!info || static_cast<uint32_t>(info->rate) != rate_ || static_cast<uint32_t>(info->channels) != channels_)
                break;
            const ogg_int64_t frames = ov_pcm_total(&file_, static_cast<int>(link));
            if (frames < 0)
                break;
            total += static_cast<uint64_t>(frames);
        }
        if (link == links)
            total = CheckedEnd(total);
        return std::min(total, end_ * kMostFramesPerByte);
    }

    // The end that decoding reaches, when the last page claims more frames
    // than its packets can hold.
    uint64_t CheckedEnd(uint64_t claimed)
    {
        const auto last = ReadLastOggPages(*source_, end_);
        if (!last || last->lastGranule - last->previousGranule <= last->lastPackets * kMostFramesPerPacket)
            return claimed;
        const uint64_t excess = last->lastGranule - last->previousGranule;
        const uint64_t from = claimed > excess ? claimed - excess : 0;
        if (ov_pcm_seek(&file_, static_cast<ogg_int64_t>(from)) != 0)
            return from;
        uint64_t decoded = 0;
        std::vector<float> scratch(4096 * channels_);
        const uint64_t most = last->lastPackets * kMostFramesPerPacket;
        for (size_t got; decoded <= most && (got = decode(scratch.data(), 4096)) > 0;)
            decoded += got;
        return from + std::min(decoded, most);
    }

    size_t decode(float* out, size_t frames) override
    {
        // Holes in the data are skipped; each one consumes input, but the
        // count is bounded anyway.
        for (int attempt = 0; attempt < 64; ++attempt) {
            float** planes = nullptr;
            int link = 0;
            const long got = ov_read_float(&file_, &planes, static_cast<int>(std::min<size_t>(frames, 1 << 20)), &link);
            if (got == OV_HOLE)
                continue;
            if (got <= 0)
                return 0;
            const vorbis_info* info = ov_info(&file_, link);
            if (!info || static_cast<uint32_t>(info->channels) != channels_)
                return 0;
            for (long i = 0; i < got; ++i)
                for (uint32_t c = 0; c < channels_; ++c)
                    *out++ = planes[c][i];
            return static_cast<size_t>(got);
        }
        return 0;
    }

    bool seekSource(uint64_t frame) override { return ov_pcm_seek(&file_, static_cast<ogg_int64_t>(frame)) == 0; }

    bool rewindSource() override { return reopen(); }

    std::shared_ptr<ByteSource> source_;
    SourceCursor cursor_;
    uint64_t end_ = 0;
    OggVorbis_File file_{};
    bool open_ = false;
    uint32_t rate_ = 0;
    uint32_t channels_ = 0;
};

} // namespace

std::unique_ptr<Decoder> OpenVorbisDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header)
{
    // Opus and FLAC in Ogg are later decoders': walking their pages here
    // would read the whole file for nothing.
    if (!header.startsWith("OggS", 4) || header.firstOggPacketIs("OpusHead", 8)
        || header.firstOggPacketIs("\x7f" "FLAC", 5))
        return nullptr;
    auto decoder = std::make_unique<VorbisDecoder>(source);
    if (!decoder->open())
        return nullptr;
    return decoder;
}

} // namespace audio
