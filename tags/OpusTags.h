// The tags of an Ogg Opus file: the OpusTags packet that follows the
// OpusHead packet, read in place so that a picture in it is skipped.
#pragma once

#include <string>

#include "tags/TagAccess.h"

// False when the file cannot be opened or does not begin with an OpusHead
// packet. A file without an OpusTags packet has empty fields.
bool ReadOpusTags(const std::string& FileName, TTagNames& Names);
