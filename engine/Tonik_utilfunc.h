// Audio wrappers: channel creation by trial, release, lengths and times.
#pragma once

#include <cstdint>
#include <string>

#include "audio/AudioLibrary.h"

using HSTREAM = audio::Handle;

// 256 when floating-point output is available, else 0; asked afresh each time.
uint32_t FloatProbe();
// Tries the creation calls in order: file stream, WMA, CD track, module, MIDI.
HSTREAM CreateFileChannel(const std::string& FileName, uint32_t StreamFlags, uint32_t ModuleFlags);
// A stream from a network address: the library's URL stream, else its WMA
// reader of addresses. The stream connects and buffers on its own threads.
HSTREAM CreateURLChannel(const std::string& Address, uint32_t Flags);
// Releases a stream or module channel; nothing for 0.
void FreeChannel(HSTREAM Handle);
float ChannelSeconds(HSTREAM Handle);
float PositionSeconds(HSTREAM Handle);
// Length of a file in seconds, measured on a channel of its own.
float FileSeconds(const std::string& FileName);
// "mm:ss", minutes unlimited.
std::string FormatTime(uint32_t Seconds);
std::string FileDurationText(const std::string& FileName);
