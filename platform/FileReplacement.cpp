#include "platform/FileReplacement.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// The file a replacement writes: the final target of a symbolic link, path
// itself otherwise (also when nothing is there yet); empty when the link
// leads nowhere.
std::string ReplacementTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string target = real;
    std::free(real);
    return target;
}

constexpr size_t kSuffixSize = 9; // "~" and 8 random characters

// target, with its file name cut where the name and the suffix would pass
// the longest name a folder takes.
std::string StemOf(const std::string& target) {
    const size_t slash = target.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t room = NAME_MAX - kSuffixSize;
    return target.size() - nameStart > room ? target.substr(0, nameStart + room) : target;
}

int CreateBeside(const std::string& target, std::string& name) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    const std::string stem = StemOf(target);
    // Taken names are someone else's; a hundred in a row is not chance.
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = stem + "~";
        for (size_t i = 1; i < kSuffixSize; ++i) name += kLetters[pick(random)];
        int fd;
        do fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool KeepOwnerAndMode(int fd, const struct stat& original) {
    // The owner first: a change of owner clears the set-id bits. Without
    // privilege and outside the group the file stays ours, as any new file
    // would.
    [[maybe_unused]] const bool given = ::fchown(fd, original.st_uid, original.st_gid) == 0 ||
                                        ::fchown(fd, static_cast<uid_t>(-1), original.st_gid) == 0;
    return ::fchmod(fd, original.st_mode & 07777) == 0;
}

// Extended attributes, access control lists among them, go with the file's
// bytes. Those the system keeps to itself or refuses to a user are left out:
// the new file then carries what any new file there would.
void CopyExtendedAttributes(const std::string& from, int to) {
    std::vector<char> names(4096);
    ssize_t size;
    while ((size = ::listxattr(from.c_str(), names.data(), names.size())) < 0 && errno == ERANGE) {
        const ssize_t needed = ::listxattr(from.c_str(), nullptr, 0);
        if (needed <= 0) return;
        names.resize(static_cast<size_t>(needed));
    }
    if (size <= 0) return;
    std::vector<char> value;
    for (const char* name = names.data(); name < names.data() + size; name += std::strlen(name) + 1) {
        const ssize_t length = ::getxattr(from.c_str(), name, nullptr, 0);
        if (length < 0) continue;
        value.resize(static_cast<size_t>(length));
        const ssize_t read = ::getxattr(from.c_str(), name, value.data(), value.size());
        if (read >= 0) ::fsetxattr(to, name, value.data(), static_cast<size_t>(read), 0);
    }
}

// Nothing can undo a rename whose folder fails to sync, so failures are
// ignored.
void SyncFolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// The new file until it has been renamed: closed and removed on every other
// way out, an exception from fill included.
class NewFile {
  public:
    NewFile(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    ~NewFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!kept_) ::unlink(name_.c_str());
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 || errno == EINTR;
    }
    void keep() { kept_ = true; }

  private:
    int fd_;
    std::string name_;
    bool kept_ = false;
};

} // namespace

bool ReplaceFile(const std::string& path, const std::function<bool(int fd, const std::string& name)>& fill,
                 const ReplaceStepCheck& check) {
    auto allowed = [&](ReplaceStep step, const std::string& name) {
        const int refusal = check ? check(step, name) : 0;
        errno = refusal;
        return refusal == 0;
    };
    const std::string target = ReplacementTarget(path);
    if (target.empty()) return false;
    struct stat original {};
    const bool exists = ::stat(target.c_str(), &original) == 0;
    std::string name;
    if (!allowed(ReplaceStep::Create, target)) return false;
    const int fd = CreateBeside(target, name);
    if (fd < 0) return false;
    NewFile file(fd, name);
    if (!(exists ? KeepOwnerAndMode(fd, original) : ::fchmod(fd, 0644) == 0)) return false;
    // After the owner, whose change would clear some of them.
    if (exists) CopyExtendedAttributes(target, fd);
    if (!fill(fd, name)) return false;
    if (!allowed(ReplaceStep::Sync, name) || ::fsync(fd) != 0) return false;
    if (!file.close()) return false;
    if (!allowed(ReplaceStep::Rename, name) || ::rename(name.c_str(), target.c_str()) != 0) return false;
    file.keep();
    SyncFolderOf(target);
    return true;
}

} // namespace platform
