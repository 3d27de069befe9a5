// WAV and AIFF through libsndfile, reading the source through its virtual
// I/O. The library reads many more formats (MP3 among them); only WAV, WAVEX
// and AIFF/AIFF-C containers are taken here.
#include <sndfile.h>

#include <cstdio>
#include <cstring>

#include "audio/AudioLibrary.h"
#include "audio/decoders/ExactLengthDecoder.h"
#include "audio/decoders/SourceHeader.h"

namespace audio {
namespace {

struct SndfileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using Sndfile = std::unique_ptr<SNDFILE, SndfileCloser>;

class SndfileReader {
  public:
    explicit SndfileReader(std::shared_ptr<ByteSource> source) : source_(std::move(source)), cursor_(*source_) {}

    Sndfile open(SF_INFO& info)
    {
        cursor_.seek(0);
        static SF_VIRTUAL_IO io = {&Length, &Seek, &Read, &Write, &Tell};
        return Sndfile(sf_open_virtual(&io, SFM_READ, &info, this));
    }

  private:
    static SndfileReader& Of(void* self) { return *static_cast<SndfileReader*>(self); }
    static sf_count_t Length(void* self) { return static_cast<sf_count_t>(Of(self).cursor_.size().value_or(0)); }
    static sf_count_t Seek(sf_count_t offset, int whence, void* self)
    {
        SourceCursor& c = Of(self).cursor_;
        const sf_count_t base = whence == SEEK_CUR ? static_cast<sf_count_t>(c.tell())
            : whence == SEEK_END                   ? Length(self)
                                                   : 0;
        if (base + offset < 0)
            return -1;
        c.seek(static_cast<uint64_t>(base + offset));
        return base + offset;
    }
    static sf_count_t Read(void* out, sf_count_t count, void* self)
    {
        return count > 0 ? static_cast<sf_count_t>(Of(self).cursor_.read(out, static_cast<size_t>(count))) : 0;
    }
    static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t Tell(void* self) { return static_cast<sf_count_t>(Of(self).cursor_.tell()); }

    std::shared_ptr<ByteSource> source_;
    SourceCursor cursor_;
};

class SndfileDecoder final : public ExactLengthDecoder {
  public:
    SndfileDecoder(std::unique_ptr<SndfileReader> reader, Sndfile file, const SF_INFO& info, uint32_t type)
        : reader_(std::move(reader)), file_(std::move(file)), rate_(static_cast<uint32_t>(info.samplerate)),
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
        file_.reset();
        SF_INFO info{};
        file_ = reader_->open(info);
        return file_ && static_cast<uint32_t>(info.channels) == channels_;
    }

    // Declared first: the file reads through it until it is closed.
    std::unique_ptr<SndfileReader> reader_;
    Sndfile file_;
    uint32_t rate_;
    uint32_t channels_;
    uint32_t type_;
};

// Only WAV and AIFF containers reach libsndfile: its readers of other formats
// are not wanted here (and its Ogg reader leaks on damaged files).
bool HasWavOrAiffSignature(const SourceHeader& header)
{
    const bool riff = header.startsWith("RIFF", 4) || header.startsWith("RIFX", 4);
    const bool form = header.startsWith("FORM", 4);
    return (riff && header.startsWith("WAVE", 4, 8))
        || (form && (header.startsWith("AIFF", 4, 8) || header.startsWith("AIFC", 4, 8)));
}

} // namespace

std::unique_ptr<Decoder> OpenSndfileDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header)
{
    if (!HasWavOrAiffSignature(header))
        return nullptr;
    auto reader = std::make_unique<SndfileReader>(source);
    SF_INFO info{};
    Sndfile file = reader->open(info);
    if (!file)
        return nullptr;
    const int major = info.format & SF_FORMAT_TYPEMASK;
    uint32_t type = 0;
    if (major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX)
        type = kTypeWav;
    else if (major == SF_FORMAT_AIFF)
        type = kTypeAiff;
    if (type == 0 || info.samplerate < static_cast<int>(kLowestSourceRate)
        || info.samplerate > static_cast<int>(kHighestSourceRate) || info.channels <= 0
        || info.frames < 0)
        return nullptr;
    return std::make_unique<SndfileDecoder>(std::move(reader), std::move(file), info, type);
}

} // namespace audio
