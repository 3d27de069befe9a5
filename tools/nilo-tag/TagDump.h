// Every field of a tag class after ReadFromFile, as Name=value lines in the
// order of the class's fields: booleans 0/1, numbers decimal, texts UTF-8.
#pragma once

#include <cstdio>
#include <string>

#include "tags/TagAccess.h"

// The ReadFromFile result; the fields are printed either way.
bool DumpTag(TagKind Kind, const std::string& FileName, std::FILE* out);
