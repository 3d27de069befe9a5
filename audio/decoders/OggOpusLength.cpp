#include "audio/decoders/OggOpusLength.h"

#include <ogg/ogg.h>
#include <opus/opus.h>
#include <opus/opusfile.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace audio {
namespace {

constexpr size_t kReadBytes = 8192;
constexpr size_t kPageHeader = 27;
// The last page is looked for in the last 16 KiB, then in as much as the
// largest page could span.
constexpr size_t kFirstTail = 16384;
constexpr size_t kLargestTail = 65536 + 65307;
// As libopusfile counts a packet: its frames at 48 kHz, at most 120 ms.
constexpr int kMostPacketFrames = 5760;

int PacketFrames(const ogg_packet& packet)
{
    const int frames = opus_packet_get_nb_frames(packet.packet, static_cast<opus_int32>(packet.bytes));
    if (frames <= 0)
        return -1;
    const int samples = frames * opus_packet_get_samples_per_frame(packet.packet, 48000);
    return samples > kMostPacketFrames ? -1 : samples;
}

// The source's pages from its start, each checked by libogg; false at the
// end and at the first damage.
class PageReader {
  public:
    explicit PageReader(ByteSource& source) : source_(source) { ogg_sync_init(&sync_); }
    ~PageReader() { ogg_sync_clear(&sync_); }
    PageReader(const PageReader&) = delete;
    PageReader& operator=(const PageReader&) = delete;

    bool next(ogg_page& page)
    {
        for (;;) {
            const long got = ogg_sync_pageseek(&sync_, &page);
            if (got != 0)
                return got > 0;
            char* buffer = ogg_sync_buffer(&sync_, kReadBytes);
            const size_t read = buffer ? source_.readAt(at_, buffer, kReadBytes) : 0;
            if (read == 0)
                return false;
            at_ += read;
            ogg_sync_wrote(&sync_, static_cast<long>(read));
        }
    }

  private:
    ByteSource& source_;
    ogg_sync_state sync_;
    uint64_t at_ = 0;
};

class Stream {
  public:
    explicit Stream(int serial) { ogg_stream_init(&state_, serial); }
    ~Stream() { ogg_stream_clear(&state_); }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    ogg_stream_state* get() { return &state_; }

  private:
    ogg_stream_state state_;
};

bool EndsItsPage(const ogg_page& page)
{
    return page.header_len > 0 && page.header[page.header_len - 1] != 255;
}

// Where the first link's audio starts (the granule position of its first
// page with whole packets, less their frames), its channels and pre-skip.
struct Start {
    uint32_t serial = 0;
    int64_t pcmStart = 0;
    uint32_t channels = 0;
    uint32_t preSkip = 0;
};

std::optional<Start> ReadStart(ByteSource& source)
{
    PageReader pages(source);
    ogg_page page;
    ogg_packet packet;
    if (!pages.next(page) || !ogg_page_bos(&page))
        return std::nullopt;
    Start start;
    start.serial = static_cast<uint32_t>(ogg_page_serialno(&page));
    Stream stream(ogg_page_serialno(&page));
    OpusHead head;
    // The identification header alone on its page, the comment header
    // ending its own, as libopusfile requires.
    if (ogg_stream_pagein(stream.get(), &page) != 0 || ogg_stream_packetout(stream.get(), &packet) != 1
        || opus_head_parse(&head, packet.packet, static_cast<size_t>(packet.bytes)) < 0
        || ogg_stream_packetout(stream.get(), &packet) != 0 || !EndsItsPage(page))
        return std::nullopt;
    start.channels = static_cast<uint32_t>(std::max(head.channel_count, 0));
    start.preSkip = head.pre_skip;
    int tags = 0;
    while (tags == 0) {
        if (!pages.next(page) || ogg_page_bos(&page) || ogg_page_serialno(&page) != static_cast<int>(start.serial)
            || ogg_stream_pagein(stream.get(), &page) != 0)
            return std::nullopt;
        tags = ogg_stream_packetout(stream.get(), &packet);
    }
    if (tags < 0 || opus_tags_parse(nullptr, packet.packet, static_cast<size_t>(packet.bytes)) < 0
        || ogg_stream_packetout(stream.get(), &packet) != 0 || !EndsItsPage(page))
        return std::nullopt;
    int64_t frames = 0;
    for (int packets = 0; packets == 0;) {
        if (!pages.next(page) || ogg_page_bos(&page) || ogg_page_serialno(&page) != static_cast<int>(start.serial)
            || ogg_stream_pagein(stream.get(), &page) != 0)
            return std::nullopt;
        for (int got; (got = ogg_stream_packetout(stream.get(), &packet)) != 0; ++packets) {
            const int packetFrames = got > 0 ? PacketFrames(packet) : -1;
            if (packetFrames <= 0)
                return std::nullopt;
            frames += packetFrames;
        }
    }
    // A first page that is also the last trims the end: libopusfile's case.
    const int64_t granule = ogg_page_granulepos(&page);
    if (ogg_page_eos(&page) || granule < frames)
        return std::nullopt;
    start.pcmStart = granule - frames;
    return start;
}

// The page at `at` of `bytes` (which end at the source's end), when it is
// whole and its checksum holds.
std::optional<int64_t> IntactPageGranule(const std::vector<uint8_t>& bytes, size_t at, uint32_t& serial)
{
    const uint8_t* p = bytes.data() + at;
    if (at + kPageHeader > bytes.size() || p[4] != 0 || at + kPageHeader + p[26] > bytes.size())
        return std::nullopt;
    const size_t headerBytes = kPageHeader + p[26];
    size_t bodyBytes = 0;
    for (size_t i = kPageHeader; i < headerBytes; ++i)
        bodyBytes += p[i];
    if (at + headerBytes + bodyBytes > bytes.size())
        return std::nullopt;
    uint8_t header[kPageHeader + 255];
    std::memcpy(header, p, headerBytes);
    ogg_page page{header, static_cast<long>(headerBytes), const_cast<uint8_t*>(p + headerBytes),
                  static_cast<long>(bodyBytes)};
    ogg_page_checksum_set(&page);
    if (std::memcmp(header + 22, p + 22, 4) != 0)
        return std::nullopt;
    serial = static_cast<uint32_t>(ogg_page_serialno(&page));
    return ogg_page_granulepos(&page);
}

// The granule position of the last intact page, when it is of `serial`.
std::optional<int64_t> LastGranule(ByteSource& source, uint64_t size, uint32_t serial)
{
    for (const size_t tail : {kFirstTail, kLargestTail}) {
        const size_t length = static_cast<size_t>(std::min<uint64_t>(tail, size));
        std::vector<uint8_t> bytes(length);
        if (source.readAt(size - length, bytes.data(), length) != length)
            return std::nullopt;
        for (size_t at = length >= 4 ? length - 3 : 0; at-- > 0;) {
            if (std::memcmp(bytes.data() + at, "OggS", 4) != 0)
                continue;
            uint32_t pageSerial = 0;
            if (const auto granule = IntactPageGranule(bytes, at, pageSerial)) {
                if (pageSerial != serial)
                    return std::nullopt;
                return granule;
            }
        }
        if (length == size)
            break;
    }
    return std::nullopt;
}

} // namespace

std::optional<OggOpusLength> MeasureOggOpus(ByteSource& source)
{
    const auto size = source.size();
    const auto start = size ? ReadStart(source) : std::nullopt;
    if (!start)
        return std::nullopt;
    const auto end = LastGranule(source, *size, start->serial);
    if (!end || *end < start->pcmStart || *end - start->pcmStart < static_cast<int64_t>(start->preSkip))
        return std::nullopt;
    return OggOpusLength{start->channels, static_cast<uint64_t>(*end - start->pcmStart - start->preSkip)};
}

} // namespace audio
