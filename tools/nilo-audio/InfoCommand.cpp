#include <cstdio>

#include "Commands.h"

namespace {

const char* KindName(audio::ChannelKind kind) {
    switch (kind) {
    case audio::ChannelKind::File: return "file";
    case audio::ChannelKind::Wma: return "wma";
    case audio::ChannelKind::Cd: return "cd";
    case audio::ChannelKind::Module: return "module";
    case audio::ChannelKind::Midi: return "midi";
    case audio::ChannelKind::Url: return "url";
    case audio::ChannelKind::None: break;
    }
    return "none";
}

} // namespace

int InfoCommand(const std::vector<std::string>& arguments) {
    if (arguments.size() != 1) return Fail("usage: nilo-audio info FILE|ADDRESS");
    const std::string& path = arguments[0];
    // Opened as the playlist measures a file.
    const HSTREAM h = OpenChannel(path, 0x120000);
    if (h == 0) return 1;
    audio::ChannelInfo info;
    audio::channelInfo(h, info);
    const uint64_t length = audio::lengthBytes(h);
    const std::string lengthText = length == audio::kUnknownLength ? "-1" : std::to_string(length);
    std::printf("kind=%s\ntype=0x%x\nrate=%u\nchannels=%u\nfloat=%d\nlength_bytes=%s\n"
                "length_seconds=%.6f\n",
                KindName(audio::channelKind(h)), info.type, info.rate, info.channels,
                (info.flags & audio::kFloatSamples) ? 1 : 0, lengthText.c_str(), audio::bytesToSeconds(h, length));
    audio::StreamStatus stream;
    if (audio::streamStatus(h, stream))
        std::printf("station=%s\ntitle=%s\ncontent_type=%s\naddress=%s\n", stream.station.c_str(),
                    stream.title.c_str(), stream.contentType.c_str(), stream.address.c_str());
    FreeChannel(h);
    return 0;
}
