#include "audio/decoders/DecoderTable.h"

#include "audio/sources/FileByteSource.h"

namespace audio {
namespace {

using Source = std::shared_ptr<ByteSource>;

const DecoderEntry kTable[] = {
    {"mpeg", ChannelKind::File,
     [](const Source& s, const SourceHeader& h, const DecoderOptions& o) { return OpenMpegDecoder(s, h, o.exactLength); }},
    {"sndfile", ChannelKind::File,
     [](const Source& s, const SourceHeader& h, const DecoderOptions&) { return OpenSndfileDecoder(s, h); }},
    {"vorbis", ChannelKind::File,
     [](const Source& s, const SourceHeader& h, const DecoderOptions&) { return OpenVorbisDecoder(s, h); }},
    {"wma", ChannelKind::Wma,
     [](const Source& s, const SourceHeader& h, const DecoderOptions&) { return OpenWmaDecoder(s, h); }},
    {"module", ChannelKind::Module,
     [](const Source& s, const SourceHeader& h, const DecoderOptions& o) {
         return OpenModuleDecoder(s, h, o.rate, o.interpolate);
     }},
    {"midi", ChannelKind::Midi,
     [](const Source& s, const SourceHeader& h, const DecoderOptions& o) { return OpenMidiDecoder(s, h, o.rate); }},
    {"flac", ChannelKind::File,
     [](const Source& s, const SourceHeader& h, const DecoderOptions& o) {
         return OpenFlacDecoder(s, h, o.measureOnly);
     }},
    {"opus", ChannelKind::File,
     [](const Source& s, const SourceHeader& h, const DecoderOptions& o) {
         return OpenOpusDecoder(s, h, o.measureOnly);
     }},
    {"mp4", ChannelKind::File,
     [](const Source& s, const SourceHeader& h, const DecoderOptions& o) {
         return OpenMp4Decoder(s, h, o.measureOnly);
     }},
};

} // namespace

std::span<const DecoderEntry> DecoderTable()
{
    return kTable;
}

const DecoderEntry* FindDecoder(const std::string& name)
{
    for (const DecoderEntry& entry : kTable)
        if (name == entry.name)
            return &entry;
    return nullptr;
}

std::unique_ptr<Decoder> OpenByTrial(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                     ChannelKind kind, const DecoderOptions& options, const DecoderEntry** taken)
{
    for (const DecoderEntry& entry : kTable) {
        if (kind != ChannelKind::None && entry.kind != kind)
            continue;
        if (auto decoder = entry.open(source, header, options)) {
            if (taken)
                *taken = &entry;
            return decoder;
        }
    }
    if (taken)
        *taken = nullptr;
    return nullptr;
}

std::unique_ptr<Decoder> OpenFileByTrial(const std::string& path, ChannelKind kind, const DecoderOptions& options,
                                         const DecoderEntry** taken)
{
    if (taken)
        *taken = nullptr;
    std::shared_ptr<ByteSource> source = FileByteSource::open(path);
    if (!source)
        return nullptr;
    const SourceHeader header = ReadSourceHeader(*source);
    return OpenByTrial(source, header, kind, options, taken);
}

std::unique_ptr<Decoder> OpenFileWith(const DecoderEntry& entry, const std::string& path, const DecoderOptions& options)
{
    std::shared_ptr<ByteSource> source = FileByteSource::open(path);
    if (!source)
        return nullptr;
    return entry.open(source, ReadSourceHeader(*source), options);
}

} // namespace audio
