// The decoders in their order of trial, each with the creation call that
// tries it: the channel creation calls and the tests go through this table.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "audio/AudioLibrary.h"
#include "audio/decoders/Decoder.h"
#include "audio/decoders/SourceHeader.h"

namespace audio {

struct DecoderOptions {
    bool exactLength = true;
    uint32_t rate = 0; // modules and MIDI; 0 = the output rate
    bool interpolate = true;
    // Only the length is asked for: a decoder may put off, until the first
    // read, what only playing needs.
    bool measureOnly = false;
};

struct DecoderEntry {
    const char* name;
    ChannelKind kind;
    std::unique_ptr<Decoder> (*open)(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                     const DecoderOptions& options);
};

std::span<const DecoderEntry> DecoderTable();
const DecoderEntry* FindDecoder(const std::string& name);

// The first decoder of `kind` (of every kind with ChannelKind::None) that
// takes the source; `taken` names it.
std::unique_ptr<Decoder> OpenByTrial(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                     ChannelKind kind, const DecoderOptions& options,
                                     const DecoderEntry** taken = nullptr);
// The same for a file: one source and one read of its header for all of them.
std::unique_ptr<Decoder> OpenFileByTrial(const std::string& path, ChannelKind kind, const DecoderOptions& options,
                                         const DecoderEntry** taken = nullptr);
// One decoder on a file.
std::unique_ptr<Decoder> OpenFileWith(const DecoderEntry& entry, const std::string& path,
                                      const DecoderOptions& options = {});

} // namespace audio
