// Feeds arbitrary bytes, and MIDI files assembled from the input as tracks
// of any claimed length, to the MIDI file reader: it ends, its events come in
// time order and as many as it counted, and its times are bounded by the
// song's end.
// fuzz-sources: audio/decoders/MidiFile.cpp
#include <cstdint>
#include <string>

#include "audio/decoders/MidiFile.h"
#include "tests/fuzz/FuzzFile.h"

using fuzzfile::Check;

namespace {

std::string Be(uint32_t v, int bytes) {
    std::string s;
    for (int i = bytes - 1; i >= 0; --i) s += char(v >> (8 * i));
    return s;
}

// A header of the input's format and division, then tracks: a length byte
// and that many bytes of body each; a length of 0xFF makes the chunk claim
// far more than follows.
std::string Assemble(const std::string& input) {
    if (input.size() < 3) return input;
    std::string tracks;
    uint16_t count = 0;
    for (size_t at = 3; at < input.size(); ++count) {
        const size_t length = std::min<size_t>(uint8_t(input[at]), input.size() - at - 1);
        const uint32_t claimed = uint8_t(input[at]) == 0xFF ? 0x7FFFFFF0u : uint32_t(length);
        tracks += "MTrk" + Be(claimed, 4) + input.substr(at + 1, length);
        at += 1 + length;
    }
    const uint16_t division = uint16_t(uint8_t(input[1]) << 8 | uint8_t(input[2]));
    return "MThd" + Be(6, 4) + Be(uint8_t(input[0]) % 3, 2) + Be(count, 2) + Be(division, 2) + tracks;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string bytes = (data[0] & 1) ? Assemble(input) : input;
    const auto song = audio::ParseMidiFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (!song) return 0;
    Check(song->eventCount <= bytes.size(), "an event takes at least a byte");
    Check(song->lastEventTick <= song->endTick, "events end by the song's end");
    audio::MidiEventReader reader(*song);
    size_t count = 0;
    uint64_t tick = 0;
    uint64_t frame = 0;
    for (audio::MidiEvent e; reader.next(e); ++count) {
        Check(count < song->eventCount, "no more events than counted");
        Check(e.tick >= tick, "events in time order");
        Check(e.tick <= song->lastEventTick, "no event after the last");
        const uint64_t at = song->frameAt(e.tick, 44100);
        Check(at >= frame, "frames in time order");
        tick = e.tick;
        frame = at;
        if (e.status == 0xF0) {
            Check(e.sysexLength == 0 || e.sysex != nullptr, "SysEx bytes are in the song");
        } else {
            Check(e.status >= 0x80 && e.status < 0xF0, "a channel message");
            Check(e.data1 < 0x80 && e.data2 < 0x80, "data bytes below 0x80");
        }
    }
    Check(count == song->eventCount, "as many events as counted");
    Check(song->lengthFrames(44100) >= frame, "the length reaches the last event");
    return 0;
}
