#include "audio/decoders/MidiFile.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace audio {
namespace {

uint32_t BigEndian(const uint8_t* p, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

int DataBytes(uint8_t status)
{
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

class TrackReader {
  public:
    TrackReader(const uint8_t*& at, const uint8_t* end) : p_(at), end_(end) {}
    bool byte(uint8_t& b)
    {
        if (p_ >= end_)
            return false;
        b = *p_++;
        return true;
    }
    // Variable-length quantities have at most four bytes.
    bool quantity(uint32_t& v)
    {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b = 0;
            if (!byte(b))
                return false;
            v = (v << 7) | (b & 0x7F);
            if ((b & 0x80) == 0)
                return true;
        }
        return false;
    }
    bool bytes(uint32_t count, const uint8_t*& at)
    {
        if (count > static_cast<size_t>(end_ - p_))
            return false;
        at = p_;
        p_ += count;
        return true;
    }

  private:
    const uint8_t*& p_;
    const uint8_t* end_;
};

struct Meta {
    uint8_t type = 0;
    const uint8_t* body = nullptr;
    uint32_t length = 0;
};

enum class Item { Event, Meta, End };

// The next item of a track from `at`: a channel message or SysEx, a meta
// event other than the track's end, or the end (its end event, the end of
// its bytes, or damage). `tick` and `running` carry the track's state.
Item ReadItem(const uint8_t*& at, const uint8_t* end, uint64_t& tick, uint8_t& running, MidiEvent& e, Meta& meta)
{
    TrackReader in(at, end);
    for (;;) {
        uint32_t delta = 0;
        uint8_t b = 0;
        if (!in.quantity(delta) || !in.byte(b))
            return Item::End;
        tick += delta;
        if (b == 0xFF) {
            if (!in.byte(meta.type) || !in.quantity(meta.length) || !in.bytes(meta.length, meta.body)
                || meta.type == 0x2F)
                return Item::End;
            return Item::Meta;
        }
        if (b == 0xF0 || b == 0xF7) {
            uint32_t length = 0;
            const uint8_t* body = nullptr;
            if (!in.quantity(length) || !in.bytes(length, body))
                return Item::End;
            if (b == 0xF7)
                continue;
            e = MidiEvent{};
            e.tick = tick;
            e.status = 0xF0;
            e.sysex = body;
            e.sysexLength = length > 0 && body[length - 1] == 0xF7 ? length - 1 : length;
            return Item::Event;
        }
        e = MidiEvent{};
        e.tick = tick;
        if (b & 0x80) {
            if (b >= 0xF0)
                return Item::End;
            running = b;
            if (!in.byte(e.data1))
                return Item::End;
        } else {
            if (running == 0)
                return Item::End;
            e.data1 = b;
        }
        e.status = running;
        if (DataBytes(running) == 2 && !in.byte(e.data2))
            return Item::End;
        if ((e.data1 | e.data2) & 0x80)
            return Item::End;
        return Item::Event;
    }
}

// An RMID file wraps a Standard MIDI File in its RIFF "data" chunk; other
// data is taken as it is. Returns the offset and length of the file.
std::pair<size_t, size_t> Unwrapped(const uint8_t* data, size_t size)
{
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "RMID", 4) != 0)
        return {0, size};
    for (size_t at = 12; size - at >= 8;) {
        const uint32_t claimed = data[at + 4] | data[at + 5] << 8 | data[at + 6] << 16
            | static_cast<uint32_t>(data[at + 7]) << 24;
        const size_t length = std::min<size_t>(claimed, size - at - 8);
        if (std::memcmp(data + at, "data", 4) == 0)
            return {at + 8, length};
        at += std::min<size_t>(8 + length + (length & 1), size - at);
    }
    return {0, 0};
}

} // namespace

void MidiSong::setTiming(uint16_t division, std::vector<MidiTempoChange> tempos)
{
    if (division & 0x8000) {
        const int fps = -static_cast<int8_t>(division >> 8);
        const uint32_t perFrame = division & 0xFF;
        ticksPerQuarter_ = 0;
        // 29 stands for 29.97 frames a second (drop frame).
        ticksPerSecondNum_ = fps == 29 ? uint64_t(perFrame) * 30000 : uint64_t(perFrame) * fps;
        ticksPerSecondDen_ = fps == 29 ? 1001 : 1;
        return;
    }
    ticksPerQuarter_ = division;
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const MidiTempoChange& a, const MidiTempoChange& b) { return a.tick < b.tick; });
    tempos.insert(tempos.begin(), MidiTempoChange{0, 500000});
    tempos_ = std::move(tempos);
    tempoTimes_.assign(tempos_.size(), 0);
    for (size_t i = 1; i < tempos_.size(); ++i)
        tempoTimes_[i] = tempoTimes_[i - 1]
            + static_cast<unsigned __int128>(tempos_[i].tick - tempos_[i - 1].tick) * tempos_[i - 1].microsPerQuarter;
}

uint64_t MidiSong::frameAt(uint64_t tick, uint32_t rate) const
{
    if (ticksPerQuarter_ == 0)
        return static_cast<uint64_t>(static_cast<unsigned __int128>(tick) * rate * ticksPerSecondDen_
                                     / ticksPerSecondNum_);
    const auto next = std::upper_bound(tempos_.begin(), tempos_.end(), tick,
                                       [](uint64_t t, const MidiTempoChange& c) { return t < c.tick; });
    const size_t i = static_cast<size_t>(next - tempos_.begin()) - 1;
    const unsigned __int128 time
        = tempoTimes_[i] + static_cast<unsigned __int128>(tick - tempos_[i].tick) * tempos_[i].microsPerQuarter;
    return static_cast<uint64_t>(time * rate / (static_cast<unsigned __int128>(ticksPerQuarter_) * 1000000u));
}

MidiEventReader::MidiEventReader(const MidiSong& song)
{
    const auto* base = reinterpret_cast<const uint8_t*>(song.data_.data());
    cursors_.resize(song.tracks_.size());
    for (size_t i = 0; i < cursors_.size(); ++i) {
        cursors_[i].at = base + song.tracks_[i].offset;
        cursors_[i].end = cursors_[i].at + song.tracks_[i].length;
        if (advance(cursors_[i]))
            push(i);
    }
}

bool MidiEventReader::advance(Cursor& c)
{
    Meta meta;
    for (;;) {
        switch (ReadItem(c.at, c.end, c.tick, c.running, c.pending, meta)) {
        case Item::Event:
            return true;
        case Item::Meta:
            continue;
        case Item::End:
            c.at = c.end;
            return false;
        }
    }
}

bool MidiEventReader::later(size_t a, size_t b) const
{
    const uint64_t ta = cursors_[a].pending.tick;
    const uint64_t tb = cursors_[b].pending.tick;
    return ta != tb ? ta > tb : a > b;
}

void MidiEventReader::push(size_t track)
{
    heap_.push_back(track);
    std::push_heap(heap_.begin(), heap_.end(), [this](size_t a, size_t b) { return later(a, b); });
}

bool MidiEventReader::next(MidiEvent& event)
{
    if (heap_.empty())
        return false;
    std::pop_heap(heap_.begin(), heap_.end(), [this](size_t a, size_t b) { return later(a, b); });
    const size_t track = heap_.back();
    heap_.pop_back();
    event = cursors_[track].pending;
    if (advance(cursors_[track]))
        push(track);
    return true;
}

std::optional<MidiSong> ParseMidiFile(std::string bytes)
{
    const auto* whole = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto [offset, size] = Unwrapped(whole, bytes.size());
    const uint8_t* data = whole + offset;
    if (size < 14 || std::memcmp(data, "MThd", 4) != 0)
        return std::nullopt;
    const uint32_t headerLength = BigEndian(data + 4, 4);
    const uint32_t format = BigEndian(data + 8, 2);
    const uint32_t tracks = BigEndian(data + 10, 2);
    const uint16_t division = static_cast<uint16_t>(BigEndian(data + 12, 2));
    if (headerLength < 6 || headerLength > size - 8 || format > 2 || tracks == 0 || division == 0)
        return std::nullopt;
    if (division & 0x8000) {
        const int fps = -static_cast<int8_t>(division >> 8);
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || (division & 0xFF) == 0)
            return std::nullopt;
    }

    MidiSong song;
    std::vector<MidiTempoChange> tempos;
    size_t at = 8 + headerLength;
    while (song.tracks_.size() < tracks && size - at >= 8) {
        const uint32_t claimed = BigEndian(data + at + 4, 4);
        const size_t length = std::min<size_t>(claimed, size - at - 8);
        if (std::memcmp(data + at, "MTrk", 4) == 0) {
            song.tracks_.push_back({offset + at + 8, length});
            const uint8_t* p = data + at + 8;
            uint64_t tick = 0;
            uint8_t running = 0;
            MidiEvent e;
            Meta meta;
            for (Item item; (item = ReadItem(p, data + at + 8 + length, tick, running, e, meta)) != Item::End;) {
                if (item == Item::Event) {
                    song.lastEventTick = std::max(song.lastEventTick, tick);
                    ++song.eventCount;
                } else if (meta.type == 0x51 && meta.length >= 3) {
                    tempos.push_back({tick, std::max<uint32_t>(BigEndian(meta.body, 3), 1)});
                }
            }
            song.endTick = std::max(song.endTick, tick);
        }
        at += 8 + length;
    }
    if (song.tracks_.empty())
        return std::nullopt;
    song.setTiming(division, std::move(tempos));
    song.data_ = std::move(bytes);
    return song;
}

std::optional<MidiSong> ParseMidiFile(const uint8_t* data, size_t size)
{
    return ParseMidiFile(std::string(reinterpret_cast<const char*>(data), size));
}

} // namespace audio
