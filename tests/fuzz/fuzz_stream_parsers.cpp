// Feeds arbitrary bytes to what reads a network stream: the probe (an Ogg
// page at the start gets a valid checksum on request) finds only what lies
// inside the bytes and begins there; the ICY demuxer, for any division into
// pieces, gives exactly the input without its metadata blocks, and the
// blocks in order; titles and texts come out as shown text; playlist
// addresses are http:// or https:// ones.
// fuzz-sources: audio/network/StreamProbe.cpp audio/network/AdtsFrameHeader.cpp audio/network/IcyMetadata.cpp
// fuzz-sources: audio/network/StreamPlaylist.cpp audio/network/NetworkText.cpp
// fuzz-sources: audio/decoders/MpegFrameHeader.cpp audio/decoders/SourceHeader.cpp
// fuzz-sources: tags/OggPages.cpp tags/TagFile.cpp platform/CodePage.cpp platform/FileReplacement.cpp
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "audio/decoders/MpegFrameHeader.h"
#include "audio/network/AdtsFrameHeader.h"
#include "audio/network/IcyMetadata.h"
#include "audio/network/StreamPlaylist.h"
#include "audio/network/StreamProbe.h"
#include "platform/CodePage.h"
#include "tags/OggPages.h"
#include "tests/fuzz/FuzzFile.h"

using fuzzfile::Check;

namespace {

constexpr const char* kContentTypes[] = {"",          "audio/mpeg", "audio/aacp; charset=x", "application/ogg",
                                         "AUDIO/OGG", "video/x-ms-asf", "audio/x-scpls",     "text/html"};
constexpr const char* kBases[] = {"http://127.0.0.1:8000/dir/list.pls?x=1#y", "HTTPS://127.0.0.1", "", "ftp://x/y",
                                  "http://", "http:/x"};

// Stores the checksum of the Ogg page at the start, when a whole one is there.
void SealFirstOggPage(std::string& bytes) {
    if (bytes.size() < 27 || bytes.compare(0, 4, "OggS") != 0) return;
    const size_t segments = uint8_t(bytes[26]);
    if (bytes.size() < 27 + segments) return;
    size_t page = 27 + segments;
    for (size_t i = 0; i < segments; ++i) page += uint8_t(bytes[27 + i]);
    if (bytes.size() < page) return;
    std::memset(bytes.data() + 22, 0, 4);
    const uint32_t crc = ogg::Checksum(std::string_view(bytes).substr(0, page));
    for (int i = 0; i < 4; ++i) bytes[22 + i] = char(crc >> (8 * i));
}

void CheckProbe(const std::string& bytes, const char* type, bool complete) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t seen = std::min(bytes.size(), audio::kStreamProbeLimit);
    const auto result = audio::ProbeStream(type, {p, bytes.size()}, complete);
    using Verdict = audio::StreamProbeResult::Verdict;
    if (result.verdict == Verdict::NeedMore)
        Check(!complete && bytes.size() < audio::kStreamProbeLimit, "waits only while more may come");
    if (result.verdict != Verdict::Found) return;
    Check(result.offset < seen, "what is found begins in the bytes looked at");
    const uint8_t* at = p + result.offset;
    const size_t left = seen - result.offset;
    switch (result.kind) {
    case audio::StreamKind::Mp3:
    case audio::StreamKind::Aac: {
        // The run of frames lies within the bytes looked at, its last header whole.
        size_t offset = 0;
        for (int n = 0; n < 4; ++n) {
            Check(offset < left, "each frame of the run begins in the bytes");
            const auto mpeg = audio::ParseMpegFrameHeader(at + offset, left - offset);
            const auto adts = audio::ParseAdtsFrameHeader(at + offset, left - offset);
            Check(result.kind == audio::StreamKind::Mp3 ? mpeg.has_value() : adts.has_value(),
                  "each frame of the run has a header of its kind");
            offset += result.kind == audio::StreamKind::Mp3 ? mpeg->frameBytes : adts->frameBytes;
        }
        break;
    }
    case audio::StreamKind::OggVorbis:
    case audio::StreamKind::OggOpus:
        Check(left >= 27 && std::memcmp(at, "OggS", 4) == 0 && (at[5] & 2), "a first Ogg page");
        break;
    case audio::StreamKind::Asf:
        Check(result.offset == 0 && left >= 16 && at[0] == 0x30, "an ASF header at the start");
        break;
    }
}

void CheckShownText(const std::optional<std::string>& text) {
    if (!text) return;
    const std::string& t = *text;
    Check(!t.empty() && t.front() != ' ' && t.back() != ' ', "trimmed and not empty");
    Check(platform::IsValidUtf8(t), "valid UTF-8");
    Check(platform::Utf8Length(t) <= audio::kMostStreamTextCharacters, "cut to the longest shown");
    Check(t.find("  ") == std::string::npos, "runs of spaces are one");
    for (size_t i = 0; i < t.size(); ++i) {
        const uint8_t c = uint8_t(t[i]);
        Check(c >= 0x20 && c != 0x7F, "no C0 controls and no DEL");
        Check(!(c == 0xC2 && i + 1 < t.size() && uint8_t(t[i + 1]) <= 0x9F), "no C1 controls");
    }
}

void CheckTitle(std::string_view block) {
    const auto title = audio::StreamTitleOf(block);
    if (!title) return;
    Check(block.find(*title) != std::string_view::npos, "the title is in the block");
    CheckShownText(audio::CleanStreamText(*title));
}

// The body as a server that puts a block after every `interval` bytes sends it.
void Reference(std::string_view body, size_t interval, std::string& audio, std::vector<std::string>& blocks) {
    size_t at = 0;
    while (at < body.size()) {
        const size_t n = interval == 0 ? body.size() - at : std::min(interval, body.size() - at);
        audio.append(body.substr(at, n));
        at += n;
        if (at >= body.size()) break;
        const size_t length = uint8_t(body[at++]) * size_t(16);
        if (length > 0 && at + length <= body.size()) blocks.emplace_back(body.substr(at, length));
        at += length;
    }
}

void CheckDemuxer(std::string_view body, size_t interval, uint32_t seed) {
    std::string expectedAudio;
    std::vector<std::string> expectedBlocks;
    Reference(body, interval, expectedAudio, expectedBlocks);

    audio::IcyDemuxer demuxer(interval);
    std::string audio;
    std::vector<std::string> blocks;
    const size_t longestPiece = 1 + seed % 97;
    for (size_t at = 0; at < body.size();) {
        seed = seed * 1103515245u + 12345u;
        const size_t piece = std::min(body.size() - at, 1 + (seed >> 16) % longestPiece);
        demuxer.feed(
            reinterpret_cast<const uint8_t*>(body.data()) + at, piece,
            [&](const uint8_t* bytes, size_t size) {
                Check(size > 0, "no empty audio");
                audio.append(reinterpret_cast<const char*>(bytes), size);
            },
            [&](std::string_view block) { blocks.emplace_back(block); });
        at += piece;
    }
    Check(audio == expectedAudio, "the audio is the body without its blocks");
    Check(blocks == expectedBlocks, "every whole block, in order");
    for (const std::string& block : blocks) CheckTitle(block);
}

void CheckPlaylist(std::string_view body, const char* type, const std::string& base) {
    audio::IsPlaylistResponse(type, body);
    const auto address = audio::FirstStreamAddress(body, base);
    if (!address) return;
    Check(address->starts_with("http://") || address->starts_with("https://"), "a web address");
    Check(address->size() > address->find("//") + 2, "with a host");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t control = data[0];
    const size_t interval = data[1];
    std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    if (control & 0x40) SealFirstOggPage(bytes);
    const char* type = kContentTypes[control % std::size(kContentTypes)];

    CheckProbe(bytes, type, (control & 0x80) != 0);
    CheckDemuxer(bytes, interval, control);
    CheckTitle(bytes);
    CheckShownText(audio::CleanStreamText(bytes));
    CheckPlaylist(bytes, type, kBases[(control >> 3) % std::size(kBases)]);
    return 0;
}
