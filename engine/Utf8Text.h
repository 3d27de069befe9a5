// Character-wise operations on UTF-8 text for the status displays: counting
// and cutting come from the text codec, the case mapping of every script from
// Qt.
#pragma once

#include <string>

#include "platform/CodePage.h"

using platform::Utf8Length;
using platform::Utf8Mid;

std::string Utf8Upper(const std::string& Text);
std::string Utf8Lower(const std::string& Text);
