// Character-wise operations on UTF-8 text for the status displays.
#pragma once

#include <cstddef>
#include <string>

size_t Utf8Length(const std::string& Text);
// Count characters from character Start (0-based), cut at the end.
std::string Utf8Mid(const std::string& Text, size_t Start, size_t Count);
std::string Utf8Upper(const std::string& Text);
std::string Utf8Lower(const std::string& Text);
