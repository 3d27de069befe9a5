// Channels of network streams: the creation calls for addresses and what
// the program asks of a stream while it plays.
#pragma once

#include <string>

#include "AudioLibrary.h"

namespace audio {

// http:// or https:// (the scheme in lower case, as the program writes it).
bool IsStreamAddress(const std::string& address);
// A channel of kind Url (any stream) or Wma (ASF streams only).
Handle OpenStreamChannel(const std::string& address, ChannelKind kind, uint32_t flags);

} // namespace audio
