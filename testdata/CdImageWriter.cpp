#include "testdata/ByteBuffer.h"
#include "testdata/Fixtures.h"

#include <cstdio>
#include <fstream>

namespace fixtures {
namespace {

constexpr size_t kSectorBytes = 2352;

// mm:ss:ff with 75 frames a second, from the start of the BIN.
std::string Msf(uint32_t sector)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", sector / (75 * 60), sector / 75 % 60, sector % 75);
    return text;
}

void TextLines(std::string& cue, const std::string& indent, const std::string& title, const std::string& performer)
{
    if (!title.empty())
        cue += indent + "TITLE \"" + title + "\"\n";
    if (!performer.empty())
        cue += indent + "PERFORMER \"" + performer + "\"\n";
}

std::string Folder(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

} // namespace

std::vector<int16_t> CdTrackSamples(const CdImageTrack& track)
{
    std::vector<int16_t> samples = track.samples;
    const size_t sectorSamples = 2 * kCdSectorFrames;
    samples.resize((samples.size() + sectorSamples - 1) / sectorSamples * sectorSamples, 0);
    return samples;
}

bool WriteCdImage(const std::string& cue, const std::string& binName, const CdImage& image)
{
    std::string sheet;
    TextLines(sheet, "", image.title, image.performer);
    sheet += "FILE \"" + binName + "\" BINARY\n";
    ByteBuffer bin;
    for (size_t i = 0; i < image.tracks.size(); ++i) {
        const CdImageTrack& track = image.tracks[i];
        char number[24];
        std::snprintf(number, sizeof number, "%02zu", i + 1);
        sheet += std::string("  TRACK ") + number + (track.dataSectors ? " MODE1/2352\n" : " AUDIO\n");
        TextLines(sheet, "    ", track.title, track.performer);
        sheet += "    INDEX 01 " + Msf(static_cast<uint32_t>(bin.Size() / kSectorBytes)) + "\n";
        if (track.dataSectors) {
            for (uint32_t s = 0; s < track.dataSectors; ++s) {
                // The sync pattern, then a recognisable fill.
                bin.U8(0);
                for (int k = 0; k < 10; ++k)
                    bin.U8(0xFF);
                bin.U8(0);
                for (size_t k = 12; k < kSectorBytes; ++k)
                    bin.U8(static_cast<uint32_t>(k * 7 + s));
            }
            continue;
        }
        for (int16_t sample : CdTrackSamples(track))
            bin.Le16(static_cast<uint16_t>(sample));
    }
    std::ofstream out(cue, std::ios::binary);
    out << sheet;
    return out.good() && bin.SaveTo(Folder(cue) + "/" + binName);
}

} // namespace fixtures
