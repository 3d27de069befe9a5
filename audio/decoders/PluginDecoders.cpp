// The plugins' decoders as the program sees them. For files, a look at the
// source's first bytes decides whether the plugin is needed at all, so trying
// an MP3, a WAV or a module loads neither FFmpeg, FluidSynth, libFLAC nor
// libopusfile; a network
// stream loads FFmpeg once its kind is known to need it. A plugin that cannot
// be loaded makes its decoder refuse every source (the creation call gives
// 0); it never stops the program.
#include <cstring>

#include "audio/decoders/DecoderPlugins.h"
#include "audio/decoders/SourceHeader.h"
#include "audio/decoders/StreamDecoders.h"
#include "audio/plugins/PluginLibrary.h"

namespace audio {
namespace {

// The ASF header object's GUID, which every ASF file begins with.
constexpr char kAsfHeader[16] = {'\x30', '\x26', '\xB2', '\x75', '\x8E', '\x66', '\xCF', '\x11',
                                 '\xA6', '\xD9', '\x00', '\xAA', '\x00', '\x62', '\xCE', '\x6C'};

// A Standard MIDI File, or one wrapped in a RIFF RMID file.
bool IsMidi(const SourceHeader& header)
{
    return header.startsWith("MThd", 4) || (header.startsWith("RIFF", 4) && header.startsWith("RMID", 4, 8));
}

// An ADTS frame header at `offset` (sync word, layer 0) and its length.
size_t AdtsFrameAt(const SourceHeader& header, uint64_t offset)
{
    const uint8_t* h = header.at(offset, 7);
    if (!h || h[0] != 0xFF || (h[1] & 0xF6) != 0xF0 || ((h[2] >> 2) & 0x0F) > 12)
        return 0;
    const size_t length = (size_t{h[3] & 0x03u} << 11) | (size_t{h[4]} << 3) | (h[5] >> 5);
    return length >= 7 ? length : 0;
}

// Raw AAC: after any ID3v2 blocks, a run of ADTS frames each followed by the
// next (or the end of the source), as noise never holds.
bool IsAdts(const SourceHeader& header)
{
    constexpr int kRun = 3;
    if (!header.afterId3v2)
        return false;
    uint64_t offset = *header.afterId3v2;
    for (int frame = 0; frame < kRun; ++frame) {
        const size_t length = AdtsFrameAt(header, offset);
        if (length == 0)
            return false;
        offset += length;
        if (header.size && offset == *header.size)
            return true;
    }
    return true;
}

template <typename Entry>
Entry PluginEntry(const char* plugin, const char* entry)
{
    return reinterpret_cast<Entry>(LibrarySymbol(PluginPath(plugin), entry));
}

// A plugin's decoder with the source it reads, which it does not own.
template <typename Kind>
class SourceKeeping : public Kind {
  public:
    SourceKeeping(std::shared_ptr<ByteSource> source, Kind* decoder) : source_(std::move(source)), decoder_(decoder) {}
    uint32_t rate() const override { return decoder_->rate(); }
    uint32_t channels() const override { return decoder_->channels(); }
    uint32_t typeCode() const override { return decoder_->typeCode(); }
    uint32_t sourceBits() const override { return decoder_->sourceBits(); }
    size_t read(float* out, size_t frames) override { return decoder_->read(out, frames); }

  protected:
    // Declared first: the decoder reads the source until it is deleted.
    std::shared_ptr<ByteSource> source_;
    std::unique_ptr<Kind> decoder_;
};

class SourceKeepingDecoder final : public SourceKeeping<Decoder> {
  public:
    using SourceKeeping::SourceKeeping;
    uint64_t lengthFrames() const override { return decoder_->lengthFrames(); }
    bool seek(uint64_t frame) override { return decoder_->seek(frame); }
};

class SourceKeepingStreamDecoder final : public SourceKeeping<StreamDecoder> {
  public:
    using SourceKeeping::SourceKeeping;
    std::optional<std::string> takeTitle() override { return decoder_->takeTitle(); }
};

template <typename Keeping, typename Kind>
std::unique_ptr<Keeping> Kept(const std::shared_ptr<ByteSource>& source, Kind* decoder)
{
    if (!decoder)
        return nullptr;
    return std::make_unique<Keeping>(source, decoder);
}

} // namespace

std::unique_ptr<Decoder> OpenWmaDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header)
{
    if (!header.startsWith(kAsfHeader, sizeof kAsfHeader))
        return nullptr;
    const auto open = PluginEntry<WmaPluginEntry>(kWmaPlugin, kWmaPluginEntry);
    return open ? Kept<SourceKeepingDecoder>(source, open(source.get())) : nullptr;
}

std::unique_ptr<Decoder> OpenFlacDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                         bool measureOnly)
{
    const bool native = header.afterId3v2 && header.startsWith("fLaC", 4, *header.afterId3v2);
    if (!native && !header.firstOggPacketIs("\x7f" "FLAC", 5))
        return nullptr;
    const auto open = PluginEntry<FlacPluginEntry>(kFlacPlugin, kFlacPluginEntry);
    return open ? Kept<SourceKeepingDecoder>(source, open(source.get(), !native, measureOnly)) : nullptr;
}

std::unique_ptr<Decoder> OpenOpusDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                         bool measureOnly)
{
    if (!header.firstOggPacketIs("OpusHead", 8))
        return nullptr;
    const auto open = PluginEntry<OpusPluginEntry>(kOpusPlugin, kOpusPluginEntry);
    return open ? Kept<SourceKeepingDecoder>(source, open(source.get(), measureOnly)) : nullptr;
}

std::unique_ptr<Decoder> OpenMp4Decoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                        bool measureOnly)
{
    const bool adts = IsAdts(header);
    if (!adts && !header.startsWith("ftyp", 4, 4))
        return nullptr;
    const auto open = PluginEntry<Mp4PluginEntry>(kWmaPlugin, kMp4PluginEntry);
    return open ? Kept<SourceKeepingDecoder>(source, open(source.get(), adts, measureOnly)) : nullptr;
}

std::unique_ptr<Decoder> OpenMidiDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                         uint32_t rate)
{
    if (!IsMidi(header))
        return nullptr;
    const auto open = PluginEntry<MidiPluginEntry>(kMidiPlugin, kMidiPluginEntry);
    return open ? Kept<SourceKeepingDecoder>(source, open(source.get(), rate)) : nullptr;
}

std::unique_ptr<StreamDecoder> OpenPluginStreamDecoder(const std::shared_ptr<ByteSource>& source, uint64_t offset,
                                                       StreamKind kind)
{
    if (kind != StreamKind::Aac && kind != StreamKind::OggOpus && kind != StreamKind::Asf)
        return nullptr;
    const auto open = PluginEntry<StreamPluginEntry>(kWmaPlugin, kStreamPluginEntry);
    return open ? Kept<SourceKeepingStreamDecoder>(source, open(source.get(), offset, kind)) : nullptr;
}

} // namespace audio
