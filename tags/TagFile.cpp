#include "TagFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/FileReplacement.h"

namespace {

FileFaultHook& Hook() {
    static FileFaultHook hook;
    return hook;
}

// The errno value the test seam injects for this step, or 0.
int InjectedFault(FileStep step, const std::string& name) {
    return Hook() ? Hook()(step, name) : 0;
}

std::string ExpandedName(const std::string& name) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(name, ec);
    return ec ? name : full.lexically_normal().string();
}

[[noreturn]] void Fail(const std::string& name, const std::string& what, int error) {
    throw EFileError(ExpandedName(name), what + ": " + std::strerror(error));
}

// Runs a system call unless the seam refuses the step; sets errno either way.
template <typename Call>
auto Guarded(FileStep step, const std::string& name, Call call) -> decltype(call()) {
    if (int fault = InjectedFault(step, name)) {
        errno = fault;
        return -1;
    }
    decltype(call()) r;
    do r = call();
    while (r < 0 && errno == EINTR);
    return r;
}

// Opens a read-only file of ours for writing, as the writers' clearing of the
// read-only attribute intends, without leaving it writable: the mode is lifted
// for the open alone and put back through the new descriptor, which keeps its
// access. An O_PATH descriptor pins the file, so both mode changes and the
// open reach the same inode even if the name is swapped meanwhile.
int OpenLiftingReadOnly(const std::string& name, int flags) {
    int pin = ::open(name.c_str(), O_PATH | O_CLOEXEC);
    if (pin < 0) return -1;
    struct stat st {};
    const std::string pinned = "/proc/self/fd/" + std::to_string(pin);
    int fd = -1;
    int error = EACCES;
    if (::fstat(pin, &st) == 0 && S_ISREG(st.st_mode)) {
        const mode_t mode = st.st_mode & 07777;
        const mode_t lifted = mode | S_IWUSR | ((flags & O_ACCMODE) == O_RDWR ? S_IRUSR : 0);
        if (Guarded(FileStep::SetAttr, name, [&] { return ::chmod(pinned.c_str(), lifted); }) == 0) {
            do fd = ::open(pinned.c_str(), flags);
            while (fd < 0 && errno == EINTR);
            error = errno;
            if (fd >= 0 && ::fchmod(fd, mode) != 0) {
                error = errno;
                ::close(fd);
                fd = -1;
            }
            if (fd < 0) ::chmod(pinned.c_str(), mode);
        }
    }
    ::close(pin);
    errno = error;
    return fd;
}

} // namespace

EFileError::EFileError(const std::string& fileName, const std::string& reason)
    : std::runtime_error(fileName + ": " + reason), fileName_(fileName), reason_(reason) {}

void TagStream::ReadBuffer(void* Buffer, int64_t Count) {
    if (Read(Buffer, Count) != Count) throw EFileError(ErrorName(), "stream read error");
}

void TagStream::CopyFrom(TagStream& Source, int64_t Count) {
    if (Count == 0) {
        Source.Seek(0, soFromBeginning);
        Count = Source.Size();
    }
    std::vector<char> buffer(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(Count, 0), 1 << 16)));
    while (Count > 0) {
        int64_t n = Source.Read(buffer.data(), std::min<int64_t>(Count, static_cast<int64_t>(buffer.size())));
        if (n <= 0) throw EFileError(Source.ErrorName(), "stream read error");
        Write(buffer.data(), n);
        Count -= n;
    }
}

TagFileStream::TagFileStream(const std::string& FileName, uint16_t Mode) : fileName_(FileName) {
    int flags = O_CLOEXEC | O_NONBLOCK;
    FileStep step = FileStep::Open;
    if (Mode == FileMode::Create) {
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        step = FileStep::Create;
    } else {
        int access = Mode & 0x03;
        int sharing = Mode & 0xF0;
        if (access == 3 || sharing > FileMode::ShareDenyNone || (Mode & ~0xF3))
            throw EFileError(ExpandedName(FileName), "invalid open mode");
        flags |= access == FileMode::ReadOnly ? O_RDONLY : access == FileMode::WriteOnly ? O_WRONLY : O_RDWR;
    }
    fd_ = Guarded(step, FileName, [&] { return ::open(FileName.c_str(), flags, 0666); });
    if (fd_ < 0 && errno == EACCES && step == FileStep::Open && (flags & O_ACCMODE) != O_RDONLY)
        fd_ = OpenLiftingReadOnly(FileName, flags);
    if (fd_ < 0) Fail(FileName, step == FileStep::Create ? "cannot create file" : "cannot open file", errno);
    // Opened without blocking so that a FIFO or device cannot hang us; only
    // regular files are tag files.
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        Fail(FileName, "cannot open file", EINVAL);
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
}

TagFileStream::~TagFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

std::string TagFileStream::ErrorName() const {
    return ExpandedName(fileName_);
}

int64_t TagFileStream::Read(void* Buffer, int64_t Count) {
    int64_t done = 0;
    while (done < Count) {
        ssize_t n = Guarded(FileStep::Read, fileName_, [&] {
            return ::read(fd_, static_cast<char*>(Buffer) + done, static_cast<size_t>(Count - done));
        });
        if (n < 0) Fail(fileName_, "read error", errno);
        if (n == 0) break;
        done += n;
    }
    return done;
}

void TagFileStream::Write(const void* Buffer, int64_t Count) {
    int64_t done = 0;
    while (done < Count) {
        ssize_t n = Guarded(FileStep::Write, fileName_, [&] {
            return ::write(fd_, static_cast<const char*>(Buffer) + done, static_cast<size_t>(Count - done));
        });
        if (n <= 0) Fail(fileName_, "write error", n < 0 ? errno : ENOSPC);
        done += n;
    }
}

int64_t TagFileStream::Seek(int64_t Offset, int Origin) {
    int whence = Origin == soFromBeginning ? SEEK_SET : Origin == soFromCurrent ? SEEK_CUR : SEEK_END;
    if (Origin < soFromBeginning || Origin > soFromEnd) Fail(fileName_, "seek error", EINVAL);
    off_t r = ::lseek(fd_, static_cast<off_t>(Offset), whence);
    if (r < 0) Fail(fileName_, "seek error", errno);
    return r;
}

int64_t TagFileStream::Size() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) Fail(fileName_, "cannot read file size", errno);
    return st.st_size;
}

void TagFileStream::SetSize(int64_t NewSize) {
    if (NewSize < 0) Fail(fileName_, "cannot set file size", EINVAL);
    if (Guarded(FileStep::Truncate, fileName_, [&] { return ::ftruncate(fd_, static_cast<off_t>(NewSize)); }) != 0)
        Fail(fileName_, "cannot set file size", errno);
}

void TagFileStream::Flush() {
    if (Guarded(FileStep::Sync, fileName_, [&] { return ::fsync(fd_); }) != 0)
        Fail(fileName_, "cannot write file to disk", errno);
}

void TagFileStream::Close() {
    int fd = fd_;
    fd_ = -1;
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) Fail(fileName_, "cannot close file", errno);
}

int64_t TagStringStream::Read(void* Buffer, int64_t Count) {
    int64_t size = Size();
    int64_t n = std::clamp<int64_t>(std::min(Count, size - position_), 0, size);
    if (n > 0) std::memcpy(Buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

void TagStringStream::Write(const void* Buffer, int64_t Count) {
    if (Count <= 0) return;
    size_t at = static_cast<size_t>(position_);
    if (data_.size() < at + static_cast<size_t>(Count)) data_.resize(at + static_cast<size_t>(Count));
    std::memcpy(data_.data() + at, Buffer, static_cast<size_t>(Count));
    position_ += Count;
}

int64_t TagStream::SeekHeld(int64_t& Position, int64_t Offset, int Origin) {
    int64_t base = Origin == soFromBeginning ? 0 : Origin == soFromCurrent ? Position : Size();
    if (Origin < soFromBeginning || Origin > soFromEnd || base + Offset < 0)
        throw EFileError(ErrorName(), "seek error");
    Position = base + Offset;
    return Position;
}

int64_t TagStringStream::Seek(int64_t Offset, int Origin) { return SeekHeld(position_, Offset, Origin); }

void TagStringStream::SetSize(int64_t NewSize) {
    if (NewSize < 0) throw EFileError(ErrorName(), "cannot set size");
    data_.resize(static_cast<size_t>(NewSize));
    position_ = std::min(position_, NewSize);
}

bool WideFileExists(const std::string& Name) {
    struct stat st {};
    return ::stat(Name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool WideFileSetAttr(const std::string& Name, int Attributes) {
    struct stat st {};
    if (Attributes != 0 || ::stat(Name.c_str(), &st) != 0) return false;
    return Guarded(FileStep::SetAttr, Name, [&] {
               return ::faccessat(AT_FDCWD, Name.c_str(), W_OK, AT_EACCESS) == 0 || st.st_uid == ::geteuid() ? 0 : -1;
           }) == 0;
}

bool WideDeleteFile(const std::string& Name) {
    return Guarded(FileStep::Delete, Name, [&] { return ::unlink(Name.c_str()); }) == 0;
}

bool WideRenameFile(const std::string& OldName, const std::string& NewName) {
    return Guarded(FileStep::Rename, OldName, [&] { return ::rename(OldName.c_str(), NewName.c_str()); }) == 0;
}

bool RebuildFile(const std::string& FileName,
                 const std::function<void(TagFileStream& Source, TagFileStream& Temp)>& WriteContent) {
    auto refused = [](platform::ReplaceStep step, const std::string& name) {
        switch (step) {
        case platform::ReplaceStep::Create: return InjectedFault(FileStep::Create, name);
        case platform::ReplaceStep::Sync: return InjectedFault(FileStep::Sync, name);
        case platform::ReplaceStep::Rename: return InjectedFault(FileStep::Rename, name);
        }
        return 0;
    };
    try {
        return platform::ReplaceFile(
            FileName,
            [&](int fd, const std::string& name) {
                TagFileStream source(FileName, FileMode::ReadOnly);
                TagFileStream temp(::dup(fd), name);
                if (temp.Handle() < 0) Fail(name, "cannot write file", errno);
                WriteContent(source, temp);
                return true;
            },
            refused);
    } catch (const std::exception&) {
        return false;
    }
}

bool RebuildFile(const std::string& FileName, const std::string& Head, int64_t SourceOffset) {
    return RebuildFile(FileName, [&](TagFileStream& source, TagFileStream& temp) {
        int64_t rest = source.Size() - SourceOffset;
        if (SourceOffset < 0 || rest < 0) throw EFileError(source.FileName(), "offset beyond the end of the file");
        temp.WriteString(Head);
        source.Seek(SourceOffset, soFromBeginning);
        if (rest > 0) temp.CopyFrom(source, rest);
    });
}

void SetFileFaultHook(FileFaultHook NewHook) {
    Hook() = std::move(NewHook);
}
