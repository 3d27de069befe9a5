// Files for the tag tests: a temporary folder, whole-file reads and writes,
// deterministic audio bytes and a hash to prove they were left alone.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tagtest {

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "nilo-tags-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Bytes that look like nothing a tag reader knows: no "TAG", "ID3" or marks.
inline std::string AudioBytes(size_t size, uint32_t seed = 1) {
    std::string out(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (char& c : out) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(0x80 | (x >> 25));
    }
    return out;
}

// FNV-1a, enough to tell whether bytes changed.
inline uint64_t Hash(const std::string& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    return h;
}

inline bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// Whether a rebuild's new file (the name, "~" and a suffix) is left beside path.
inline bool TemporaryLeft(const std::string& path) {
    const std::filesystem::path file(path);
    const std::string name = file.filename().string();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path(), ec)) {
        const std::string other = entry.path().filename().string();
        if (other.size() > name.size() && other.starts_with(name) && other[name.size()] == '~') return true;
    }
    return false;
}

// Runs a command and returns what it printed; status gets its exit status.
inline std::string RunCommand(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    status = ::pclose(pipe);
    return out;
}

// Sets the legacy code page of tag texts for one test.
class CodePageScope {
  public:
    explicit CodePageScope(const char* codePage) {
        if (const char* old = std::getenv("NILO_CODEPAGE")) old_ = old;
        ::setenv("NILO_CODEPAGE", codePage, 1);
    }
    ~CodePageScope() {
        if (old_.empty())
            ::unsetenv("NILO_CODEPAGE");
        else
            ::setenv("NILO_CODEPAGE", old_.c_str(), 1);
    }
    CodePageScope(const CodePageScope&) = delete;
    CodePageScope& operator=(const CodePageScope&) = delete;

  private:
    std::string old_;
};

// Runs a Python script with Debian's interpreter (which has python3-mutagen)
// on one file and returns what it printed.
inline std::string RunPython(const TempFolder& dir, const std::string& script, const std::string& file,
                             int& status) {
    const std::string scriptFile = dir.File("check.py");
    WriteBytes(scriptFile, script);
    return RunCommand("PYTHONIOENCODING=utf-8 /usr/bin/python3 '" + scriptFile + "' '" + file + "' 2>&1", status);
}

// Runs body in a forked child and returns its exit status (-1 if it died).
// The child leaves by _exit, so it never runs the parent's exit handlers.
inline int InChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What a child returns when the system does not let it set up the test.
constexpr int kCannotTest = 77;

// In a child: gives it a mount namespace of its own and a tmpfs of the given
// size at folder, so nothing outside the child sees the mount.
inline bool MountPrivateTmpfs(const std::string& folder, size_t sizeBytes) {
    if (::unshare(CLONE_NEWNS) != 0) return false;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    std::string options = "size=" + std::to_string(sizeBytes);
    return ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

inline bool RemountReadOnly(const std::string& folder) {
    return ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

} // namespace tagtest
