#include "audio/decoders/OggOpusLength.h"

#include <ogg/ogg.h>
#include <opus/opus.h>
#include <opus/opusfile.h>

#include <algorithm>

#include "audio/decoders/OggPages.h"

namespace audio {
namespace {

constexpr size_t kReadBytes = 8192;
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

} // namespace

std::optional<OggOpusLength> MeasureOggOpus(ByteSource& source)
{
    const auto size = source.size();
    const auto start = size ? ReadStart(source) : std::nullopt;
    if (!start)
        return std::nullopt;
    const auto last = LastIntactOggPage(source, *size);
    const auto end = last && last->serial == start->serial ? std::optional<int64_t>(last->granule) : std::nullopt;
    if (!end || *end < start->pcmStart || *end - start->pcmStart < static_cast<int64_t>(start->preSkip))
        return std::nullopt;
    return OggOpusLength{start->channels, static_cast<uint64_t>(*end - start->pcmStart - start->preSkip)};
}

} // namespace audio
