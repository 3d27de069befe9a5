// The bytes of a download on their way from the download thread to the
// stream thread: a bounded queue, so that an hour of radio keeps memory flat,
// divided into segments, one per connection, so that the stream thread starts
// a fresh decoder where a reconnection joins a stream in another place.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace audio {

class ByteQueue {
  public:
    explicit ByteQueue(size_t capacity);

    // Download side. A segment begins with its connection's Content-Type;
    // push takes at most room() bytes.
    size_t room() const;
    // The stream thread has left the segment being written (its decoder gave
    // up on it): what comes is discarded, and the connection is worth
    // dropping.
    bool abandoned() const;
    void beginSegment(const std::string& contentType);
    void push(const uint8_t* bytes, size_t size);
    // Nothing more will come.
    void finish();

    // Ends every wait at once; both sides stop.
    void close();
    bool closed() const;

    // Stream side. Leaves what is left of the current segment and waits for
    // the next one; false when none will come.
    bool nextSegment(std::string& contentType);
    // Waits for bytes of the current segment and copies up to size of them;
    // 0 once the segment has ended (or on close).
    size_t read(uint8_t* out, size_t size);
    // Bytes waiting, of every segment.
    size_t buffered() const;

  private:
    struct Segment {
        uint64_t start;
        std::string contentType;
        std::optional<uint64_t> end;
    };
    // The end of the reader's segment, or of what has arrived.
    uint64_t readLimit() const;

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<uint8_t> ring_;
    uint64_t written_ = 0;
    uint64_t read_ = 0;
    std::deque<Segment> segments_;
    bool entered_ = false; // the reader is in segments_.front()
    bool abandoned_ = false;
    bool finished_ = false;
    bool closed_ = false;
};

} // namespace audio
