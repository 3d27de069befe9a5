// The tags of a FLAC file: the VORBIS_COMMENT metadata block, found by
// walking the blocks by their sizes (pictures are passed over), in a native
// file or in FLAC in Ogg.
#pragma once

#include <string>

#include "tags/TagAccess.h"

// False when the file cannot be opened or is not FLAC. A file without a
// comment block has empty fields.
bool ReadFlacTags(const std::string& FileName, TTagNames& Names);
