// Ogg Vorbis streams through libvorbisfile on callbacks that cannot seek, so
// that the library reads the bytes once, in order, and follows chained links
// itself. A stream server starts a new link, with new comments, when the
// title changes: links of the first link's rate and channel count play on,
// any other ends the stream.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <utility>

#include "audio/AudioLibrary.h"
#include "audio/decoders/StreamDecoders.h"

namespace audio {
namespace {

// Holes (lost or damaged pages) passed over in one read; each takes bytes.
constexpr int kMostHoles = 256;

// "Artist - Title", the title alone, or nothing without a TITLE comment.
std::optional<std::string> LinkTitle(vorbis_comment* comments)
{
    const char* title = comments ? vorbis_comment_query(comments, "TITLE", 0) : nullptr;
    if (!title)
        return std::nullopt;
    const char* artist = vorbis_comment_query(comments, "ARTIST", 0);
    return artist ? std::string(artist) + " - " + title : std::string(title);
}

class VorbisStreamDecoder final : public StreamDecoder {
  public:
    VorbisStreamDecoder(std::shared_ptr<ByteSource> source, uint64_t offset)
        : source_(std::move(source)), position_(offset)
    {
    }
    ~VorbisStreamDecoder() override
    {
        if (open_)
            ov_clear(&file_);
    }

    // In place: the decoder state points into itself and cannot be moved.
    bool open()
    {
        const ov_callbacks callbacks = {&Read, nullptr, nullptr, nullptr};
        open_ = ov_open_callbacks(this, &file_, nullptr, 0, callbacks) == 0;
        const vorbis_info* info = open_ ? ov_info(&file_, -1) : nullptr;
        if (!info || info->rate < static_cast<long>(kLowestSourceRate)
            || info->rate > static_cast<long>(kHighestSourceRate) || info->channels <= 0)
            return false;
        rate_ = static_cast<uint32_t>(info->rate);
        channels_ = static_cast<uint32_t>(info->channels);
        linkTitle_ = LinkTitle(ov_comment(&file_, -1));
        pendingTitle_ = linkTitle_;
        return true;
    }
    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return channels_; }
    uint32_t typeCode() const override { return kTypeOgg; }

    size_t read(float* out, size_t frames) override
    {
        if (frames == 0)
            return 0;
        for (int holes = 0; !ended_ && holes < kMostHoles;) {
            float** planes = nullptr;
            int link = 0;
            const long got = ov_read_float(&file_, &planes, static_cast<int>(std::min<size_t>(frames, 1 << 16)), &link);
            if (got == OV_HOLE) {
                ++holes;
                continue;
            }
            if (got <= 0 || (link != link_ && !enterLink(link)))
                break;
            for (long i = 0; i < got; ++i)
                for (uint32_t c = 0; c < channels_; ++c)
                    *out++ = planes[c][i];
            withoutSound_ = 0;
            return static_cast<size_t>(got);
        }
        ended_ = true;
        return 0;
    }

    std::optional<std::string> takeTitle() override { return std::exchange(pendingTitle_, std::nullopt); }

  private:
    static size_t Read(void* out, size_t size, size_t count, void* self)
    {
        auto& d = *static_cast<VorbisStreamDecoder*>(self);
        if (size == 0 || d.withoutSound_ > kStreamBytesWithoutSound)
            return 0;
        const size_t got = d.source_->readAt(d.position_, out, size * count);
        d.position_ += got;
        d.withoutSound_ += got;
        return got / size;
    }

    // The library has begun a new link; false when it does not continue the
    // stream.
    bool enterLink(int link)
    {
        link_ = link;
        const vorbis_info* info = ov_info(&file_, -1);
        if (!info || info->rate != static_cast<long>(rate_) || info->channels != static_cast<int>(channels_))
            return false;
        auto title = LinkTitle(ov_comment(&file_, -1));
        if (title && title != linkTitle_)
            pendingTitle_ = title;
        linkTitle_ = std::move(title);
        return true;
    }

    std::shared_ptr<ByteSource> source_;
    uint64_t position_;
    uint64_t withoutSound_ = 0;
    OggVorbis_File file_{};
    bool open_ = false;
    bool ended_ = false;
    uint32_t rate_ = 0;
    uint32_t channels_ = 0;
    int link_ = 0;
    std::optional<std::string> linkTitle_;
    std::optional<std::string> pendingTitle_;
};

} // namespace

std::unique_ptr<StreamDecoder> OpenVorbisStreamDecoder(const std::shared_ptr<ByteSource>& source, uint64_t offset)
{
    auto decoder = std::make_unique<VorbisStreamDecoder>(source, offset);
    if (!decoder->open())
        return nullptr;
    return decoder;
}

} // namespace audio
