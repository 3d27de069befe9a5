// The seventeen frames the ID3v2 class knows, and how its fields come from
// them: the reader and the save's check of what it is about to write share
// this.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tags/ID3v2Frames.h"

class TID3v2;

namespace id3v2 {

constexpr int kFrameCount = 17;
// The first twelve are the ones a save writes.
constexpr int kWrittenFrames = 12;

enum Frame { fTitle, fArtist, fAlbum, fTrack, fYear, fGenre, fComment, fComposer, fEncoder, fCopyright,
             fLanguage, fLink, fRecordingTime, fOriginalArtist, fContentGroup, fOriginalAlbum, fSize };

constexpr std::array<const char*, kFrameCount> kFrameIds = {
    "TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM", "TCOM", "TENC",
    "TCOP", "TLAN", "WXXX", "TDRC", "TOPE", "TIT1", "TOAL", "TSIZ"};
constexpr std::array<const char*, kFrameCount> kFrameIdsV22 = {
    "TT2", "TP1", "TAL", "TRK", "TYE", "TCO", "COM", "TCM", "TEN",
    "TCR", "TLA", "WXX", "TOR", "TOA", "TT1", "TOT", "TSI"};

// Each known frame's first 500 data bytes, zero-padded to 500, and the
// place of the frame it came from in the walk (-1 for none).
struct FrameScan {
    std::array<std::string, kFrameCount> values;
    std::array<int64_t, kFrameCount> from;
};

// Walks the frames of a block whose header has the given version and flags.
// A later frame replaces an earlier one, except that a comment with a
// description (iTunes keeps its figures in such) never replaces one without.
// Only frames of a known kind are read. Slots, when given, gets every frame.
// A read failure ends the walk with what was found.
FrameScan ScanFrames(BlockBody& body, uint8_t version, uint8_t flags, std::vector<FrameSlot>* slots);

// Sets the text fields and Track of tag from what the scan found.
void Derive(TID3v2& tag, const FrameScan& scan);

} // namespace id3v2
