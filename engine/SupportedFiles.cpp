#include "engine/SupportedFiles.h"

#include <algorithm>
#include <array>
#include <string_view>

bool HasSupportedExtension(const std::string& FileName) {
    static constexpr std::array<std::string_view, 20> kExtensions = {
        ".mp3", ".wav", ".ogg",  ".aiff", ".mid", ".mod", ".xm",  ".it",  ".umx", ".s3m",
        ".stm", ".wma", ".cda",  ".mp2",  ".mp1", ".flac", ".opus", ".m4a", ".mp4", ".aac"};
    const auto dot = FileName.rfind('.');
    if (dot == std::string::npos) return false;
    std::string extension = FileName.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return std::find(kExtensions.begin(), kExtensions.end(), extension) != kExtensions.end();
}
