#include "audio/network/StreamProbe.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>

#include "audio/decoders/MpegFrameHeader.h"
#include "audio/decoders/MpegStreamProbe.h"
#include "audio/decoders/SourceHeader.h"
#include "audio/network/AdtsFrameHeader.h"
#include "audio/network/NetworkText.h"
#include "audio/sources/MemoryByteSource.h"

namespace audio {
namespace {

enum class Format { Mpeg, Adts, Ogg, Asf };

constexpr uint8_t kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr size_t kOggPageHeader = 27;

// What the bytes from one offset say: a start, not one, or nothing yet
// because they run out first.
enum class Look { Yes, No, Early };

// The bytes looked at; `final` when no more of them will be looked at.
struct Seen {
    std::span<const uint8_t> bytes;
    bool final;
};

struct Found {
    StreamKind kind;
    size_t offset;
};

// Whether kMpegFramesToConfirm frames of one stream start at `at`, each
// right after the one before.
template <typename Parse>
Look ChainAt(std::span<const uint8_t> bytes, size_t at, Parse parse)
{
    decltype(parse(nullptr, 0)) first;
    for (int n = 0; n < kMpegFramesToConfirm; ++n) {
        if (at >= bytes.size())
            return Look::Early;
        const auto h = parse(bytes.data() + at, bytes.size() - at);
        if (!h)
            return bytes[at] == 0xFF && bytes.size() - at < kAdtsHeaderBytes ? Look::Early : Look::No;
        if (!first)
            first = h;
        else if (!h->sameStream(*first))
            return Look::No;
        at += h->frameBytes;
    }
    return Look::Yes;
}

// Where frames may begin: after the ID3v2 blocks at the start, or at the
// start when they are malformed or reach past all that is looked at; nothing
// while they reach past the bytes that have come.
std::optional<size_t> FramesStart(const Seen& seen)
{
    const auto bytes = seen.bytes;
    if (bytes.size() < 3 || std::memcmp(bytes.data(), "ID3", 3) != 0)
        return 0;
    // A block header cut short reaches past the bytes as a long block does.
    std::optional<uint64_t> end = UINT64_MAX;
    if (bytes.size() >= 10) {
        MemoryByteSource source(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        end = Id3v2End(source, {}, UINT64_MAX);
    }
    if (!end)
        return 0;
    if (*end <= bytes.size())
        return static_cast<size_t>(*end);
    return seen.final ? std::optional<size_t>(0) : std::nullopt;
}

// The first offset from `from`, among those that begin with `firstByte`,
// where `lookAt` finds a start. An offset whose bytes run out before it can
// tell holds the search until they come, so that the answer does not depend
// on how the bytes arrived.
template <typename LookAt>
std::optional<Found> FirstStart(const Seen& seen, size_t from, uint8_t firstByte, LookAt lookAt)
{
    for (size_t at = from; at < seen.bytes.size(); ++at) {
        if (seen.bytes[at] != firstByte)
            continue;
        StreamKind kind{};
        const Look look = lookAt(at, kind);
        if (look == Look::Yes)
            return Found{kind, at};
        if (look == Look::Early && !seen.final)
            return std::nullopt;
    }
    return std::nullopt;
}

// The first run of chained frames after any ID3v2 blocks.
template <typename Parse>
std::optional<Found> FirstRun(const Seen& seen, StreamKind kind, Parse parse)
{
    const auto start = FramesStart(seen);
    if (!start)
        return std::nullopt;
    return FirstStart(seen, *start, 0xFF, [&](size_t at, StreamKind& found) {
        found = kind;
        return ChainAt(seen.bytes, at, parse);
    });
}

uint32_t OggChecksum(std::span<const uint8_t> page)
{
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    uint32_t crc = 0;
    for (size_t i = 0; i < page.size(); ++i) {
        const uint8_t byte = i >= 22 && i < 26 ? 0 : page[i];
        crc = table[(crc >> 24) ^ byte] ^ (crc << 8);
    }
    return crc;
}

// The first page of a Vorbis or Opus stream at `at`: "OggS", version 0, the
// beginning-of-stream flag, a checksum that holds, and the codec's
// identification packet first.
Look FirstOggPageAt(std::span<const uint8_t> bytes, size_t at, StreamKind& kind)
{
    const size_t left = bytes.size() - at;
    if (std::memcmp(bytes.data() + at, "OggS", std::min<size_t>(4, left)) != 0)
        return Look::No;
    if (left < kOggPageHeader)
        return Look::Early;
    const uint8_t* h = bytes.data() + at;
    if (h[4] != 0 || (h[5] & 3) != 2)
        return Look::No;
    const size_t segments = h[26];
    if (left < kOggPageHeader + segments)
        return Look::Early;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i)
        body += h[kOggPageHeader + i];
    const size_t pageBytes = kOggPageHeader + segments + body;
    if (left < pageBytes)
        return Look::Early;
    const uint32_t stored =
        uint32_t(h[22]) | (uint32_t(h[23]) << 8) | (uint32_t(h[24]) << 16) | (uint32_t(h[25]) << 24);
    if (OggChecksum(bytes.subspan(at, pageBytes)) != stored)
        return Look::No;
    const uint8_t* packet = h + kOggPageHeader + segments;
    if (body >= 7 && std::memcmp(packet, "\x01vorbis", 7) == 0)
        kind = StreamKind::OggVorbis;
    else if (body >= 8 && std::memcmp(packet, "OpusHead", 8) == 0)
        kind = StreamKind::OggOpus;
    else
        return Look::No;
    return Look::Yes;
}

std::optional<Found> Try(Format format, const Seen& seen)
{
    switch (format) {
    case Format::Mpeg:
        return FirstRun(seen, StreamKind::Mp3, ParseMpegFrameHeader);
    case Format::Adts:
        return FirstRun(seen, StreamKind::Aac, ParseAdtsFrameHeader);
    case Format::Ogg:
        return FirstStart(seen, 0, 'O', [&](size_t at, StreamKind& found) {
            return FirstOggPageAt(seen.bytes, at, found);
        });
    case Format::Asf:
        if (seen.bytes.size() >= sizeof kAsfHeader
            && std::memcmp(seen.bytes.data(), kAsfHeader, sizeof kAsfHeader) == 0)
            return Found{StreamKind::Asf, 0};
        return std::nullopt;
    }
    return std::nullopt;
}

// The trial order: the format the Content-Type names first.
std::array<Format, 4> TrialOrder(std::string_view contentType)
{
    static constexpr std::pair<std::string_view, Format> kTypes[] = {
        {"audio/mpeg", Format::Mpeg},     {"audio/aac", Format::Adts},
        {"audio/aacp", Format::Adts},     {"audio/x-aac", Format::Adts},
        {"application/ogg", Format::Ogg}, {"audio/ogg", Format::Ogg},
        {"video/x-ms-asf", Format::Asf},  {"audio/x-ms-wma", Format::Asf},
        {"application/vnd.ms-asf", Format::Asf},
    };
    std::array<Format, 4> order = {Format::Mpeg, Format::Adts, Format::Ogg, Format::Asf};
    const std::string type = MediaTypeOf(contentType);
    for (const auto& [name, format] : kTypes) {
        if (type == name) {
            const auto named = std::find(order.begin(), order.end(), format);
            std::rotate(order.begin(), named, named + 1);
        }
    }
    return order;
}

} // namespace

StreamProbeResult ProbeStream(std::string_view contentType, std::span<const uint8_t> bytes, bool complete)
{
    const Seen seen{bytes.first(std::min(bytes.size(), kStreamProbeLimit)),
                    complete || bytes.size() >= kStreamProbeLimit};
    StreamProbeResult result;
    for (Format format : TrialOrder(contentType)) {
        if (const auto found = Try(format, seen)) {
            result.verdict = StreamProbeResult::Verdict::Found;
            result.kind = found->kind;
            result.offset = found->offset;
            return result;
        }
    }
    // MPEG and ADTS frames may begin anywhere in what is looked at.
    result.verdict = seen.final ? StreamProbeResult::Verdict::Unknown : StreamProbeResult::Verdict::NeedMore;
    return result;
}

} // namespace audio
