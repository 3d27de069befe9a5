// Standard MIDI Files (formats 0, 1 and 2, the last played like 1): the
// timing that places their events, from which the song's exact length
// follows, and a reader that merges the tracks' events in time order. The
// events stay in the file's own bytes: a song takes little more memory than
// its file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace audio {

struct MidiEvent {
    uint64_t tick = 0;
    uint8_t status = 0; // channel message status, or 0xF0 for SysEx
    uint8_t data1 = 0;
    uint8_t data2 = 0;
    const uint8_t* sysex = nullptr; // in the song's bytes, without F0 and the closing F7
    uint32_t sysexLength = 0;
};

struct MidiTempoChange {
    uint64_t tick = 0;
    uint32_t microsPerQuarter = 500000;
};

class MidiSong {
  public:
    uint64_t endTick = 0;       // the last track end
    uint64_t lastEventTick = 0; // the last channel message or SysEx
    size_t eventCount = 0;

    // Frame index at `rate` of the moment `tick` falls on.
    uint64_t frameAt(uint64_t tick, uint32_t rate) const;
    uint64_t lengthFrames(uint32_t rate) const { return frameAt(endTick, rate); }

  private:
    friend class MidiEventReader;
    friend std::optional<MidiSong> ParseMidiFile(std::string data);
    void setTiming(uint16_t division, std::vector<MidiTempoChange> tempos);

    struct Track {
        size_t offset = 0;
        size_t length = 0;
    };
    std::string data_;
    std::vector<Track> tracks_;
    // Ticks per quarter note, or 0 for SMPTE time.
    uint32_t ticksPerQuarter_ = 96;
    // SMPTE time: ticks per second as a fraction.
    uint64_t ticksPerSecondNum_ = 0;
    uint64_t ticksPerSecondDen_ = 1;
    std::vector<MidiTempoChange> tempos_;
    // Time at each tempo change in units of 1 / (ticksPerQuarter * 10^6) s.
    std::vector<unsigned __int128> tempoTimes_;
};

// The song's channel messages and SysEx by tick, then by track, then in
// track order; a track's events end at its damage.
class MidiEventReader {
  public:
    explicit MidiEventReader(const MidiSong& song);
    // False once every track has ended.
    bool next(MidiEvent& event);

  private:
    struct Cursor {
        const uint8_t* at = nullptr;
        const uint8_t* end = nullptr;
        uint64_t tick = 0;
        uint8_t running = 0;
        MidiEvent pending;
    };
    bool advance(Cursor& c);
    void push(size_t track);
    // Whether track a's pending event comes after track b's.
    bool later(size_t a, size_t b) const;

    std::vector<Cursor> cursors_;
    std::vector<size_t> heap_; // tracks with a pending event, earliest first
};

// Nothing when the data is not a Standard MIDI File (plain, or wrapped in an
// RMID file); a damaged file gives the events before the damage.
std::optional<MidiSong> ParseMidiFile(std::string data);
std::optional<MidiSong> ParseMidiFile(const uint8_t* data, size_t size);

} // namespace audio
