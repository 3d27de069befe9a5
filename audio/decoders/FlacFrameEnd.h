// Where a native FLAC stream's last frame ends, read from the file's tail
// instead of by a seek of the decoder: the claimed sample count is confirmed
// when the tail is one whole frame, header and footer checksums intact,
// whose samples end there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace audio {

// The samples before the end of the frame that ends exactly at tail + size,
// found by walking back from the end to a frame header; nothing when the
// tail ends in no whole, intact frame. `fixedBlock` is the stream's block
// size when it is fixed (the header then counts frames, not samples).
std::optional<uint64_t> FlacFrameEnd(const uint8_t* tail, size_t size, uint32_t fixedBlock);

} // namespace audio
