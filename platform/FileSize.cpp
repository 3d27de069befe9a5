#include "FileSize.h"

#include <sys/stat.h>

namespace platform {

std::optional<uint64_t> FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}

} // namespace platform
