// The kinds of audio a network stream may carry, told apart by their first
// bytes (and ordered by the server's Content-Type).
#pragma once

namespace audio {

enum class StreamKind { Mp3, Aac, OggVorbis, OggOpus, Asf };

} // namespace audio
