// The frames of an ID3v2 block: where each one lies in the block, and what
// its data is once the extra bytes its flags announce and its
// unsynchronisation are taken off. The reader and the save walk the same
// frames; the reader never reads the data of frames it has no use for.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class TagStream;

namespace id3v2 {

constexpr int kHeaderSize = 10;

// Version 2.3 frame format flags.
constexpr uint8_t kCompressed23 = 0x80;
constexpr uint8_t kEncrypted23 = 0x40;
constexpr uint8_t kGrouped23 = 0x20;
// Version 2.4 frame format flags.
constexpr uint8_t kGrouped24 = 0x40;
constexpr uint8_t kCompressed24 = 0x08;
constexpr uint8_t kEncrypted24 = 0x04;
constexpr uint8_t kUnsynchronised24 = 0x02;
constexpr uint8_t kDataLength24 = 0x01;
// Block header flags.
constexpr uint8_t kUnsynchronisedBlock = 0x80;
constexpr uint8_t kExtendedHeader = 0x40;
constexpr uint8_t kCompressedBlock22 = 0x40;
constexpr uint8_t kFooter = 0x10;

// The bytes after the block header, up to the footer or the block's end.
class BlockBody {
  public:
    virtual ~BlockBody() = default;
    int64_t Size() const { return size_; }
    // Up to count bytes from at; fewer at the end of the body.
    virtual std::string Read(int64_t at, int64_t count) = 0;

  protected:
    int64_t size_ = 0;
};

class MemoryBody final : public BlockBody {
  public:
    explicit MemoryBody(std::string bytes);
    std::string Read(int64_t at, int64_t count) override;

  private:
    std::string bytes_;
};

// The block of a stream read in windows, so that a run of small frames costs
// one read and a frame nobody asks for costs none.
class StreamBody final : public BlockBody {
  public:
    StreamBody(TagStream& stream, int64_t size);
    std::string Read(int64_t at, int64_t count) override;

  private:
    std::string ReadStream(int64_t at, int64_t count);

    TagStream& stream_;
    std::string window_;
    int64_t windowAt_ = 0;
};

// The body of a block of blockSize bytes (header and footer included) with
// the given header flags. Whole-block unsynchronisation (versions 2.2 and
// 2.3) is undone, which needs every byte; otherwise the body is read on
// demand unless inMemory asks for all of it now. Raises EFileError.
std::unique_ptr<BlockBody> OpenBody(TagStream& stream, uint8_t version, uint8_t flags, int64_t blockSize,
                                    bool inMemory);

// Where the first frame starts: after the extended header, when there is one.
int64_t FramesStart(BlockBody& body, uint8_t version, uint8_t flags);

struct FrameSlot {
    std::string id; // 3 characters in version 2.2, else 4
    uint8_t status = 0;
    uint8_t format = 0;
    int64_t dataAt = 0;
    int64_t size = 0; // the data as stored, cut where the body ends
};

int FrameHeaderSize(uint8_t version);

// Calls visit for every frame from start on. The walk ends at padding (a
// zero byte where an identifier would start), where no whole frame header
// fits, or at a frame running past the body's end, which is cut there.
// Frames with identifiers the standard does not allow are passed over by
// their size. A version 2.4 size that leads nowhere while the same bytes read
// as a plain integer lead to a frame, padding or the end is taken as plain,
// as some writers stored it.
void WalkFrames(BlockBody& body, uint8_t version, int64_t start, const std::function<void(const FrameSlot&)>& visit);

// A frame's data: unsynchronisation undone (version 2.4, or every frame of a
// 2.4 block flagged so), the group, encryption and data length bytes skipped,
// cut to the data length and to maxBytes. Nothing for a compressed or
// encrypted frame, whose data cannot be read as it is.
std::optional<std::string> FrameContent(BlockBody& body, const FrameSlot& frame, uint8_t version, uint8_t blockFlags,
                                        int64_t maxBytes);

// Four bytes of seven significant bits each, most significant first; the
// bytes are taken whole, as the size fields of damaged blocks demand.
int64_t SevenBitGroups(const uint8_t* bytes);
int64_t BigEndian(const uint8_t* bytes, int count);
bool ValidFrameId(std::string_view id);

} // namespace id3v2
