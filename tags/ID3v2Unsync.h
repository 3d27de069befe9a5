// Unsynchronisation of ID3v2 data: writers put a zero byte after every 0xFF
// that an old player could take for the start of an MPEG frame, and readers
// take those zeros out again.
#pragma once

#include <string>
#include <string_view>

namespace id3v2 {

// The bytes with the inserted zeros taken out. Bytes that cannot be the
// result of unsynchronisation (an 0xFF before 0xFF or a byte of 0xE0 and
// above, or, when whole, an 0xFF at the very end) come back as they are:
// some writers set the flag without applying it. A prefix cut off from
// longer data is not whole, so an 0xFF may end it.
std::string UndoUnsync(std::string_view bytes, bool whole = true);

// The reverse, for tests and fuzzers that build unsynchronised blocks.
std::string ApplyUnsync(std::string_view bytes);

} // namespace id3v2
