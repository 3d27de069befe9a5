// The file a tag fuzzer works on: one per process, in memory-backed storage
// when there is some, removed at exit.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace fuzzfile {

// Never destroyed, so the exit handler that removes it can still name it.
inline const std::string& Folder() {
    static const std::string* folder = new std::string([] {
        std::filesystem::path base = std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                                         : std::filesystem::temp_directory_path();
        std::string pattern = (base / "nilo-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Folder(), ignored);
        });
        return pattern;
    }());
    return *folder;
}

inline std::string Path(const char* name) {
    return Folder() + "/" + name;
}

inline void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Stops the run with a finding that libFuzzer saves.
inline void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

} // namespace fuzzfile
