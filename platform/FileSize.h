// Sizes of files on disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The file's size in bytes, or nothing when it cannot be read.
std::optional<uint64_t> FileSize(const std::string& path);

} // namespace platform
