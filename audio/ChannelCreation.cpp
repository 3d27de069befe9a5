// The creation calls: each tries its decoders and makes a channel of the
// first that accepts the content.
#include "AudioLibrary.h"
#include "Library.h"

namespace audio {

namespace {

uint32_t RateOrOutput(uint32_t rate) { return rate != 0 ? rate : kOutputRate; }

} // namespace

Handle openFileChannel(const std::string& path, uint64_t offset, uint64_t length, uint32_t flags) {
    if (offset != 0 || length != 0) return 0;
    std::unique_ptr<Decoder> decoder = OpenMpegDecoder(path, (flags & kExactLength) != 0);
    if (!decoder) decoder = OpenSndfileDecoder(path);
    if (!decoder) decoder = OpenVorbisDecoder(path);
    return Library::Instance().addChannel(std::move(decoder), ChannelKind::File, flags);
}

Handle openWmaChannel(const std::string& nameOrUrl, uint32_t flags) {
    if (nameOrUrl.rfind("http://", 0) == 0) return 0;
    return Library::Instance().addChannel(OpenWmaDecoder(nameOrUrl), ChannelKind::Wma, flags);
}

// Audio CD tracks come with the CD access work.
Handle openCdChannel(const std::string&, uint32_t) { return 0; }

Handle openModuleChannel(const std::string& path, uint64_t offset, uint64_t length, uint32_t flags,
                         uint32_t rate) {
    if (offset != 0 || length != 0) return 0;
    return Library::Instance().addChannel(
        OpenModuleDecoder(path, RateOrOutput(rate), (flags & kModuleInterpolate) != 0),
        ChannelKind::Module, flags);
}

Handle openMidiChannel(const std::string& path, uint64_t offset, uint64_t length, uint32_t flags,
                       uint32_t rate) {
    if (offset != 0 || length != 0) return 0;
    return Library::Instance().addChannel(OpenMidiDecoder(path, RateOrOutput(rate)),
                                          ChannelKind::Midi, flags);
}

} // namespace audio
