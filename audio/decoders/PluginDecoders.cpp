// The WMA and MIDI decoders as the program sees them: a look at the file's
// first bytes decides whether the plugin is needed at all, so trying an MP3,
// a WAV or a module loads neither FFmpeg nor FluidSynth. A plugin that cannot
// be loaded makes its decoder refuse every file (the creation call gives 0);
// it never stops the program.
#include <cstdio>
#include <cstring>
#include <string>

#include "audio/decoders/DecoderPlugins.h"
#include "audio/plugins/PluginLibrary.h"

namespace audio {
namespace {

// The ASF header object's GUID, which every ASF file begins with.
constexpr unsigned char kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                          0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

// The file's first bytes, fewer when it is shorter.
std::string FileHead(const std::string& path, size_t bytes)
{
    std::string head(bytes, '\0');
    std::FILE* f = std::fopen(path.c_str(), "rb");
    head.resize(f ? std::fread(head.data(), 1, bytes, f) : 0);
    if (f)
        std::fclose(f);
    return head;
}

bool IsAsf(const std::string& path)
{
    const std::string head = FileHead(path, sizeof kAsfHeader);
    return head.size() == sizeof kAsfHeader && std::memcmp(head.data(), kAsfHeader, sizeof kAsfHeader) == 0;
}

// A Standard MIDI File, or one wrapped in a RIFF RMID file.
bool IsMidi(const std::string& path)
{
    const std::string head = FileHead(path, 12);
    return head.compare(0, 4, "MThd") == 0
        || (head.size() == 12 && head.compare(0, 4, "RIFF") == 0 && head.compare(8, 4, "RMID") == 0);
}

template <typename Entry>
Entry PluginEntry(const char* plugin, const char* entry)
{
    return reinterpret_cast<Entry>(LibrarySymbol(PluginPath(plugin), entry));
}

} // namespace

std::unique_ptr<Decoder> OpenWmaDecoder(const std::string& path)
{
    if (!IsAsf(path))
        return nullptr;
    const auto open = PluginEntry<WmaPluginEntry>(kWmaPlugin, kWmaPluginEntry);
    return std::unique_ptr<Decoder>(open ? open(path.c_str()) : nullptr);
}

std::unique_ptr<Decoder> OpenMidiDecoder(const std::string& path, uint32_t rate)
{
    if (!IsMidi(path))
        return nullptr;
    const auto open = PluginEntry<MidiPluginEntry>(kMidiPlugin, kMidiPluginEntry);
    return std::unique_ptr<Decoder>(open ? open(path.c_str(), rate) : nullptr);
}

} // namespace audio
