// The tags of an MP4 file (AAC or ALAC in .m4a, .mp4): the items of
// moov/udta/meta/ilst, found by walking the atoms by their sizes; a cover
// and every other item not shown is passed over, not read.
#pragma once

#include <string>

#include "tags/TagAccess.h"

// False when the file cannot be opened or does not begin with an ftyp atom.
// Title, Artist, Album, Year, Track, Genre and Comment, UTF-8.
bool ReadMP4Tags(const std::string& FileName, TTagNames& Names);
