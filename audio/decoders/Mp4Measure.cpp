#include "audio/decoders/Mp4Measure.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace audio {
namespace {

// A movie larger than this is left to FFmpeg.
constexpr uint64_t kLargestMovie = 64 << 20;

constexpr uint32_t Fourcc(const char (&name)[5])
{
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8
        | uint8_t(name[3]);
}

struct BoxHeader {
    uint32_t type = 0;
    uint64_t headerBytes = 0;
    uint64_t size = 0;
};

// The header of a box whose first `have` bytes are at `h` and which may take
// up `room` bytes. Sizes 1 (a 64-bit size follows) and 0 (to the end) are
// understood.
std::optional<BoxHeader> ReadBoxHeader(const uint8_t* h, uint64_t have, uint64_t room)
{
    const auto be = [h](int from, int count) {
        uint64_t v = 0;
        for (int i = from; i < from + count; ++i)
            v = v << 8 | h[i];
        return v;
    };
    if (have < 8 || room < 8)
        return std::nullopt;
    BoxHeader box{uint32_t(be(4, 4)), 8, be(0, 4)};
    if (box.size == 1) {
        if (have < 16 || room < 16)
            return std::nullopt;
        box.size = be(8, 8);
        box.headerBytes = 16;
    } else if (box.size == 0) {
        box.size = room;
    }
    if (box.size < box.headerBytes || box.size > room)
        return std::nullopt;
    return box;
}

struct Box {
    uint32_t type = 0;
    size_t body = 0;
    size_t end = 0;
};

// The movie box's bytes, and the boxes and big-endian fields within them.
// Every read is bounded by the bytes held: a field beyond them reads as
// missing.
class Movie {
  public:
    explicit Movie(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    bool has(size_t at, size_t count) const { return at <= bytes_.size() && count <= bytes_.size() - at; }
    uint64_t be(size_t at, int count) const
    {
        uint64_t v = 0;
        for (int i = 0; i < count; ++i)
            v = v << 8 | bytes_[at + size_t(i)];
        return v;
    }
    const uint8_t* at(size_t offset) const { return bytes_.data() + offset; }

    // The box at `at`, within `end`; `at` moves past it.
    std::optional<Box> next(size_t& at, size_t end) const
    {
        const auto header = end <= bytes_.size() && at < end ? ReadBoxHeader(bytes_.data() + at, end - at, end - at)
                                                             : std::nullopt;
        if (!header)
            return std::nullopt;
        Box box{header->type, at + size_t(header->headerBytes), at + size_t(header->size)};
        at = box.end;
        return box;
    }
    std::optional<Box> child(const Box& parent, uint32_t type, size_t skip = 0) const
    {
        size_t at = parent.body + skip;
        while (const auto box = next(at, parent.end))
            if (box->type == type)
                return box;
        return std::nullopt;
    }
    std::optional<Box> path(Box box, std::initializer_list<uint32_t> types) const
    {
        for (const uint32_t type : types) {
            const auto inner = child(box, type);
            if (!inner)
                return std::nullopt;
            box = *inner;
        }
        return box;
    }
    size_t size() const { return bytes_.size(); }

  private:
    std::vector<uint8_t> bytes_;
};

// Reads the bits of an MPEG-4 audio configuration as FFmpeg does.
class Bits {
  public:
    Bits(const uint8_t* data, size_t bytes) : data_(data), bits_(bytes * 8) {}
    size_t left() const { return bits_ - at_; }
    uint32_t peek(int count) const
    {
        uint32_t v = 0;
        for (int i = 0; i < count; ++i) {
            const size_t bit = at_ + size_t(i);
            v = v << 1 | (bit < bits_ ? (data_[bit / 8] >> (7 - bit % 8)) & 1u : 0u);
        }
        return v;
    }
    uint32_t take(int count)
    {
        const uint32_t v = peek(count);
        at_ = std::min(bits_, at_ + size_t(count));
        return v;
    }

  private:
    const uint8_t* data_;
    size_t bits_;
    size_t at_ = 0;
};

uint32_t ObjectType(Bits& bits)
{
    const uint32_t type = bits.take(5);
    return type == 31 ? 32 + bits.take(6) : type;
}

uint32_t SampleRate(Bits& bits)
{
    static constexpr uint32_t kRates[16] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050,
                                            16000, 12000, 11025, 8000,  7350,  0,     0,     0};
    const uint32_t index = bits.take(4);
    return index == 15 ? bits.take(24) : kRates[index];
}

// The rate and channels FFmpeg's demuxer reads from an AAC configuration:
// an explicitly signalled SBR extension's rate where there is one.
bool ReadAacConfig(const uint8_t* data, size_t bytes, Mp4Measure& out)
{
    static constexpr uint32_t kChannels[8] = {0, 1, 2, 3, 4, 5, 6, 8};
    constexpr uint32_t kSbr = 5;
    constexpr uint32_t kPs = 29;
    Bits bits(data, bytes);
    uint32_t type = ObjectType(bits);
    const uint32_t rate = SampleRate(bits);
    const uint32_t config = bits.take(4);
    uint32_t extensionRate = 0;
    if (type == kSbr || (type == kPs && !((bits.peek(3) & 0x03) && !(bits.peek(9) & 0x3F)))) {
        extensionRate = SampleRate(bits);
        type = ObjectType(bits);
    } else {
        while (bits.left() > 15) {
            if (bits.peek(11) != 0x2b7) {
                bits.take(1);
                continue;
            }
            bits.take(11);
            if (ObjectType(bits) == kSbr && bits.take(1) == 1)
                extensionRate = SampleRate(bits);
            break;
        }
    }
    // Main, LC, SSR and LTP: the kinds FFmpeg's AAC decoder takes as such.
    if (type < 1 || type > 4 || config < 1 || config > 7)
        return false;
    out.rate = extensionRate ? extensionRate : rate;
    out.channels = kChannels[config];
    return true;
}

// A descriptor's length: up to four bytes of seven bits.
bool DescriptorLength(const Movie& m, size_t& at, size_t end, size_t& length)
{
    length = 0;
    for (int i = 0; i < 4; ++i) {
        if (at >= end)
            return false;
        const uint8_t byte = *m.at(at++);
        length = length << 7 | (byte & 0x7F);
        if (!(byte & 0x80))
            return length <= end - at;
    }
    return false;
}

// The AAC configuration in an elementary stream descriptor.
bool ReadEsds(const Movie& m, const Box& esds, Mp4Measure& out)
{
    size_t at = esds.body + 4;
    size_t length = 0;
    if (!m.has(at, 1) || *m.at(at++) != 0x03 || !DescriptorLength(m, at, esds.end, length) || !m.has(at, 3))
        return false;
    const size_t esEnd = at + length;
    const uint8_t flags = *m.at(at + 2);
    at += 3;
    if (flags & 0x80)
        at += 2;
    if (flags & 0x40)
        at += m.has(at, 1) ? 1 + size_t(*m.at(at)) : esEnd;
    if (flags & 0x20)
        at += 2;
    if (!m.has(at, 1) || at >= esEnd || *m.at(at++) != 0x04 || !DescriptorLength(m, at, esEnd, length)
        || length < 13)
        return false;
    const uint8_t objectType = *m.at(at);
    const size_t configEnd = at + length;
    at += 13;
    const bool aac = objectType == 0x40 || (objectType >= 0x66 && objectType <= 0x68);
    if (!aac || at >= configEnd || *m.at(at++) != 0x05 || !DescriptorLength(m, at, configEnd, length))
        return false;
    return ReadAacConfig(m.at(at), length, out);
}

// The one sample description's codec, rate and channels.
bool ReadSampleDescription(const Movie& m, const Box& stsd, Mp4Measure& out)
{
    if (!m.has(stsd.body, 8) || m.be(stsd.body + 4, 4) != 1)
        return false;
    size_t at = stsd.body + 8;
    const auto entry = m.next(at, stsd.end);
    // Version 0 of the sound description: children after 28 bytes.
    if (!entry || !m.has(entry->body, 28) || m.be(entry->body + 8, 2) != 0)
        return false;
    const Box children{entry->type, entry->body + 28, entry->end};
    if (entry->type == Fourcc("mp4a")) {
        const auto esds = m.child(children, Fourcc("esds"));
        return esds && ReadEsds(m, *esds, out);
    }
    const auto cookie = entry->type == Fourcc("alac") ? m.child(children, Fourcc("alac")) : std::nullopt;
    if (!cookie || cookie->end - cookie->body != 28)
        return false;
    out.alac = true;
    out.channels = uint32_t(m.be(cookie->body + 13, 1));
    out.rate = uint32_t(m.be(cookie->body + 24, 4));
    return true;
}

struct Table {
    size_t entries = 0;
    size_t at = 0; // of the first entry
};

// A full box's entry count and entries of `entrySize` bytes from `skip`.
std::optional<Table> ReadTable(const Movie& m, const std::optional<Box>& box, size_t entrySize, size_t skip = 0)
{
    if (!box || !m.has(box->body + skip, 8))
        return std::nullopt;
    const Table table{size_t(m.be(box->body + skip + 4, 4)), box->body + skip + 8};
    if ((box->end - table.at) / entrySize < table.entries)
        return std::nullopt;
    return table;
}

// Where the last sample starts, when the tables agree on the sample count.
std::optional<uint64_t> LastSampleOffset(const Movie& m, const Box& stbl, uint64_t samples)
{
    const auto stsz = m.child(stbl, Fourcc("stsz"));
    const auto stsc = ReadTable(m, m.child(stbl, Fourcc("stsc")), 12);
    const auto co64 = m.child(stbl, Fourcc("co64"));
    const size_t offsetBytes = co64 ? 8 : 4;
    const auto chunks = ReadTable(m, co64 ? co64 : m.child(stbl, Fourcc("stco")), offsetBytes);
    if (!stsz || !m.has(stsz->body, 12) || !stsc || stsc->entries == 0 || !chunks || chunks->entries == 0)
        return std::nullopt;
    const uint64_t fixedSize = m.be(stsz->body + 4, 4);
    if (m.be(stsz->body + 8, 4) != samples
        || (fixedSize == 0 && (stsz->end - (stsz->body + 12)) / 4 < samples))
        return std::nullopt;
    // Samples by chunk, and the last chunk's share.
    uint64_t counted = 0;
    uint64_t lastChunkSamples = 0;
    for (size_t i = 0; i < stsc->entries; ++i) {
        const size_t e = stsc->at + 12 * i;
        const uint64_t first = m.be(e, 4);
        const uint64_t next = i + 1 < stsc->entries ? m.be(e + 12, 4) : chunks->entries + 1;
        if (first < 1 || next <= first || next > chunks->entries + 1)
            return std::nullopt;
        lastChunkSamples = m.be(e + 4, 4);
        uint64_t entrySamples = 0;
        if (__builtin_mul_overflow(next - first, lastChunkSamples, &entrySamples)
            || __builtin_add_overflow(counted, entrySamples, &counted))
            return std::nullopt;
    }
    if (counted != samples || lastChunkSamples == 0)
        return std::nullopt;
    uint64_t previous = 0;
    for (size_t i = 0; i < chunks->entries; ++i) {
        const uint64_t offset = m.be(chunks->at + offsetBytes * i, int(offsetBytes));
        if (offset < previous)
            return std::nullopt;
        previous = offset;
    }
    if (fixedSize) {
        uint64_t offset = 0;
        if (__builtin_add_overflow(previous, (lastChunkSamples - 1) * fixedSize, &offset))
            return std::nullopt;
        return offset;
    }
    uint64_t offset = previous;
    for (uint64_t s = samples - lastChunkSamples; s + 1 < samples; ++s)
        offset += m.be(stsz->body + 12 + 4 * size_t(s), 4);
    return offset;
}

// The track's sample durations: their sum, and the samples they count.
bool ReadTimes(const Movie& m, const Box& stbl, uint64_t& duration, uint64_t& samples)
{
    const auto stts = ReadTable(m, m.child(stbl, Fourcc("stts")), 8);
    if (!stts)
        return false;
    for (size_t i = 0; i < stts->entries; ++i) {
        const uint64_t count = m.be(stts->at + 8 * i, 4);
        uint64_t entry = 0;
        if (__builtin_mul_overflow(count, m.be(stts->at + 8 * i + 4, 4), &entry)
            || __builtin_add_overflow(duration, entry, &duration))
            return false;
        samples += count;
    }
    return samples > 0;
}

// The media duration after one plain edit (a start, a length, the normal
// rate); no edits leave it whole, anything else is refused.
bool ApplyEdit(const Movie& m, const Box& trak, uint64_t movieScale, uint64_t mediaScale, uint64_t samplesDuration,
               uint64_t& duration)
{
    const auto edts = m.child(trak, Fourcc("edts"));
    if (!edts)
        return true;
    const auto elst = m.child(*edts, Fourcc("elst"));
    if (!elst || !m.has(elst->body, 8))
        return false;
    const bool wide = *m.at(elst->body) == 1;
    const size_t entryBytes = wide ? 20 : 12;
    if (m.be(elst->body + 4, 4) != 1 || elst->end - (elst->body + 8) != entryBytes)
        return false;
    const size_t e = elst->body + 8;
    const int width = wide ? 8 : 4;
    const uint64_t length = m.be(e, width);
    const uint64_t start = m.be(e + size_t(width), width);
    const bool negative = start >> (8 * width - 1);
    if (movieScale == 0 || length == 0 || negative || start >= samplesDuration
        || m.be(e + 2 * size_t(width), 4) != 0x10000)
        return false;
    const auto rescaled = (static_cast<unsigned __int128>(length) * mediaScale + movieScale / 2) / movieScale;
    if (rescaled > uint64_t(INT64_MAX) - start)
        return false;
    duration = std::min(duration, uint64_t(rescaled));
    return true;
}

// iTunes' gapless comment among the movie's metadata items.
std::optional<uint64_t> ItunesComment(const Movie& m, const Box& moov)
{
    const auto meta = m.path(moov, {Fourcc("udta"), Fourcc("meta")});
    if (!meta)
        return std::nullopt;
    // A meta box is a full box, except in QuickTime's files.
    const size_t skip = m.has(meta->body + 4, 4) && m.be(meta->body + 4, 4) == Fourcc("hdlr") ? 0 : 4;
    const auto ilst = m.child(*meta, Fourcc("ilst"), skip);
    if (!ilst)
        return std::nullopt;
    std::optional<uint64_t> count;
    size_t at = ilst->body;
    while (const auto item = m.next(at, ilst->end)) {
        if (item->type != Fourcc("----"))
            continue;
        bool meant = false;
        std::string name;
        std::string value;
        size_t inner = item->body;
        while (const auto part = m.next(inner, item->end)) {
            if (part->end - part->body < 4)
                break;
            const char* text = reinterpret_cast<const char*>(m.at(part->body + 4));
            const size_t length = part->end - part->body - 4;
            if (part->type == Fourcc("mean"))
                meant = true;
            else if (part->type == Fourcc("name"))
                name.assign(text, length);
            else if (part->type == Fourcc("data") && length > 4)
                value.assign(text + 4, length - 4);
        }
        if (meant && name == "iTunSMPB" && !value.empty())
            count = ItunesSourceFrames(value.c_str());
    }
    return count;
}

std::optional<Mp4Measure> Measure(const Movie& m, uint64_t fileSize)
{
    const Box moov{Fourcc("moov"), 0, m.size()};
    const auto mvhd = m.child(moov, Fourcc("mvhd"));
    if (!mvhd || m.child(moov, Fourcc("mvex")) || !m.has(mvhd->body, 28))
        return std::nullopt;
    const uint64_t movieScale = m.be(mvhd->body + (*m.at(mvhd->body) == 1 ? 20 : 12), 4);
    // The first sound track is the one played.
    size_t at = 0;
    std::optional<Box> trak;
    while (const auto box = m.next(at, moov.end)) {
        const auto hdlr = box->type == Fourcc("trak") ? m.path(*box, {Fourcc("mdia"), Fourcc("hdlr")}) : std::nullopt;
        if (hdlr && m.has(hdlr->body, 12) && m.be(hdlr->body + 8, 4) == Fourcc("soun")) {
            trak = box;
            break;
        }
    }
    const auto mdhd = trak ? m.path(*trak, {Fourcc("mdia"), Fourcc("mdhd")}) : std::nullopt;
    const auto stbl = trak ? m.path(*trak, {Fourcc("mdia"), Fourcc("minf"), Fourcc("stbl")}) : std::nullopt;
    if (!mdhd || !stbl || !m.has(mdhd->body, 32))
        return std::nullopt;
    const bool wide = *m.at(mdhd->body) == 1;
    const uint64_t mediaScale = m.be(mdhd->body + (wide ? 20 : 12), 4);
    uint64_t duration = m.be(mdhd->body + (wide ? 24 : 16), wide ? 8 : 4);
    uint64_t samplesDuration = 0;
    uint64_t samples = 0;
    Mp4Measure measure;
    const auto stsd = m.child(*stbl, Fourcc("stsd"));
    if (mediaScale == 0 || !stsd || !ReadSampleDescription(m, *stsd, measure)
        || !ReadTimes(m, *stbl, samplesDuration, samples))
        return std::nullopt;
    if (samplesDuration > 0)
        duration = std::min(duration, samplesDuration);
    const auto last = LastSampleOffset(m, *stbl, samples);
    if (!last || *last >= fileSize || !ApplyEdit(m, *trak, movieScale, mediaScale, samplesDuration, duration)
        || duration == 0 || duration > uint64_t(INT64_MAX) / 2 || measure.rate == 0)
        return std::nullopt;
    // Rounded to the nearest frame, as FFmpeg rescales.
    const auto frames = (static_cast<unsigned __int128>(duration) * measure.rate + mediaScale / 2) / mediaScale;
    const auto most = static_cast<unsigned __int128>(samples) * kMostFramesPerMp4Packet;
    measure.frames = uint64_t(std::min({frames, most, static_cast<unsigned __int128>(UINT64_MAX)}));
    measure.frames = std::min(measure.frames, ItunesComment(m, moov).value_or(measure.frames));
    return measure;
}

} // namespace

std::optional<uint64_t> ItunesSourceFrames(const char* comment)
{
    unsigned long long zero = 0;
    unsigned long long priming = 0;
    unsigned long long padding = 0;
    unsigned long long count = 0;
    if (std::sscanf(comment, "%llx %llx %llx %llx", &zero, &priming, &padding, &count) != 4 || count == 0)
        return std::nullopt;
    return count;
}

std::optional<Mp4Measure> MeasureMp4(ByteSource& source)
{
    const auto size = source.size();
    if (!size)
        return std::nullopt;
    // The movie box among the file's top-level boxes, wherever it is.
    for (uint64_t at = 0; *size - at >= 8;) {
        uint8_t bytes[16];
        const auto box = ReadBoxHeader(bytes, source.readAt(at, bytes, 16), *size - at);
        if (!box)
            return std::nullopt;
        if (box->type == Fourcc("moov")) {
            const uint64_t body = box->size - box->headerBytes;
            if (body < 8 || body > kLargestMovie)
                return std::nullopt;
            std::vector<uint8_t> movie(size_t(body), 0);
            if (source.readAt(at + box->headerBytes, movie.data(), movie.size()) != movie.size())
                return std::nullopt;
            return Measure(Movie(std::move(movie)), *size);
        }
        at += box->size;
    }
    return std::nullopt;
}

} // namespace audio
