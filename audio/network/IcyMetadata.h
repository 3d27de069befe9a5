// ICY metadata: a server asked with "Icy-MetaData: 1" that answers with
// "icy-metaint: N" puts, after every N bytes of audio, one length byte L and
// then L * 16 bytes of text such as "StreamTitle='Artist - Title';".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace audio {

// Longest title shown, in characters; a longer one is cut there.
constexpr size_t kMostStreamTextCharacters = 200;

// Splits a response body into its audio and its metadata blocks, across
// any division of the body into pieces.
class IcyDemuxer {
  public:
    using AudioSink = std::function<void(const uint8_t* bytes, size_t size)>;
    using MetadataSink = std::function<void(std::string_view block)>;

    // interval 0: the body is all audio.
    explicit IcyDemuxer(size_t interval) : interval_(interval), audioLeft_(interval) {}

    // Audio goes to onAudio in order, in as few calls as the pieces allow;
    // each whole metadata block (L > 0) goes to onMetadata once it is in.
    void feed(const uint8_t* bytes, size_t size, const AudioSink& onAudio, const MetadataSink& onMetadata);

  private:
    enum class Part { Audio, Length, Block };

    size_t interval_;
    size_t audioLeft_;
    Part part_ = Part::Audio;
    size_t blockLeft_ = 0;
    std::string block_;
};

// The raw value of StreamTitle in a metadata block (trailing NUL padding
// allowed); nothing when the block has none or it is malformed. A value may
// hold quotes and semicolons: it ends at the "';" followed by the block's
// end or by the next "Key='".
std::optional<std::string> StreamTitleOf(std::string_view block);

// Text from a server (a title, an icy-name) as shown: its bytes are UTF-8
// when they are valid UTF-8, else the legacy code page; control characters
// become spaces, runs of spaces one, the ends are trimmed, and it is cut to
// kMostStreamTextCharacters characters. Nothing when that leaves it empty.
std::optional<std::string> CleanStreamText(std::string_view raw);

} // namespace audio
