// Name=value lines of tag fields: one field a line, UTF-8, with CR and LF in
// values written as \r and \n so that every field stays on its line.
#pragma once

#include <array>
#include <cstdio>
#include <string>

#include "tags/TagAccess.h"

struct TagNameField {
    const char* name;
    std::string TTagNames::*member;
};

// The fields of TTagNames in the record's order.
extern const std::array<TagNameField, 13> kTagNameFields;

std::string EscapeLineBreaks(const std::string& text);
void PrintField(std::FILE* out, const std::string& name, const std::string& value);
void PrintTagNames(std::FILE* out, const TTagNames& names);
