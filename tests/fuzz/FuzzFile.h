// The file a tag fuzzer works on: one per process, in memory-backed storage
// when there is some, removed at exit.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
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

// Seeds each empty corpus folder named on the fuzzer's command line: runs
// every command with "SEED" replaced by a path in the folder.
inline void SeedEmptyCorpora(int argc, char** argv, std::initializer_list<std::string> commands) {
    for (int i = 1; i < argc; ++i) {
        const std::string folder = argv[i];
        std::error_code error;
        if (folder.empty() || folder[0] == '-' || !std::filesystem::is_directory(folder, error)
            || !std::filesystem::is_empty(folder, error))
            continue;
        for (std::string command : commands) {
            for (size_t at; (at = command.find("SEED")) != std::string::npos;)
                command.replace(at, 4, folder + "/seed");
            std::system(command.c_str());
        }
    }
}

// Stops the run with a finding that libFuzzer saves.
inline void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

} // namespace fuzzfile
