// Ogg Opus through libopusfile reading the source through its callbacks, in
// a plugin of its own: 48 kHz output, the length libopusfile gives (pre-skip
// and end trimming applied) and its sample-exact seeking. A file opened only
// to be measured is measured from its first and last pages where it can be,
// and libopusfile, whose open sets up a decoder, opens it at the first read.
#include <opus/opusfile.h>

#include <algorithm>
#include <cstdio>

#include "audio/AudioLibrary.h"
#include "audio/decoders/DecoderPlugins.h"
#include "audio/decoders/ExactLengthDecoder.h"
#include "audio/decoders/OggOpusLength.h"

namespace audio {
namespace {

constexpr uint32_t kOpusRate = 48000;
// An Opus packet holds at most 120 ms and takes at least a byte.
constexpr uint64_t kMostFramesPerByte = kOpusRate * 120 / 1000;

class OpusDecoder final : public ExactLengthDecoder {
  public:
    explicit OpusDecoder(ByteSource& source) : cursor_(source) {}
    ~OpusDecoder() override { close(); }
    OpusDecoder(const OpusDecoder&) = delete;
    OpusDecoder& operator=(const OpusDecoder&) = delete;

    bool open(bool measureOnly)
    {
        if (const auto measured = measureOnly ? MeasureOggOpus(cursor_.source()) : std::nullopt) {
            deferSetUp();
            channels_ = measured->channels;
            setLength(std::min(measured->frames, cursor_.size().value_or(0) * kMostFramesPerByte));
            return channels_ > 0 && lengthFrames() > 0;
        }
        if (!reopen() || !op_seekable(file_))
            return false;
        const OpusHead* head = op_head(file_, 0);
        const ogg_int64_t total = op_pcm_total(file_, -1);
        if (!head || head->channel_count <= 0 || total <= 0)
            return false;
        channels_ = static_cast<uint32_t>(head->channel_count);
        setLength(std::min(static_cast<uint64_t>(total), cursor_.size().value_or(0) * kMostFramesPerByte));
        return true;
    }
    uint32_t rate() const override { return kOpusRate; }
    uint32_t channels() const override { return channels_; }
    uint32_t typeCode() const override { return kTypeOpus; }

  private:
    static SourceCursor& Of(void* self) { return static_cast<OpusDecoder*>(self)->cursor_; }
    static int Read(void* self, unsigned char* out, int size)
    {
        return size > 0 ? static_cast<int>(Of(self).read(out, static_cast<size_t>(size))) : 0;
    }
    static int Seek(void* self, opus_int64 offset, int whence)
    {
        SourceCursor& c = Of(self);
        const opus_int64 base = whence == SEEK_CUR ? static_cast<opus_int64>(c.tell())
            : whence == SEEK_END ? static_cast<opus_int64>(c.size().value_or(0))
                                 : 0;
        if (base + offset < 0)
            return -1;
        c.seek(static_cast<uint64_t>(base + offset));
        return 0;
    }
    static opus_int64 Tell(void* self) { return static_cast<opus_int64>(Of(self).tell()); }

    void close()
    {
        if (file_)
            op_free(file_);
        file_ = nullptr;
    }

    bool reopen()
    {
        close();
        cursor_.seek(0);
        const OpusFileCallbacks callbacks = {&Read, &Seek, &Tell, nullptr};
        file_ = op_open_callbacks(this, &callbacks, nullptr, 0, nullptr);
        return file_ != nullptr;
    }

    // A measured file's libopusfile, opened at its first use; false when
    // it cannot be or finds other channels than the measure.
    bool setUp() override { return reopen() && op_channel_count(file_, 0) == static_cast<int>(channels_); }

    size_t decode(float* out, size_t frames) override
    {
        // Holes in the data are skipped; each consumes input, but the count
        // is bounded anyway.
        for (int attempt = 0; attempt < 64; ++attempt) {
            int link = 0;
            const int room = static_cast<int>(std::min<size_t>(frames, 1 << 16) * channels_);
            const int got = op_read_float(file_, out, room, &link);
            if (got == OP_HOLE)
                continue;
            if (got <= 0)
                return 0;
            // A link of another channel count ends what plays.
            if (op_channel_count(file_, link) != static_cast<int>(channels_))
                return 0;
            return static_cast<size_t>(got);
        }
        return 0;
    }

    bool seekSource(uint64_t frame) override { return op_pcm_seek(file_, static_cast<ogg_int64_t>(frame)) == 0; }
    bool rewindSource() override { return reopen(); }

    SourceCursor cursor_;
    OggOpusFile* file_ = nullptr;
    uint32_t channels_ = 0;
};

} // namespace
} // namespace audio

NILO_PLUGIN_ENTRY audio::Decoder* nilo_open_opus_decoder_v2(audio::ByteSource* source, bool measureOnly)
{
    if (!source)
        return nullptr;
    auto decoder = std::make_unique<audio::OpusDecoder>(*source);
    return decoder->open(measureOnly) ? decoder.release() : nullptr;
}
