// The decoders that live in plugins of their own (shared modules beside the
// program), so that FFmpeg and FluidSynth are loaded only once a file needs
// them. Each plugin has one C entry point; everything else in it is hidden,
// and it carries its own copy of the decoder code it uses.
#pragma once

#include <cstdint>

#include "audio/decoders/Decoder.h"

// Marks a plugin's entry point, the one symbol it exports.
#define NILO_PLUGIN_ENTRY extern "C" __attribute__((visibility("default")))

namespace audio {

// A new decoder the caller owns, or nullptr when the file is not the
// plugin's kind. The names carry the Decoder interface's version, so a
// plugin left over from an older build is not used.
using WmaPluginEntry = Decoder* (*)(const char* path);
using MidiPluginEntry = Decoder* (*)(const char* path, uint32_t rate);

constexpr const char* kWmaPlugin = "nilo-wma.so";
constexpr const char* kWmaPluginEntry = "nilo_open_wma_decoder_v1";
constexpr const char* kMidiPlugin = "nilo-midi.so";
constexpr const char* kMidiPluginEntry = "nilo_open_midi_decoder_v1";

} // namespace audio
