// Tag reading for display texts that never fails: a file whose tags cannot be
// read shows its file name and its length.
#pragma once

#include <string>

#include "engine/Tonik_utilfunc.h"
#include "tags/TagAccess.h"

TTagNames ReadTitleTags(const std::string& Path, bool FromChannel, HSTREAM Current);
