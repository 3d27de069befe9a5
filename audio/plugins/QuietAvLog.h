// FFmpeg's own messages (its libraries print them to stderr by default): the
// program reports failures through its own results, so they are dropped.
#pragma once

#include <cstdarg>

namespace audio {

inline void QuietAvLog(void*, int, const char*, va_list) {}

} // namespace audio
