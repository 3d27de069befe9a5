// Encoded audio for streams, made at test time by Debian's encoders from a
// tone that is non-zero from its very first sample, and the endless byte
// sequence a station sends of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace servers {

enum class AudioFormat {
    Mp3,    // lame, CBR 128 kbit/s, no Info frame
    Aac,    // ffmpeg's aac, 128 kbit/s, ADTS
    Vorbis, // oggenc
    Opus,   // ffmpeg's libopus in Ogg
    Wma,    // ffmpeg's wmav2 in ASF
};

struct StreamAudio {
    AudioFormat format = AudioFormat::Mp3;
    std::string path;        // the encoded file, in ProcessFolder()
    std::string contentType; // what a station sends with it
    std::string bytes;       // the file's bytes
    // bytes[0, loopBegin) go once at a stream's start (ASF's header objects);
    // bytes[loopBegin, loopEnd) go again and again: the whole MPEG or ADTS
    // frames after any ID3v2 tag, a whole Ogg file, ASF's data packets.
    size_t loopBegin = 0;
    size_t loopEnd = 0;
    double loopSeconds = 0; // the audio one loop holds

    bool ok() const { return loopEnd > loopBegin && loopSeconds > 0; }
    std::string_view head() const { return std::string_view(bytes).substr(0, loopBegin); }
    std::string_view loop() const { return std::string_view(bytes).substr(loopBegin, loopEnd - loopBegin); }
    // The pace of real time.
    double bytesPerSecond() const { return static_cast<double>(loopEnd - loopBegin) / loopSeconds; }
};

// 44100 Hz stereo, interleaved: 0.5 cos(440 Hz) left and 0.5 cos(660 Hz)
// right, so the first sample of each channel is 0.5.
std::vector<float> Tone(uint64_t frames);

// Made once per process, format and length; !ok() when the encoder is
// missing or failed.
const StreamAudio& Stream(AudioFormat format, double seconds = 4);

struct OggLink {
    std::string artist;
    std::string title;
    double seconds = 1;
};
// Chained Ogg Vorbis, one link per entry, each with its own ARTIST and TITLE
// comments; made once per process for each list.
const StreamAudio& VorbisChain(const std::vector<OggLink>& links);
// Three links of a second: "Artist One" / "Title One", "Artist Two" / ...
std::vector<OggLink> ThreeLinks();
// A link of a second whose TITLE is 10,000 bytes long ("Long " and x's).
OggLink LongTitleLink();

// The byte sequence of an endless stream: the head once, then the loop again
// and again; Ogg pages get new serial numbers in each loop after the first,
// so that every loop is a chain link of its own.
class EndlessAudio {
  public:
    explicit EndlessAudio(const StreamAudio& audio) : audio_(audio), current_(audio.head()) {}
    // The next at most `most` bytes; empty only for audio that is not ok().
    std::string_view next(size_t most);
    // Loops begun so far.
    uint64_t loops() const { return loops_; }

  private:
    const StreamAudio& audio_;
    std::string current_;
    size_t at_ = 0;
    uint64_t loops_ = 0;
};

} // namespace servers
