// Ogg Vorbis through libvorbisfile: exact totals and sample-exact seeking.
#include <vorbis/vorbisfile.h>

#include <algorithm>

#include "audio/AudioLibrary.h"
#include "audio/decoders/ExactLengthDecoder.h"

namespace audio {
namespace {

class VorbisDecoder final : public ExactLengthDecoder {
  public:
    ~VorbisDecoder() override
    {
        if (open_)
            ov_clear(&file_);
    }

    // In place: the decoder state points into itself and cannot be moved.
    bool open(const std::string& path)
    {
        path_ = path;
        open_ = ov_fopen(path.c_str(), &file_) == 0;
        const vorbis_info* info = open_ ? ov_info(&file_, 0) : nullptr;
        if (!info || !ov_seekable(&file_) || info->rate <= 0 || info->channels <= 0)
            return false;
        rate_ = static_cast<uint32_t>(info->rate);
        channels_ = static_cast<uint32_t>(info->channels);
        setLength(PlayableFrames());
        return true;
    }
    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return channels_; }
    uint32_t typeCode() const override { return kTypeOgg; }

  private:
    // A chained file plays up to the first link whose rate or channel count
    // differs from the first link's.
    uint64_t PlayableFrames()
    {
        uint64_t total = 0;
        const long links = ov_streams(&file_);
        for (long link = 0; link < links; ++link) {
            const vorbis_info* info = ov_info(&file_, static_cast<int>(link));
            if (!info || static_cast<uint32_t>(info->rate) != rate_ || static_cast<uint32_t>(info->channels) != channels_)
                break;
            const ogg_int64_t frames = ov_pcm_total(&file_, static_cast<int>(link));
            if (frames < 0)
                break;
            total += static_cast<uint64_t>(frames);
        }
        return total;
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

    bool rewindSource() override
    {
        if (open_)
            ov_clear(&file_);
        open_ = ov_fopen(path_.c_str(), &file_) == 0;
        return open_;
    }

    std::string path_;
    OggVorbis_File file_{};
    bool open_ = false;
    uint32_t rate_ = 0;
    uint32_t channels_ = 0;
};

} // namespace

std::unique_ptr<Decoder> OpenVorbisDecoder(const std::string& path)
{
    auto decoder = std::make_unique<VorbisDecoder>();
    if (!decoder->open(path))
        return nullptr;
    return decoder;
}

} // namespace audio
