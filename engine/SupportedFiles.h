// The file kinds a folder scan adds, by lower-case extension.
#pragma once

#include <string>

// ".mp3", ".wav", ".ogg", ".aiff", ".mid", ".mod", ".xm", ".it", ".umx",
// ".s3m", ".stm", ".wma", ".cda", ".mp2", ".mp1".
bool HasSupportedExtension(const std::string& FileName);
