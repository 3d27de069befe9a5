// Audio made on the spot for tests, benchmarks and the demo playlist: our own
// writers for PCM, modules and MIDI, and Debian's encoders (lame, oggenc,
// ffmpeg, sox) for compressed audio.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

// A fresh empty folder under the system's temporary folder, unique per call.
std::string MakeTempDir(const std::string& prefix = "nilo-test");
void RemoveTree(const std::string& path);

// Deterministic test signal (interleaved), a mixture of tones with a moving
// envelope so that any offset is recognisable; amplitude below 0.8.
std::vector<float> TestSignal(uint32_t rate, uint32_t channels, uint64_t frames);
std::vector<int16_t> ToInt16(const std::vector<float>& samples);

bool WriteWav16(const std::string& path, uint32_t rate, uint32_t channels,
                const std::vector<int16_t>& samples);
bool WriteWavFloat(const std::string& path, uint32_t rate, uint32_t channels,
                   const std::vector<float>& samples);
bool WriteAiff16(const std::string& path, uint32_t rate, uint32_t channels,
                 const std::vector<int16_t>& samples);

// Tracker modules of our own making: a melody and bass on one looped sample
// at speed 6 and tempo 125; the length is seconds rounded to whole rows of
// 0.12 s (at least one row). False when that needs too many patterns.
bool WriteMod(const std::string& path, double seconds);
bool WriteS3m(const std::string& path, double seconds);
bool WriteXm(const std::string& path, double seconds);
bool WriteIt(const std::string& path, double seconds);
// Standard MIDI File, format 1, two tracks: a tempo track (one tempo event of
// 500000 us a quarter note at tick 0) and a note track (program change, notes
// in running status). Division 480 ticks a quarter note; both tracks end at
// tick T = round(seconds * 960), so the song lasts exactly T / 960 seconds.
bool WriteMidi(const std::string& path, double seconds);

// Runs a command line through /bin/sh; true when it exits 0.
bool Run(const std::string& command);
bool HaveTool(const std::string& name);
// Runs a command line and collects its standard output; true when it exits 0.
bool Capture(const std::string& command, std::string& output);
// The text as one single-quoted word for /bin/sh.
std::string ShellQuote(const std::string& text);

// Encoders; extraArgs go to the tool before the file names (for ffmpeg before
// the output name, so they are output options). False when the tool is
// missing, fails or writes nothing. lame takes input that is no WAV as raw
// samples, so EncodeMp3 fails only on a missing or unreadable input.
bool EncodeMp3(const std::string& wav, const std::string& mp3, const std::string& extraArgs = "");
bool EncodeOgg(const std::string& wav, const std::string& ogg, const std::string& extraArgs = "");
bool EncodeWma(const std::string& wav, const std::string& wma, const std::string& extraArgs = "");
// flac; FLAC in Ogg with extraArgs "--ogg".
bool EncodeFlac(const std::string& wav, const std::string& flac, const std::string& extraArgs = "");
bool EncodeOpus(const std::string& wav, const std::string& opus, const std::string& extraArgs = "");
// ffmpeg: AAC in MP4 (raw ADTS AAC when the name ends in ".aac"), ALAC in MP4.
bool EncodeM4a(const std::string& wav, const std::string& m4a, const std::string& extraArgs = "");
bool EncodeAlac(const std::string& wav, const std::string& m4a, const std::string& extraArgs = "");

// A BIN/CUE disc image of our own: one BIN of 2352-byte sectors, each audio
// track raw 16-bit little-endian stereo PCM padded with silence to whole
// sectors, a data track MODE1/2352 sectors of a fixed pattern. Titles and
// performers (UTF-8 as given) become TITLE and PERFORMER lines when not empty.
constexpr uint32_t kCdSectorFrames = 588;
struct CdImageTrack {
    std::vector<int16_t> samples; // audio: interleaved stereo
    uint32_t dataSectors = 0;     // nonzero: a data track of this many sectors
    std::string title;
    std::string performer;
};
struct CdImage {
    std::string title;
    std::string performer;
    std::vector<CdImageTrack> tracks;
};
// Writes cue and, beside it, the BIN it names (binName in the cue's folder).
bool WriteCdImage(const std::string& cue, const std::string& binName, const CdImage& image);
// The samples of track written as the BIN holds them: padded to whole sectors.
std::vector<int16_t> CdTrackSamples(const CdImageTrack& track);

} // namespace fixtures
