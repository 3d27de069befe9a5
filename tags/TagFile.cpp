#include "TagFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

int64_t TagStringStream::Seek(int64_t Offset, int Origin) {
    int64_t base = Origin == soFromBeginning ? 0 : Origin == soFromCurrent ? position_ : Size();
    if (Origin < soFromBeginning || Origin > soFromEnd || base + Offset < 0)
        throw EFileError(ErrorName(), "seek error");
    position_ = base + Offset;
    return position_;
}

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
    return Guarded(FileStep::SetAttr, Name, [&] { return ::chmod(Name.c_str(), (st.st_mode & 07777) | S_IWUSR); }) == 0;
}

bool WideDeleteFile(const std::string& Name) {
    return Guarded(FileStep::Delete, Name, [&] { return ::unlink(Name.c_str()); }) == 0;
}

bool WideRenameFile(const std::string& OldName, const std::string& NewName) {
    return Guarded(FileStep::Rename, OldName, [&] { return ::rename(OldName.c_str(), NewName.c_str()); }) == 0;
}

namespace {

// The file a rebuild replaces: a symbolic link's target, so the link survives.
std::string RebuildTarget(const std::string& name) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(name, ec)) return name;
    std::filesystem::path target = std::filesystem::canonical(name, ec);
    return ec ? std::string() : target.string();
}

// Makes a finished rename durable; a failure here cannot undo the rename.
void SyncFolderOf(const std::string& name) {
    std::string folder = std::filesystem::path(name).parent_path().string();
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool RebuildFile(const std::string& FileName,
                 const std::function<void(TagFileStream& Source, TagFileStream& Temp)>& WriteContent) {
    std::string target = RebuildTarget(FileName);
    if (target.empty()) return false;
    std::string tempName = target + "~";
    bool created = false;
    try {
        TagFileStream source(target, FileMode::ReadOnly);
        struct stat st {};
        if (::fstat(source.Handle(), &st) != 0) Fail(target, "cannot read file attributes", errno);
        TagFileStream temp(tempName, FileMode::Create);
        created = true;
        if (::fchmod(temp.Handle(), st.st_mode & 07777) != 0) Fail(tempName, "cannot set permissions", errno);
        if (::fchown(temp.Handle(), st.st_uid, st.st_gid) != 0 && errno != EPERM)
            Fail(tempName, "cannot set owner", errno);
        WriteContent(source, temp);
        temp.Flush();
        temp.Close();
        if (!WideRenameFile(tempName, target)) Fail(tempName, "cannot rename file", errno);
    } catch (const std::exception&) {
        if (created) WideDeleteFile(tempName);
        return false;
    }
    SyncFolderOf(target);
    return true;
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
