// File access shared by the tag classes: a file stream opened by name with a
// 16-bit open mode, an in-memory stream for assembling new blocks, the
// whole-file operations, and the rebuild of a file through a "~" copy.
// Every failure of this layer is an EFileError; the tag classes catch it.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

// Open modes: bits 0-1 access, bits 4-7 sharing, or the single value Create.
// Linux has no mandatory share modes, so sharing is checked for validity and
// otherwise has no effect.
namespace FileMode {
constexpr uint16_t Create = 0xFFFF; // new empty file (replacing any), read and write
constexpr uint16_t ReadOnly = 0x00;
constexpr uint16_t WriteOnly = 0x01;
constexpr uint16_t ReadWrite = 0x02;
constexpr uint16_t ShareExclusive = 0x10;
constexpr uint16_t ShareDenyWrite = 0x20; // others may read
constexpr uint16_t ShareDenyRead = 0x30;  // others may write
constexpr uint16_t ShareDenyNone = 0x40;  // others may read and write
} // namespace FileMode

// A failed file operation: the fully expanded file name and why it failed.
class EFileError : public std::runtime_error {
  public:
    EFileError(const std::string& fileName, const std::string& reason);
    const std::string& FileName() const { return fileName_; }
    const std::string& Reason() const { return reason_; }

  private:
    std::string fileName_;
    std::string reason_;
};

// Seek origins.
constexpr int soFromBeginning = 0;
constexpr int soFromCurrent = 1;
constexpr int soFromEnd = 2;

// What the tag classes need of a stream. Positions and sizes are 64-bit.
class TagStream {
  public:
    virtual ~TagStream() = default;

    // Reads up to Count bytes; fewer at the end, which is not an error.
    virtual int64_t Read(void* Buffer, int64_t Count) = 0;
    // Reads exactly Count bytes or raises EFileError.
    void ReadBuffer(void* Buffer, int64_t Count);
    // Writes all Count bytes at the position, extending the stream; raises
    // EFileError when they cannot all be written (disk full, ...).
    virtual void Write(const void* Buffer, int64_t Count) = 0;
    // Writes the string's bytes at the position, without a length prefix.
    void WriteString(const std::string& Text) { Write(Text.data(), static_cast<int64_t>(Text.size())); }
    // Returns the new position; a position before the start raises EFileError.
    virtual int64_t Seek(int64_t Offset, int Origin) = 0;
    int64_t Position() { return Seek(0, soFromCurrent); }
    virtual int64_t Size() = 0;
    // Truncates or extends to NewSize.
    virtual void SetSize(int64_t NewSize) = 0;
    // Copies Count bytes from Source's position to this stream's position;
    // Count 0 rewinds Source and copies all of it. Raises EFileError when
    // Source ends early.
    void CopyFrom(TagStream& Source, int64_t Count);

  protected:
    // The name errors of this stream report.
    virtual std::string ErrorName() const = 0;
    // Seek for streams that keep their own position; raises EFileError for
    // a position before the start or an unknown origin.
    int64_t SeekHeld(int64_t& Position, int64_t Offset, int Origin);
};

// A file opened or created by name; the constructor raises EFileError when the
// file cannot be opened or created (or the mode is invalid). A read-only file
// of ours opened for writing has its mode lifted for the open alone and put
// back at once: the descriptor keeps its access, the file keeps its mode.
class TagFileStream : public TagStream {
  public:
    TagFileStream(const std::string& FileName, uint16_t Mode);
    // A stream over an open descriptor, which it takes over.
    TagFileStream(int Fd, std::string FileName) : fileName_(std::move(FileName)), fd_(Fd) {}
    ~TagFileStream() override;
    TagFileStream(const TagFileStream&) = delete;
    TagFileStream& operator=(const TagFileStream&) = delete;

    int64_t Read(void* Buffer, int64_t Count) override;
    void Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, int Origin) override;
    int64_t Size() override;
    void SetSize(int64_t NewSize) override;

    // Forces the written data to the disk; raises EFileError on failure.
    void Flush();
    // Closes now, raising EFileError if the close reports a write failure.
    void Close();
    // The file's descriptor (-1 once closed), for permission copying.
    int Handle() const { return fd_; }
    const std::string& FileName() const { return fileName_; }

  protected:
    std::string ErrorName() const override;

  private:
    std::string fileName_;
    int fd_ = -1;
};

// A stream over a byte string, used to assemble tag blocks and packets.
class TagStringStream : public TagStream {
  public:
    TagStringStream() = default;
    explicit TagStringStream(std::string data) : data_(std::move(data)) {}

    int64_t Read(void* Buffer, int64_t Count) override;
    void Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, int Origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    void SetSize(int64_t NewSize) override;

    const std::string& DataString() const { return data_; }

  protected:
    std::string ErrorName() const override { return "(memory)"; }

  private:
    std::string data_;
    int64_t position_ = 0;
};

// Whole-file operations; the names are UTF-8 paths. True on success.
bool WideFileExists(const std::string& Name);
// Attributes 0, which the writers ask before writing: true when the file may
// be written, being writable or, read-only, ours (TagFileStream lifts its
// mode for the open alone). The mode itself is left as it is, so a save keeps
// it whether it succeeds or fails. Other attribute values give false.
bool WideFileSetAttr(const std::string& Name, int Attributes);
bool WideDeleteFile(const std::string& Name);
bool WideRenameFile(const std::string& OldName, const std::string& NewName);

// Rebuilds FileName through platform::ReplaceFile: WriteContent fills the
// new file from the original, opened as the source (mode 0x00). On any
// failure (WriteContent raising EFileError included) the original's bytes
// and mode stay as they were and the new file is removed. The rebuilt file is
// a new inode: other hard links to the original keep the old bytes.
bool RebuildFile(const std::string& FileName,
                 const std::function<void(TagFileStream& Source, TagFileStream& Temp)>& WriteContent);
// The common case: Head, then the source from SourceOffset to its end.
bool RebuildFile(const std::string& FileName, const std::string& Head, int64_t SourceOffset);

// Test seam: every file system step asks the hook first; a non-zero result is
// an errno value with which the step then fails as if the system refused it.
enum class FileStep { Open, Create, Read, Write, Truncate, Sync, SetAttr, Delete, Rename };
using FileFaultHook = std::function<int(FileStep Step, const std::string& Name)>;
// An empty hook removes it. Not thread-safe: tests set it around one call.
void SetFileFaultHook(FileFaultHook Hook);
