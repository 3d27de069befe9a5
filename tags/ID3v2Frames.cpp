#include "tags/ID3v2Frames.h"

#include <algorithm>

#include "tags/ID3v2Unsync.h"
#include "tags/TagFile.h"

namespace id3v2 {

namespace {

constexpr int64_t kWindow = 4096;

const uint8_t* Bytes(const std::string& text) {
    return reinterpret_cast<const uint8_t*>(text.data());
}

// Whether a frame ending at `at` is followed by something a block can hold
// there: the end, padding, or another frame header.
bool LeadsOn(BlockBody& body, int64_t at, int headerSize) {
    if (at == body.Size()) return true;
    if (at > body.Size()) return false;
    const std::string next = body.Read(at, headerSize);
    if (std::all_of(next.begin(), next.end(), [](char c) { return c == 0; })) return true;
    return static_cast<int>(next.size()) == headerSize && ValidFrameId(next.substr(0, headerSize == 6 ? 3 : 4));
}

} // namespace

int64_t SevenBitGroups(const uint8_t* bytes) {
    return (int64_t{bytes[0]} << 21) + (int64_t{bytes[1]} << 14) + (int64_t{bytes[2]} << 7) + bytes[3];
}

int64_t BigEndian(const uint8_t* bytes, int count) {
    int64_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
    return value;
}

bool ValidFrameId(std::string_view id) {
    return (id.size() == 3 || id.size() == 4) &&
           std::all_of(id.begin(), id.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

int FrameHeaderSize(uint8_t version) {
    return version == 2 ? 6 : 10;
}

MemoryBody::MemoryBody(std::string bytes) : bytes_(std::move(bytes)) {
    size_ = static_cast<int64_t>(bytes_.size());
}

std::string MemoryBody::Read(int64_t at, int64_t count) {
    if (at < 0 || at >= size_ || count <= 0) return {};
    return bytes_.substr(static_cast<size_t>(at), static_cast<size_t>(std::min(count, size_ - at)));
}

StreamBody::StreamBody(TagStream& stream, int64_t size) : stream_(stream) {
    size_ = size;
}

std::string StreamBody::Read(int64_t at, int64_t count) {
    if (at < 0 || at >= size_ || count <= 0) return {};
    count = std::min(count, size_ - at);
    const int64_t windowEnd = windowAt_ + static_cast<int64_t>(window_.size());
    if (at >= windowAt_ && at + count <= windowEnd) return window_.substr(static_cast<size_t>(at - windowAt_), count);
    if (count > kWindow) return ReadStream(at, count);
    window_ = ReadStream(at, std::min(kWindow, size_ - at));
    windowAt_ = at;
    return window_.substr(0, static_cast<size_t>(count));
}

std::string StreamBody::ReadStream(int64_t at, int64_t count) {
    std::string bytes(static_cast<size_t>(count), '\0');
    stream_.Seek(kHeaderSize + at, soFromBeginning);
    bytes.resize(static_cast<size_t>(stream_.Read(bytes.data(), count)));
    return bytes;
}

std::unique_ptr<BlockBody> OpenBody(TagStream& stream, uint8_t version, uint8_t flags, int64_t blockSize,
                                    bool inMemory) {
    const int64_t size = std::max<int64_t>(blockSize - kHeaderSize - ((flags & kFooter) ? kHeaderSize : 0), 0);
    const bool unsynchronised = version <= 3 && (flags & kUnsynchronisedBlock);
    if (!unsynchronised && !inMemory) return std::make_unique<StreamBody>(stream, size);
    std::string bytes(static_cast<size_t>(size), '\0');
    stream.Seek(kHeaderSize, soFromBeginning);
    stream.ReadBuffer(bytes.data(), size);
    return std::make_unique<MemoryBody>(unsynchronised ? UndoUnsync(bytes) : std::move(bytes));
}

int64_t FramesStart(BlockBody& body, uint8_t version, uint8_t flags) {
    if (version < 3 || !(flags & kExtendedHeader)) return 0;
    const std::string size = body.Read(0, 4);
    if (size.size() < 4) return body.Size();
    // Some writers set the flag and write no extended header.
    if (ValidFrameId(size)) return 0;
    // Version 2.3 counts the bytes after the size, 2.4 the whole header.
    const int64_t length = version == 3 ? 4 + BigEndian(Bytes(size), 4) : SevenBitGroups(Bytes(size));
    return std::clamp<int64_t>(length, 4, body.Size());
}

void WalkFrames(BlockBody& body, uint8_t version, int64_t start, const std::function<void(const FrameSlot&)>& visit) {
    const int headerSize = FrameHeaderSize(version);
    const int64_t end = body.Size();
    // Each pass moves on by at least a frame header, so the walk ends.
    for (int64_t at = start; end - at >= headerSize;) {
        const std::string header = body.Read(at, headerSize);
        if (static_cast<int>(header.size()) < headerSize || header[0] == '\0') return;
        const uint8_t* b = Bytes(header);
        FrameSlot frame;
        frame.dataAt = at + headerSize;
        int64_t size;
        if (version == 2) {
            frame.id = header.substr(0, 3);
            size = BigEndian(b + 3, 3);
        } else {
            frame.id = header.substr(0, 4);
            size = version == 3 ? BigEndian(b + 4, 4) : SevenBitGroups(b + 4);
            frame.status = b[8];
            frame.format = b[9];
        }
        if (version == 4) {
            const int64_t plain = BigEndian(b + 4, 4);
            if (plain != size && !LeadsOn(body, frame.dataAt + size, headerSize) &&
                LeadsOn(body, frame.dataAt + plain, headerSize))
                size = plain;
        }
        const bool cut = size > end - frame.dataAt;
        frame.size = cut ? end - frame.dataAt : size;
        visit(frame);
        if (cut) return;
        at = frame.dataAt + frame.size;
    }
}

std::optional<std::string> FrameContent(BlockBody& body, const FrameSlot& frame, uint8_t version, uint8_t blockFlags,
                                        int64_t maxBytes) {
    int64_t skip = 0;
    bool unsynchronised = false;
    bool dataLength = false;
    if (version == 3) {
        if (frame.format & (kCompressed23 | kEncrypted23)) return std::nullopt;
        if (frame.format & kGrouped23) skip = 1;
    } else if (version == 4) {
        if (frame.format & (kCompressed24 | kEncrypted24)) return std::nullopt;
        unsynchronised = (frame.format & kUnsynchronised24) || (blockFlags & kUnsynchronisedBlock);
        dataLength = frame.format & kDataLength24;
        skip = ((frame.format & kGrouped24) ? 1 : 0) + (dataLength ? 4 : 0);
    }
    // Unsynchronised data is read whole: only then can it be told whether
    // the flag was honest.
    std::string data = body.Read(frame.dataAt, unsynchronised ? frame.size : std::min(frame.size, skip + maxBytes));
    if (unsynchronised) data = UndoUnsync(data);
    if (static_cast<int64_t>(data.size()) < skip) return std::string();
    int64_t length = static_cast<int64_t>(data.size()) - skip;
    if (dataLength) length = std::min(length, SevenBitGroups(Bytes(data) + skip - 4));
    return data.substr(static_cast<size_t>(skip), static_cast<size_t>(std::min(length, maxBytes)));
}

} // namespace id3v2
