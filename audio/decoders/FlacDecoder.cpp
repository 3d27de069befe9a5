// FLAC, native or in Ogg, through libFLAC's stream decoder reading the
// source through its callbacks, in a plugin of its own. The length is the
// stream information's count when the file's tail bears it out (its last
// frame, or in Ogg its last page, ends there) or the last of its frames can
// be reached, else what decoding finds; seeking is libFLAC's, to the sample.
#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/AudioLibrary.h"
#include "audio/decoders/DecoderPlugins.h"
#include "audio/decoders/ExactLengthDecoder.h"
#include "audio/decoders/FlacFrameEnd.h"
#include "audio/decoders/OggPages.h"
#include "audio/decoders/PendingSamples.h"

namespace audio {
namespace {

constexpr uint32_t kMostChannels = 8;

class FlacDecoder final : public ExactLengthDecoder {
  public:
    FlacDecoder(ByteSource& source, bool ogg) : cursor_(source), ogg_(ogg) {}
    ~FlacDecoder() override
    {
        if (flac_)
            FLAC__stream_decoder_delete(flac_);
    }
    FlacDecoder(const FlacDecoder&) = delete;
    FlacDecoder& operator=(const FlacDecoder&) = delete;

    bool open(bool measureOnly)
    {
        if (measureOnly && !ogg_ && ReadStreamInfo() && claimed_ > 0 && TailEndsAtClaim()) {
            deferSetUp();
            setLength(claimed_);
            return true;
        }
        rate_ = 0;
        if (!restart() || !FLAC__stream_decoder_process_until_end_of_metadata(flac_) || rate_ == 0)
            return false;
        const uint64_t borne = ogg_ ? LastPageFrames() : (claimed_ > 0 && TailEndsAtClaim() ? claimed_ : 0);
        if (borne > 0 && (claimed_ == 0 || borne == claimed_)) {
            setLength(borne);
            return true;
        }
        setLength(ReachableLength());
        return lengthFrames() > 0 && restart() && FLAC__stream_decoder_process_until_end_of_metadata(flac_);
    }
    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return channels_; }
    uint32_t typeCode() const override { return kTypeFlac; }
    uint32_t sourceBits() const override { return bits_; }

  private:
    static FlacDecoder& Of(void* self) { return *static_cast<FlacDecoder*>(self); }

    static FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte out[], size_t* bytes, void* self)
    {
        *bytes = *bytes > 0 ? Of(self).cursor_.read(out, *bytes) : 0;
        return *bytes > 0 ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    }
    static FLAC__StreamDecoderSeekStatus Seek(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* self)
    {
        Of(self).cursor_.seek(offset);
        return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
    }
    static FLAC__StreamDecoderTellStatus Tell(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* self)
    {
        *offset = Of(self).cursor_.tell();
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }
    static FLAC__StreamDecoderLengthStatus Length(const FLAC__StreamDecoder*, FLAC__uint64* length, void* self)
    {
        const auto size = Of(self).cursor_.size();
        *length = size.value_or(0);
        return size ? FLAC__STREAM_DECODER_LENGTH_STATUS_OK : FLAC__STREAM_DECODER_LENGTH_STATUS_UNSUPPORTED;
    }
    static FLAC__bool Eof(const FLAC__StreamDecoder*, void* self)
    {
        const SourceCursor& c = Of(self).cursor_;
        return c.tell() >= c.size().value_or(0);
    }
    static void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* self)
    {
        if (block->type != FLAC__METADATA_TYPE_STREAMINFO || Of(self).rate_ != 0)
            return;
        Of(self).TakeStreamInfo(block->data.stream_info);
    }
    // False, taking nothing, for a rate or channel count beyond any.
    bool TakeStreamInfo(const FLAC__StreamMetadata_StreamInfo& info)
    {
        if (info.sample_rate < kLowestSourceRate || info.sample_rate > kHighestSourceRate || info.channels == 0
            || info.channels > kMostChannels)
            return false;
        rate_ = info.sample_rate;
        channels_ = info.channels;
        claimed_ = info.total_samples;
        bits_ = info.bits_per_sample;
        fixedBlock_ = info.min_blocksize == info.max_blocksize ? info.max_blocksize : 0;
        maxFrameBytes_ = info.max_framesize;
        return true;
    }
    static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                const FLAC__int32* const planes[], void* self)
    {
        Of(self).append(*frame, planes);
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

    // A frame of other channels than the stream's keeps its first ones (the
    // rest silent), scaled by its own sample size.
    void append(const FLAC__Frame& frame, const FLAC__int32* const planes[])
    {
        const uint32_t bits = std::clamp<uint32_t>(frame.header.bits_per_sample, 4, 32);
        const float scale = 1.0f / static_cast<float>(uint64_t{1} << (bits - 1));
        const uint32_t present = std::min(frame.header.channels, channels_);
        const size_t at = pending_.size();
        pending_.resize(at + size_t{frame.header.blocksize} * channels_, 0.0f);
        for (uint32_t i = 0; i < frame.header.blocksize; ++i)
            for (uint32_t c = 0; c < present; ++c)
                pending_[at + size_t{i} * channels_ + c] = static_cast<float>(planes[c][i]) * scale;
    }

    bool restart()
    {
        if (flac_)
            FLAC__stream_decoder_delete(flac_);
        flac_ = FLAC__stream_decoder_new();
        if (!flac_)
            return false;
        cursor_.seek(0);
        pending_.clear();
        pendingAt_ = 0;
        const auto init = ogg_ ? FLAC__stream_decoder_init_ogg_stream : FLAC__stream_decoder_init_stream;
        return init(flac_, &Read, &Seek, &Tell, &Length, &Eof, &Write, &Metadata, &Error, this)
            == FLAC__STREAM_DECODER_INIT_STATUS_OK;
    }

    // A native stream's information block, read beside libFLAC, whose set-up
    // a file opened to be measured does without when its tail bears the
    // count out. The metadata blocks are walked by their headers, so a
    // cover's bytes are never read.
    bool ReadStreamInfo()
    {
        constexpr size_t kInfoBytes = 34;
        uint8_t head[8 + kInfoBytes];
        ByteSource& source = cursor_.source();
        const uint64_t size = cursor_.size().value_or(0);
        if (source.readAt(0, head, sizeof head) != sizeof head || std::memcmp(head, "fLaC", 4) != 0
            || (head[4] & 0x7F) != 0 || (uint32_t{head[5]} << 16 | head[6] << 8 | head[7]) != kInfoBytes)
            return false;
        // The blocks must end within the file, as libFLAC needs them to.
        uint64_t at = 8 + kInfoBytes;
        for (bool last = (head[4] & 0x80) != 0; !last;) {
            uint8_t block[4];
            if (source.readAt(at, block, 4) != 4 || (block[0] & 0x7F) == 0x7F)
                return false;
            last = (block[0] & 0x80) != 0;
            at += 4 + (uint32_t{block[1]} << 16 | block[2] << 8 | block[3]);
            if (at > size)
                return false;
        }
        const uint8_t* p = head + 8;
        FLAC__StreamMetadata_StreamInfo info{};
        info.min_blocksize = uint32_t{p[0]} << 8 | p[1];
        info.max_blocksize = uint32_t{p[2]} << 8 | p[3];
        info.max_framesize = uint32_t{p[7]} << 16 | p[8] << 8 | p[9];
        info.sample_rate = uint32_t{p[10]} << 12 | p[11] << 4 | p[12] >> 4;
        info.channels = ((p[12] >> 1) & 0x07) + 1u;
        info.bits_per_sample = ((p[12] & 0x01) << 4 | p[13] >> 4) + 1u;
        info.total_samples = uint64_t{p[13] & 0x0Fu} << 32 | uint32_t{p[14]} << 24 | p[15] << 16 | p[16] << 8 | p[17];
        return TakeStreamInfo(info);
    }

    // A measured file's libFLAC, set up at its first use.
    bool setUp() override { return restart() && FLAC__stream_decoder_process_until_end_of_metadata(flac_); }

    // The file ends in an intact frame whose samples end at the claimed
    // count. Read beside the decoder, whose position stays where it is.
    bool TailEndsAtClaim()
    {
        constexpr uint64_t kUnknownFrameTail = 262144;
        const uint64_t size = cursor_.size().value_or(0);
        const uint64_t tail = std::min(size, maxFrameBytes_ > 0 ? maxFrameBytes_ : kUnknownFrameTail);
        std::vector<uint8_t> bytes(tail);
        if (tail == 0 || cursor_.source().readAt(size - tail, bytes.data(), tail) != tail)
            return false;
        return FlacFrameEnd(bytes.data(), bytes.size(), fixedBlock_) == claimed_;
    }

    // In Ogg, the position of the stream's last intact page: its checksum
    // holds the frames it ends with. 0 when there is none. It stands in for
    // the count that a stream written in one pass leaves at 0.
    uint64_t LastPageFrames()
    {
        uint8_t serial[4];
        const auto size = cursor_.size();
        if (!size || cursor_.source().readAt(14, serial, 4) != 4)
            return 0;
        const auto last = LastIntactOggPage(cursor_.source(), *size);
        const uint32_t first = serial[0] | serial[1] << 8 | serial[2] << 16 | uint32_t{serial[3]} << 24;
        return last && last->serial == first && last->granule > 0 ? static_cast<uint64_t>(last->granule) : 0;
    }

    // The claimed count when its last sample decodes, else the samples that
    // decoding from the start delivers.
    uint64_t ReachableLength()
    {
        pending_.clear();
        if (claimed_ > 0 && FLAC__stream_decoder_seek_absolute(flac_, claimed_ - 1) && !pending_.empty())
            return claimed_;
        if (!restart())
            return 0;
        uint64_t frames = 0;
        std::vector<float> scratch(4096 * size_t{channels_});
        for (size_t got; (got = decode(scratch.data(), 4096)) > 0;)
            frames += got;
        return frames;
    }

    size_t decode(float* out, size_t frames) override
    {
        while (pendingAt_ >= pending_.size()) {
            pending_.clear();
            pendingAt_ = 0;
            const auto state = FLAC__stream_decoder_get_state(flac_);
            if (state == FLAC__STREAM_DECODER_END_OF_STREAM || state == FLAC__STREAM_DECODER_ABORTED
                || state == FLAC__STREAM_DECODER_SEEK_ERROR || !FLAC__stream_decoder_process_single(flac_))
                return 0;
            if (pending_.empty() && FLAC__stream_decoder_get_state(flac_) == FLAC__STREAM_DECODER_END_OF_STREAM)
                return 0;
        }
        return TakePending(pending_, pendingAt_, out, frames, channels_);
    }

    bool seekSource(uint64_t frame) override
    {
        pending_.clear();
        pendingAt_ = 0;
        return FLAC__stream_decoder_seek_absolute(flac_, frame);
    }

    bool rewindSource() override { return restart() && FLAC__stream_decoder_process_until_end_of_metadata(flac_); }

    SourceCursor cursor_;
    bool ogg_;
    FLAC__StreamDecoder* flac_ = nullptr;
    uint32_t rate_ = 0;
    uint32_t channels_ = 0;
    uint64_t claimed_ = 0;
    uint32_t bits_ = 0;
    uint32_t fixedBlock_ = 0;
    uint64_t maxFrameBytes_ = 0;
    std::vector<float> pending_;
    size_t pendingAt_ = 0;
};

} // namespace
} // namespace audio

NILO_PLUGIN_ENTRY audio::Decoder* nilo_open_flac_decoder_v2(audio::ByteSource* source, bool ogg, bool measureOnly)
{
    if (!source)
        return nullptr;
    auto decoder = std::make_unique<audio::FlacDecoder>(*source, ogg);
    return decoder->open(measureOnly) ? decoder.release() : nullptr;
}
