// The decoders that live in plugins of their own (shared modules beside the
// program), so that FFmpeg and FluidSynth are loaded only once a file needs
// them. Each plugin has one C entry point; everything else in it is hidden,
// and it carries its own copy of the decoder code it uses.
#pragma once

#include <cstdint>

#include "audio/decoders/Decoder.h"
#include "audio/sources/ByteSource.h"

// Marks a plugin's entry point, the one symbol it exports.
#define NILO_PLUGIN_ENTRY extern "C" __attribute__((visibility("default")))

namespace audio {

// A new decoder the caller owns, or nullptr when the source is not the
// plugin's kind. The decoder reads the source, which the caller keeps alive
// for as long as the decoder lives. The names carry the version of the
// Decoder and ByteSource interfaces, so a plugin left over from an older
// build is not used.
using WmaPluginEntry = Decoder* (*)(ByteSource* source);
using MidiPluginEntry = Decoder* (*)(ByteSource* source, uint32_t rate);

constexpr const char* kWmaPlugin = "nilo-wma.so";
constexpr const char* kWmaPluginEntry = "nilo_open_wma_decoder_v3";
constexpr const char* kMidiPlugin = "nilo-midi.so";
constexpr const char* kMidiPluginEntry = "nilo_open_midi_decoder_v3";

} // namespace audio
