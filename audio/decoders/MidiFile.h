// Standard MIDI Files (formats 0, 1 and 2, the last played like 1): the
// events of all tracks in time order and the timing that places them, from
// which the song's exact length follows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace audio {

struct MidiEvent {
    uint64_t tick = 0;
    uint8_t status = 0; // channel message status, or 0xF0 for SysEx
    uint8_t data1 = 0;
    uint8_t data2 = 0;
    uint32_t sysexOffset = 0; // into MidiSong::sysex, without F0 and the closing F7
    uint32_t sysexLength = 0;
};

struct MidiTempoChange {
    uint64_t tick = 0;
    uint32_t microsPerQuarter = 500000;
};

class MidiSong {
  public:
    std::vector<MidiEvent> events; // channel messages and SysEx, by tick, then track
    std::vector<uint8_t> sysex;
    uint64_t endTick = 0; // the last track end

    // Frame index at `rate` of the moment `tick` falls on.
    uint64_t frameAt(uint64_t tick, uint32_t rate) const;
    uint64_t lengthFrames(uint32_t rate) const { return frameAt(endTick, rate); }

    void setTiming(uint16_t division, std::vector<MidiTempoChange> tempos);

  private:
    // Ticks per quarter note, or 0 for SMPTE time.
    uint32_t ticksPerQuarter_ = 96;
    // SMPTE time: ticks per second as a fraction.
    uint64_t ticksPerSecondNum_ = 0;
    uint64_t ticksPerSecondDen_ = 1;
    std::vector<MidiTempoChange> tempos_;
    // Time at each tempo change in units of 1 / (ticksPerQuarter * 10^6) s.
    std::vector<unsigned __int128> tempoTimes_;
};

// nothing when the data is not a Standard MIDI File (plain, or wrapped in an
// RMID file); a damaged file gives the events before the damage.
std::optional<MidiSong> ParseMidiFile(const uint8_t* data, size_t size);

} // namespace audio
