// The file kinds a folder scan adds, by lower-case extension.
#pragma once

#include <string>

// ".mp3", ".wav", ".ogg", ".aiff", ".mid", ".mod", ".xm", ".it", ".umx",
// ".s3m", ".stm", ".wma", ".cda", ".mp2", ".mp1", then ".flac", ".opus",
// ".m4a", ".mp4", ".aac".
bool HasSupportedExtension(const std::string& FileName);
