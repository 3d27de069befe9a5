// The audio library's public interface: output device, channels created from
// files, and channel control. Every call is made from one thread (the
// program's UI thread); decoding and output run on the library's own threads.
// Handle 0 is "no channel": every call accepts it and does nothing / yields 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

using Handle = uint32_t;

// The output's rate: channels are converted to it and mixed in stereo float.
constexpr uint32_t kOutputRate = 44100;

// Flag bits of the creation calls.
constexpr uint32_t kFloatSamples = 256;       // byte counts use 4-byte float samples (else 2)
constexpr uint32_t kModuleInterpolate = 0x200; // normal interpolation for modules
constexpr uint32_t kExactLength = 0x20000;    // compute the exact length when opening
constexpr uint32_t kMeasureOnly = 0x100000;   // module or file opened only to read its length
constexpr uint32_t kUrlNoKeep = 0x100000;     // URL stream without keeping the whole download

// Channel type codes. Modules use 0x20000..0x20004 (the release call for
// modules is chosen by them); every other code is a stream.
enum TypeCode : uint32_t {
    kTypeModMod = 0x20000,
    kTypeModMtm = 0x20001,
    kTypeModS3m = 0x20002,
    kTypeModXm = 0x20003,
    kTypeModIt = 0x20004,
    kTypeWav = 0x30001,
    kTypeAiff = 0x30002,
    kTypeMp1 = 0x30003,
    kTypeMp2 = 0x30004,
    kTypeMp3 = 0x30005,
    kTypeOgg = 0x30006,
    kTypeAac = 0x30007,
    kTypeOpus = 0x30008,
    kTypeFlac = 0x30009,
    kTypeAlac = 0x3000A,
    kTypeWma = 0x40000,
    kTypeMidi = 0x50000,
    kTypeCd = 0x60000,
    kTypeUrl = 0x70000,
};

// Channel information record: six 32-bit values.
struct ChannelInfo {
    uint32_t flags = 0;
    uint32_t rate = 0;     // sample rate in Hz
    uint32_t channels = 0; // channel count
    uint32_t bits = 0;     // 32 for float channels, else 16
    uint32_t type = 0;     // TypeCode
    uint32_t reserved = 0;
    uint32_t sourceBits = 0; // Decoder::sourceBits of a file channel
};

// Which creation call made a channel.
enum class ChannelKind { None, File, Wma, Cd, Module, Midi, Url };

// Channel activity.
constexpr int kStopped = 0; // stopped, ended, or no channel
constexpr int kPlaying = 1;
constexpr int kPaused = 3;

// Library-wide settings (the value is kept; unknown options are ignored).
void configure(uint32_t option, uint32_t value);
// The value last given to configure for option, 0 when never set.
uint32_t configuration(uint32_t option);

// Opens the output device (device -1 = default, else SDL's device index)
// and starts it. The library mixes at 44100 Hz stereo float: rate must be
// 44100 (or 0) and flags may only hold kFloatSamples. False when no device
// can be opened; true when it is open already.
bool openOutput(int device, uint32_t rate, uint32_t flags);
// Closes the device and releases every channel (tests, program end).
void closeOutput();
// Stops all output / starts it again (channels keep their state).
void stopOutput();
void startOutput();
// Gives the sound device back while nothing plays; startOutput and play open
// it again.
void suspendOutput();

// Output blocks since the output was opened in which a playing channel had
// fewer frames ready than the block needed (silence was played instead).
uint64_t underruns();

// Nonzero when floating-point output is available.
uint32_t probeFloatOutput();

// Creation calls: a channel handle, or 0 when the content is not of the kind.
// Creating never touches the output device; only play() does.
Handle openFileChannel(const std::string& path, uint64_t offset, uint64_t length, uint32_t flags);
Handle openWmaChannel(const std::string& nameOrUrl, uint32_t flags);
// An audio CD track: a drive (a CD device such as /dev/sr0, or a BIN/CUE
// image such as disc.cue), "/", and "Track" + at least two digits + ".cda".
// Its length is exact and it seeks to the sample; the drive is read on a
// thread of its own, so a slow drive never holds up another channel. A data
// track, or a path that names no track, gives 0.
Handle openCdChannel(const std::string& trackFile, uint32_t flags);
Handle openModuleChannel(const std::string& path, uint64_t offset, uint64_t length, uint32_t flags,
                         uint32_t rate);
Handle openMidiChannel(const std::string& path, uint64_t offset, uint64_t length, uint32_t flags,
                       uint32_t rate);
// A stream from an http:// or https:// address, made at once: it connects and
// buffers on threads of its own, so a server that stalls never holds up the
// caller, the output or another channel. Its rate, channel count and type are
// 0 until its first frames are decoded; its length is kUnknownLength and it
// cannot seek. openWmaChannel takes addresses too, for ASF streams only.
Handle openUrlChannel(const std::string& address, uint32_t flags);

// The CD drives libcdio finds, as paths; empty when there is none.
std::vector<std::string> cdDrives();
// The number of tracks (audio and data) on the disc in a drive or image;
// -1 when there is no disc or it cannot be read.
int cdTrackCount(const std::string& drive);
// The disc's own text for a track path, as UTF-8: CD-Text on a drive, the
// TITLE and PERFORMER lines of a CUE sheet. False when the disc has neither
// a title nor a performer for the track (either may be empty on true).
struct CdTrackText {
    std::string performer;
    std::string title;
};
bool cdTrackText(const std::string& trackFile, CdTrackText& text);

// The length of a channel whose end is not known (a stream); its seconds are -1.
constexpr uint64_t kUnknownLength = ~uint64_t{0};

// How full a URL channel's pre-buffer is, in percent; 100 also once the
// stream has ended with audio buffered. -1 when the stream failed, and for
// every other channel.
int streamBufferedPercent(Handle h);

// A dropped connection is made again at most this many times within 30 s.
constexpr int kStreamReconnects = 3;

struct StreamStatus {
    bool failed = false;  // unreachable, no audio we know, or ended before any
    bool ended = false;   // nothing more will come (what is buffered still plays)
    int reconnecting = 0; // the reconnection under way, 1..kStreamReconnects; 0 while connected
    int reconnects = 0;   // reconnections so far
    std::string station;  // the server's name for itself (icy-name), as shown
    std::string title;    // the latest title the stream gave, as shown
    uint32_t titleChanges = 0;
    std::string address;  // what answered, after redirects and playlist links
    std::string contentType;
    std::string error;    // why it failed or ended
};
// False for a channel that is no URL stream.
bool streamStatus(Handle h, StreamStatus& status);

bool channelInfo(Handle h, ChannelInfo& info);
ChannelKind channelKind(Handle h);
// Each frees only its own kind: releaseModule the channels of
// openModuleChannel, releaseStream all others; false (nothing freed) else.
bool releaseStream(Handle h);
bool releaseModule(Handle h);

// Lengths and positions in bytes of the decoded PCM at the channel's own rate
// and channel count (4 bytes a sample with kFloatSamples, else 2).
uint64_t lengthBytes(Handle h);
uint64_t positionBytes(Handle h);
double bytesToSeconds(Handle h, uint64_t bytes);
bool seekBytes(Handle h, uint64_t position);

int activity(Handle h);
// Resumes from the position (from 0 with restart, or once the channel has
// ended). False while no output is open and for measure-only channels.
bool play(Handle h, bool restart);
bool pause(Handle h);
// Keeps the position.
bool stop(Handle h);
// Gapless hand-over: when current plays to its end, next starts playing on
// the following sample of the same output block. next 0 drops what was
// queued. False, and nothing queued, for an unknown current or a next that
// is unknown, playing or measure-only. Only current reaching its end starts
// next; releasing current drops what was queued.
bool queueNext(Handle current, Handle next);

// rate -1, volume -1 (0..100) and pan -101 (-100..100) leave a value
// unchanged. The rate (100..1000000 Hz) is the one the channel's samples are
// played at; pan is a balance (-100 silences the right side). False, and
// nothing changed, when a value is out of range.
bool setAttributes(Handle h, int rate, int volume, int pan);
// Any pointer may be null. A new channel plays at its own rate, volume 100,
// pan 0.
bool readAttributes(Handle h, uint32_t* rate, int* volume, int* pan);

// Pulls the next frames of what the channel would send to the device
// (44100 Hz stereo float, volume and pan applied) from a channel that is not
// playing. Returns the frames written; fewer than asked only at the end (0
// for a playing or measure-only channel).
size_t renderOutput(Handle h, float* stereo, size_t frames);

} // namespace audio
