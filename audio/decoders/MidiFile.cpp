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

class TrackReader {
  public:
    TrackReader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool atEnd() const { return p_ >= end_; }
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
    const uint8_t* p_;
    const uint8_t* end_;
};

int DataBytes(uint8_t status)
{
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Reads one track's events into the song; stops quietly at damage, keeping
// what came before. Returns the track's end tick.
uint64_t ReadTrack(const uint8_t* data, size_t size, MidiSong& song, std::vector<MidiTempoChange>& tempos)
{
    TrackReader in(data, size);
    uint64_t tick = 0;
    uint8_t running = 0;
    while (!in.atEnd()) {
        uint32_t delta = 0;
        uint8_t b = 0;
        if (!in.quantity(delta) || !in.byte(b))
            break;
        tick += delta;
        if (b == 0xFF) {
            uint8_t type = 0;
            uint32_t length = 0;
            const uint8_t* body = nullptr;
            if (!in.byte(type) || !in.quantity(length) || !in.bytes(length, body))
                break;
            if (type == 0x2F)
                return tick;
            if (type == 0x51 && length >= 3)
                tempos.push_back({tick, std::max<uint32_t>(BigEndian(body, 3), 1)});
            continue;
        }
        if (b == 0xF0 || b == 0xF7) {
            uint32_t length = 0;
            const uint8_t* body = nullptr;
            if (!in.quantity(length) || !in.bytes(length, body))
                break;
            if (b == 0xF0) {
                const uint32_t kept = length > 0 && body[length - 1] == 0xF7 ? length - 1 : length;
                MidiEvent e;
                e.tick = tick;
                e.status = 0xF0;
                e.sysexOffset = static_cast<uint32_t>(song.sysex.size());
                e.sysexLength = kept;
                song.sysex.insert(song.sysex.end(), body, body + kept);
                song.events.push_back(e);
            }
            continue;
        }
        MidiEvent e;
        e.tick = tick;
        if (b & 0x80) {
            if (b >= 0xF0)
                break;
            running = b;
            if (!in.byte(e.data1))
                break;
        } else {
            if (running == 0)
                break;
            e.data1 = b;
        }
        e.status = running;
        if (DataBytes(running) == 2 && !in.byte(e.data2))
            break;
        if ((e.data1 | e.data2) & 0x80)
            break;
        song.events.push_back(e);
    }
    return tick;
}

// An RMID file wraps a Standard MIDI File in its RIFF "data" chunk; other
// data is taken as it is.
std::pair<const uint8_t*, size_t> Unwrapped(const uint8_t* data, size_t size)
{
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "RMID", 4) != 0)
        return {data, size};
    for (size_t at = 12; size - at >= 8;) {
        const uint32_t claimed = data[at + 4] | data[at + 5] << 8 | data[at + 6] << 16
            | static_cast<uint32_t>(data[at + 7]) << 24;
        const size_t length = std::min<size_t>(claimed, size - at - 8);
        if (std::memcmp(data + at, "data", 4) == 0)
            return {data + at + 8, length};
        at += std::min<size_t>(8 + length + (length & 1), size - at);
    }
    return {data, 0};
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

std::optional<MidiSong> ParseMidiFile(const uint8_t* wrapped, size_t wrappedSize)
{
    const auto [data, size] = Unwrapped(wrapped, wrappedSize);
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
    uint32_t found = 0;
    while (found < tracks && size - at >= 8) {
        const uint32_t claimed = BigEndian(data + at + 4, 4);
        const bool isTrack = std::memcmp(data + at, "MTrk", 4) == 0;
        const size_t length = std::min<size_t>(claimed, size - at - 8);
        if (isTrack) {
            song.endTick = std::max(song.endTick, ReadTrack(data + at + 8, length, song, tempos));
            ++found;
        }
        at += 8 + length;
    }
    if (found == 0)
        return std::nullopt;
    std::stable_sort(song.events.begin(), song.events.end(),
                     [](const MidiEvent& a, const MidiEvent& b) { return a.tick < b.tick; });
    song.setTiming(division, std::move(tempos));
    return song;
}

} // namespace audio
