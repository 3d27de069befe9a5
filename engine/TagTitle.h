// The playlist's title reader: the tag fields and the duration. The duration
// comes, with FromChannel, from Current (0 = none gives an empty Duration);
// without it, from the file's own length measured on a channel of its own.
#pragma once

#include <string>

#include "engine/Tonik_utilfunc.h"
#include "tags/TagAccess.h"

// ReadTags with the duration; fails as ReadTags does.
TTagNames ReadTagsWithDuration(const std::string& Path, bool FromChannel, HSTREAM Current);
// Never fails: a file whose tags cannot be read shows its file name and its
// length.
TTagNames ReadTitleTags(const std::string& Path, bool FromChannel, HSTREAM Current);
