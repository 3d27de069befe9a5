// The decoders that live in plugins of their own (shared modules beside the
// program), so that FFmpeg and FluidSynth are loaded only once a file needs
// them. Each plugin has a C entry point per decoder; everything else in it
// is hidden, and it carries its own copy of the decoder code it uses.
#pragma once

#include <cstdint>

#include "audio/decoders/Decoder.h"
#include "audio/network/StreamKind.h"
#include "audio/sources/ByteSource.h"

// Marks a plugin's entry points, the only symbols it exports.
#define NILO_PLUGIN_ENTRY extern "C" __attribute__((visibility("default")))

namespace audio {

// A new decoder the caller owns, or nullptr when the source is not the
// plugin's kind. The decoder reads the source, which the caller keeps alive
// for as long as the decoder lives. The names carry the version of the
// Decoder and ByteSource interfaces, so a plugin left over from an older
// build is not used.
using WmaPluginEntry = Decoder* (*)(ByteSource* source);
using MidiPluginEntry = Decoder* (*)(ByteSource* source, uint32_t rate);
// FLAC: native, or in Ogg with `ogg`. MP4 (AAC, ALAC), or raw AAC with
// `adts`. `measureOnly` as in their Open...Decoder calls.
using FlacPluginEntry = Decoder* (*)(ByteSource* source, bool ogg, bool measureOnly);
using OpusPluginEntry = Decoder* (*)(ByteSource* source, bool measureOnly);
using Mp4PluginEntry = Decoder* (*)(ByteSource* source, bool adts, bool measureOnly);
// A network stream of a kind FFmpeg decodes (AAC, Ogg Opus, ASF), from offset.
class StreamDecoder;
using StreamPluginEntry = StreamDecoder* (*)(ByteSource* source, uint64_t offset, StreamKind kind);

constexpr const char* kWmaPlugin = "nilo-wma.so";
constexpr const char* kWmaPluginEntry = "nilo_open_wma_decoder_v3";
constexpr const char* kStreamPluginEntry = "nilo_open_stream_decoder_v1";
constexpr const char* kMp4PluginEntry = "nilo_open_mp4_decoder_v2";
constexpr const char* kFlacPlugin = "nilo-flac.so";
constexpr const char* kFlacPluginEntry = "nilo_open_flac_decoder_v2";
constexpr const char* kOpusPlugin = "nilo-opus.so";
constexpr const char* kOpusPluginEntry = "nilo_open_opus_decoder_v2";
constexpr const char* kMidiPlugin = "nilo-midi.so";
constexpr const char* kMidiPluginEntry = "nilo_open_midi_decoder_v3";

} // namespace audio
