// A demuxer of a given kind reading a byte source through an I/O context of
// its own, the first audio stream it accepts, and a decoder for that stream.
// Shared by the FFmpeg plugin's file and stream decoders.
#pragma once

#include <cstdint>

#include "audio/sources/ByteSource.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace audio {

class FfmpegInput {
  public:
    using ReadBytes = int (*)(void* opaque, uint8_t* out, int size);
    using SeekBytes = int64_t (*)(void* opaque, int64_t offset, int whence);
    using AcceptsCodec = bool (*)(AVCodecID id);

    FfmpegInput() = default;
    ~FfmpegInput();
    FfmpegInput(const FfmpegInput&) = delete;
    FfmpegInput& operator=(const FfmpegInput&) = delete;

    // Opens the demuxer named `demuxer` over the callbacks (`seek` may be
    // null) and picks the first audio stream whose codec `accepts`; every
    // other stream is discarded. False when any of that fails; the decoder
    // is opened next.
    bool open(const char* demuxer, int bufferBytes, void* opaque, ReadBytes read, SeekBytes seek,
              AcceptsCodec accepts);
    // A fresh decoder for the chosen stream, replacing the one held.
    bool openDecoder();

    // Callbacks over a SourceCursor given as `opaque`.
    static int ReadCursor(void* cursor, uint8_t* out, int size);
    static int64_t SeekCursor(void* cursor, int64_t offset, int whence);

    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;
};

} // namespace audio
