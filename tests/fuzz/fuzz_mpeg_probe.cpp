// Feeds arbitrary bytes, and bytes behind an ID3v2 header of any claimed
// size, to the MPEG stream probe and the frame header and Xing/VBRI readers:
// they end, and what they accept lies inside the input and is a stream.
// fuzz-sources: audio/decoders/MpegFrameHeader.cpp audio/decoders/MpegStreamProbe.cpp
// fuzz-sources: audio/decoders/SourceHeader.cpp
#include <cstdint>
#include <string>

#include "audio/decoders/MpegStreamProbe.h"
#include "audio/sources/MemoryByteSource.h"
#include "tests/fuzz/FuzzFile.h"

using fuzzfile::Check;

namespace {

void CheckHeader(const audio::MpegFrameHeader& h) {
    Check(h.version == 1 || h.version == 2 || h.version == 25, "a known version");
    Check(h.layer >= 1 && h.layer <= 3, "a known layer");
    Check(h.rate >= 8000 && h.rate <= 48000, "a known rate");
    Check(h.bitrate >= 8000 && h.bitrate <= 448000, "a known bit rate");
    Check(h.frameBytes > 4 && h.frameBytes <= 2881, "a frame size a header can give");
    Check(h.channels == 1 || h.channels == 2, "one or two channels");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        // An ID3v2 header claiming the size the next four bytes give.
        std::string tag("ID3\x04\0\0", 6);
        for (size_t i = 0; i < 4; ++i) tag += char(i < bytes.size() ? bytes[i] & 0x7F : 0);
        bytes = tag + bytes.substr(std::min<size_t>(4, bytes.size()));
    }
    audio::MemoryByteSource source(bytes);
    const audio::SourceHeader header = audio::ReadSourceHeader(source);
    Check(header.head.size() == std::min(bytes.size(), audio::SourceHeader::kHeadBytes), "the head is read whole");

    if (const auto h = audio::ParseMpegFrameHeader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) {
        CheckHeader(*h);
        audio::ReadMpegVbrInfo(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), *h);
    }
    const auto probe = audio::ProbeMpegStream(source, header);
    if (!probe) return 0;
    CheckHeader(probe->first);
    Check(probe->audioStart < bytes.size(), "the audio starts inside the input");
    Check(probe->audioBytes <= bytes.size() - probe->audioStart, "the audio lies inside the input");
    Check(static_cast<uint8_t>(bytes[probe->audioStart]) == 0xFF, "the audio starts on a frame");
    return 0;
}
