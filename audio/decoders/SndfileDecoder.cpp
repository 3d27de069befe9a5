// WAV and AIFF through libsndfile. The library reads many more formats (MP3
// among them); only WAV, WAVEX and AIFF/AIFF-C containers are taken here.
#include <sndfile.h>

#include <cstdio>
#include <cstring>

#include "audio/AudioLibrary.h"
#include "audio/decoders/ExactLengthDecoder.h"

namespace audio {
namespace {

struct SndfileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using Sndfile = std::unique_ptr<SNDFILE, SndfileCloser>;

class SndfileDecoder final : public ExactLengthDecoder {
  public:
    SndfileDecoder(std::string path, Sndfile file, const SF_INFO& info, uint32_t type)
        : path_(std::move(path)), file_(std::move(file)), rate_(static_cast<uint32_t>(info.samplerate)),
          channels_(static_cast<uint32_t>(info.channels)), type_(type)
    {
        setLength(static_cast<uint64_t>(info.frames));
    }
    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return channels_; }
    uint32_t typeCode() const override { return type_; }

  private:
    size_t decode(float* out, size_t frames) override
    {
        if (!file_)
            return 0;
        const sf_count_t got = sf_readf_float(file_.get(), out, static_cast<sf_count_t>(frames));
        return got > 0 ? static_cast<size_t>(got) : 0;
    }

    bool seekSource(uint64_t frame) override
    {
        return file_ && sf_seek(file_.get(), static_cast<sf_count_t>(frame), SEEK_SET) == static_cast<sf_count_t>(frame);
    }

    bool rewindSource() override
    {
        SF_INFO info{};
        file_.reset(sf_open(path_.c_str(), SFM_READ, &info));
        return file_ && static_cast<uint32_t>(info.channels) == channels_;
    }

    std::string path_;
    Sndfile file_;
    uint32_t rate_;
    uint32_t channels_;
    uint32_t type_;
};

// Only WAV and AIFF containers reach libsndfile: its readers of other formats
// are not wanted here (and its Ogg reader leaks on damaged files).
bool HasWavOrAiffSignature(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char head[12] = {};
    const bool whole = std::fread(head, 1, sizeof head, f) == sizeof head;
    std::fclose(f);
    const bool riff = std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RIFX", 4) == 0;
    const bool form = std::memcmp(head, "FORM", 4) == 0;
    return whole
        && ((riff && std::memcmp(head + 8, "WAVE", 4) == 0)
            || (form && (std::memcmp(head + 8, "AIFF", 4) == 0 || std::memcmp(head + 8, "AIFC", 4) == 0)));
}

} // namespace

std::unique_ptr<Decoder> OpenSndfileDecoder(const std::string& path)
{
    if (!HasWavOrAiffSignature(path))
        return nullptr;
    SF_INFO info{};
    Sndfile file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file)
        return nullptr;
    const int major = info.format & SF_FORMAT_TYPEMASK;
    uint32_t type = 0;
    if (major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX)
        type = kTypeWav;
    else if (major == SF_FORMAT_AIFF)
        type = kTypeAiff;
    if (type == 0 || info.samplerate <= 0 || info.channels <= 0 || info.frames < 0)
        return nullptr;
    return std::make_unique<SndfileDecoder>(path, std::move(file), info, type);
}

} // namespace audio
