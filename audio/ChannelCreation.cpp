// The creation calls: each opens the file once, reads its header once, and
// makes a channel of the first of its decoders in the table that accepts the
// content.
#include "AudioLibrary.h"
#include "Library.h"
#include "audio/StreamChannels.h"
#include "audio/decoders/DecoderTable.h"

namespace audio {

namespace {

Handle Create(const std::string& path, ChannelKind kind, uint32_t flags, const DecoderOptions& options)
{
    return Library::Instance().addChannel(OpenFileByTrial(path, kind, options), kind, flags);
}

} // namespace

Handle openFileChannel(const std::string& path, uint64_t offset, uint64_t length, uint32_t flags)
{
    if (offset != 0 || length != 0)
        return 0;
    DecoderOptions options;
    options.exactLength = (flags & kExactLength) != 0;
    options.measureOnly = (flags & kMeasureOnly) != 0;
    return Create(path, ChannelKind::File, flags, options);
}

Handle openWmaChannel(const std::string& nameOrUrl, uint32_t flags)
{
    if (IsStreamAddress(nameOrUrl))
        return OpenStreamChannel(nameOrUrl, ChannelKind::Wma, flags);
    return Create(nameOrUrl, ChannelKind::Wma, flags, {});
}

Handle openModuleChannel(const std::string& path, uint64_t offset, uint64_t length, uint32_t flags, uint32_t rate)
{
    if (offset != 0 || length != 0)
        return 0;
    DecoderOptions options;
    options.rate = rate != 0 ? rate : kOutputRate;
    options.interpolate = (flags & kModuleInterpolate) != 0;
    return Create(path, ChannelKind::Module, flags, options);
}

Handle openMidiChannel(const std::string& path, uint64_t offset, uint64_t length, uint32_t flags, uint32_t rate)
{
    if (offset != 0 || length != 0)
        return 0;
    DecoderOptions options;
    options.rate = rate != 0 ? rate : kOutputRate;
    return Create(path, ChannelKind::Midi, flags, options);
}

} // namespace audio
