// nilo-demo OUTDIR: writes the bundled demo pieces and OUTDIR/demo.m3u.
#include "platform/TextFile.h"
#include "testdata/Fixtures.h"
#include "tools/nilo-demo/DemoPieces.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>

namespace {

using demo::Kind;

enum class Outcome { Written, Skipped, Failed };

struct Encoder {
    const char* tool;
    bool (*encode)(const std::string&, const std::string&, const std::string&);
    std::string (*tagArgs)(const std::string& title);
};

const std::map<Kind, Encoder> kEncoders = {
    {Kind::Mp3, {"lame", fixtures::EncodeMp3,
                 [](const std::string& t) { return "--tt " + fixtures::ShellQuote(t) + " --ta 'Nilo Demo'"; }}},
    {Kind::Ogg, {"oggenc", fixtures::EncodeOgg,
                 [](const std::string& t) { return "-t " + fixtures::ShellQuote(t) + " -a 'Nilo Demo'"; }}},
    {Kind::Wma, {"ffmpeg", fixtures::EncodeWma,
                 [](const std::string& t) { return "-metadata " + fixtures::ShellQuote("title=" + t) + " -metadata 'artist=Nilo Demo'"; }}},
};

const std::map<Kind, bool (*)(const std::string&, double)> kSequencers = {
    {Kind::Mod, fixtures::WriteMod}, {Kind::Xm, fixtures::WriteXm}, {Kind::It, fixtures::WriteIt},
    {Kind::S3m, fixtures::WriteS3m}, {Kind::Midi, fixtures::WriteMidi},
};

// The track's own name: the display title without the playlist's prefix.
std::string TrackName(const std::string& title)
{
    const size_t dash = title.find(" - ");
    return dash == std::string::npos ? title : title.substr(dash + 3);
}

Outcome WritePiece(const demo::Piece& piece, const std::string& path, double& seconds)
{
    if (const auto sequencer = kSequencers.find(piece.kind); sequencer != kSequencers.end()) {
        seconds = piece.seconds;
        return sequencer->second(path, piece.seconds) ? Outcome::Written : Outcome::Failed;
    }
    const std::vector<float> audio = demo::Render(piece.voices, piece.beatsPerMinute);
    seconds = static_cast<double>(audio.size() / 2) / demo::kRate;
    const std::vector<int16_t> pcm = fixtures::ToInt16(audio);
    if (piece.kind == Kind::Wav)
        return fixtures::WriteWav16(path, demo::kRate, 2, pcm) ? Outcome::Written : Outcome::Failed;
    if (piece.kind == Kind::Aiff)
        return fixtures::WriteAiff16(path, demo::kRate, 2, pcm) ? Outcome::Written : Outcome::Failed;

    const Encoder& encoder = kEncoders.at(piece.kind);
    if (!fixtures::HaveTool(encoder.tool)) {
        std::fprintf(stderr, "nilo-demo: skipping %s: %s is not installed\n", piece.file.c_str(), encoder.tool);
        return Outcome::Skipped;
    }
    const std::string wav = path + ".source.wav";
    const bool ok = fixtures::WriteWav16(wav, demo::kRate, 2, pcm)
        && encoder.encode(wav, path, encoder.tagArgs(TrackName(piece.title)));
    std::error_code ignored;
    std::filesystem::remove(wav, ignored);
    return ok ? Outcome::Written : Outcome::Failed;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: nilo-demo OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "nilo-demo: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
        return 1;
    }

    std::vector<std::string> lines = {"#EXTM3U"};
    for (const demo::Piece& piece : demo::DemoPieces()) {
        const std::string path = dir + "/" + piece.file;
        double seconds = 0;
        const Outcome outcome = WritePiece(piece, path, seconds);
        if (outcome == Outcome::Failed) {
            std::fprintf(stderr, "nilo-demo: cannot write %s\n", path.c_str());
            return 1;
        }
        if (outcome == Outcome::Skipped)
            continue;
        lines.push_back("#EXTINF:" + std::to_string(std::lround(seconds)) + "," + piece.title);
        lines.push_back(piece.file);
    }
    if (!platform::WriteFileAtomic(dir + "/demo.m3u", platform::JoinCrLf(lines))) {
        std::fprintf(stderr, "nilo-demo: cannot write %s/demo.m3u\n", dir.c_str());
        return 1;
    }
    return 0;
}
