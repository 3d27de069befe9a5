#include "tests/decoders/DecoderFixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

#include "audio/AudioLibrary.h"
#include "tests/fixtures/Fixtures.h"

namespace decoders_test {
namespace {

constexpr double kSeconds = 3.0;
constexpr uint32_t kRate = 44100;

class FixtureFolder : public ::testing::Environment {
  public:
    void TearDown() override { fixtures::RemoveTree(folder_); }
    const std::string& folder()
    {
        if (folder_.empty())
            folder_ = fixtures::MakeTempDir("nilo-decoders");
        return folder_;
    }

  private:
    std::string folder_;
};

FixtureFolder* Folder()
{
    static FixtureFolder* folder
        = static_cast<FixtureFolder*>(::testing::AddGlobalTestEnvironment(new FixtureFolder));
    return folder;
}
// Registered before the tests run, so that its TearDown removes the folder.
[[maybe_unused]] const FixtureFolder* const kRegistered = Folder();

std::string In(const std::string& name)
{
    return Folder()->folder() + "/" + name;
}

// Frames in raw float output of `command` (which writes to stdout).
uint64_t CountFloatFrames(const std::string& command, uint32_t channels)
{
    std::string out;
    if (!fixtures::Capture(command, out))
        return 0;
    return out.size() / (4 * channels);
}

// A PCM source for the encoders; returns its frame count.
uint64_t Source(const std::string& name, uint32_t rate, uint32_t channels)
{
    const uint64_t frames = static_cast<uint64_t>(kSeconds * rate);
    const std::string path = In(name);
    if (!std::ifstream(path).good())
        fixtures::WriteWav16(path, rate, channels, fixtures::ToInt16(fixtures::TestSignal(rate, channels, frames)));
    return frames;
}

Fixture Make(const std::string& name)
{
    using namespace audio;
    const auto q = fixtures::ShellQuote;
    Fixture f;
    bool made = false;
    if (name == "wav") {
        f = {In("a.wav"), "sndfile", kTypeWav, 110250};
        made = fixtures::WriteWav16(f.path, kRate, 2, fixtures::ToInt16(fixtures::TestSignal(kRate, 2, f.frames)));
    } else if (name == "floatwav") {
        f = {In("b.wav"), "sndfile", kTypeWav, 48000};
        made = fixtures::WriteWavFloat(f.path, 48000, 1, fixtures::TestSignal(48000, 1, f.frames));
    } else if (name == "aiff") {
        f = {In("c.aiff"), "sndfile", kTypeAiff, 44100};
        made = fixtures::WriteAiff16(f.path, 22050, 2, fixtures::ToInt16(fixtures::TestSignal(22050, 2, f.frames)));
    } else if (name == "cbrmp3" || name == "vbrmp3" || name == "noxingmp3") {
        const char* args = name == "cbrmp3" ? "-b 128" : name == "vbrmp3" ? "-V 2" : "-V 2 -t";
        f = {In(name + ".mp3"), "mpeg", kTypeMp3, Source("src.wav", kRate, 2)};
        made = fixtures::EncodeMp3(In("src.wav"), f.path, args);
        if (name == "noxingmp3")
            f.frames = CountFloatFrames("mpg123 -q -e f32 -s " + q(f.path), 2);
    } else if (name == "taggedmp3") {
        f = {In("tagged.mp3"), "mpeg", kTypeMp3, Source("src.wav", kRate, 2)};
        made = fixtures::EncodeMp3(In("src.wav"), f.path, "-b 160 --add-id3v2 --tt Title --ta Artist");
    } else if (name == "mpeg2mp3") {
        f = {In("m2.mp3"), "mpeg", kTypeMp3, Source("src22m.wav", 22050, 1)};
        made = fixtures::EncodeMp3(In("src22m.wav"), f.path, "-b 64");
    } else if (name == "mp2") {
        f = {In("l2.mp2"), "mpeg", kTypeMp2, 0};
        Source("src.wav", kRate, 2);
        made = fixtures::Run("ffmpeg -nostdin -v error -y -i " + q(In("src.wav")) + " -c:a mp2 -b:a 192k -f mp2 "
                             + q(f.path));
        f.frames = CountFloatFrames("mpg123 -q -e f32 -s " + q(f.path), 2);
    } else if (name == "ogg") {
        f = {In("v.ogg"), "vorbis", kTypeOgg, Source("src.wav", kRate, 2)};
        made = fixtures::EncodeOgg(In("src.wav"), f.path);
    } else if (name == "wma" || name == "wmav1") {
        const bool v1 = name == "wmav1";
        const uint32_t channels = v1 ? 1 : 2;
        f = {In(name + ".wma"), "wma", kTypeWma, 0};
        const std::string src = v1 ? "src22m.wav" : "src.wav";
        Source(src, v1 ? 22050 : kRate, channels);
        made = fixtures::EncodeWma(In(src), f.path, v1 ? "-c:a wmav1 -b:a 48k" : "");
        f.frames = CountFloatFrames("ffmpeg -nostdin -v error -i " + q(f.path) + " -f f32le -", channels);
    } else if (name == "midi") {
        f = {In("song.mid"), "midi", kTypeMidi, static_cast<uint64_t>(kSeconds * kRate)};
        made = fixtures::WriteMidi(f.path, kSeconds);
    } else {
        static const std::map<std::string, std::pair<bool (*)(const std::string&, double), uint32_t>> modules = {
            {"mod", {fixtures::WriteMod, kTypeModMod}}, {"s3m", {fixtures::WriteS3m, kTypeModS3m}},
            {"xm", {fixtures::WriteXm, kTypeModXm}},    {"it", {fixtures::WriteIt, kTypeModIt}},
            {"stm", {fixtures::WriteStm, kTypeModS3m}}, {"umx", {fixtures::WriteUmx, kTypeModS3m}}};
        const auto it = modules.find(name);
        if (it != modules.end()) {
            f = {In("song." + name), "module", it->second.second, 0};
            made = it->second.first(f.path, kSeconds);
        }
    }
    if (!made)
        ADD_FAILURE() << "fixture " << name << " could not be made";
    return f;
}

} // namespace

const Fixture& GetFixture(const std::string& name)
{
    static std::mutex guard;
    static std::map<std::string, Fixture> made;
    std::lock_guard<std::mutex> hold(guard);
    auto it = made.find(name);
    if (it == made.end())
        it = made.emplace(name, Make(name)).first;
    return it->second;
}

const std::vector<std::string>& AllFixtureNames()
{
    static const std::vector<std::string> names = {"wav", "floatwav", "aiff", "cbrmp3", "vbrmp3", "noxingmp3",
                                                   "taggedmp3", "mpeg2mp3", "mp2", "ogg", "wma", "wmav1", "mod",
                                                   "s3m", "xm", "it", "stm", "umx", "midi"};
    return names;
}

std::string ScratchPath(const std::string& name)
{
    return In(name);
}

std::unique_ptr<audio::Decoder> OpenWith(const std::string& kind, const std::string& path)
{
    return OpenWith(kind, path, {});
}

std::unique_ptr<audio::Decoder> OpenWith(const std::string& kind, const std::string& path,
                                         const audio::DecoderOptions& options)
{
    const audio::DecoderEntry* entry = audio::FindDecoder(kind);
    return entry ? audio::OpenFileWith(*entry, path, options) : nullptr;
}

std::unique_ptr<audio::Decoder> OpenByTrial(const std::string& path, std::string& kind)
{
    const audio::DecoderEntry* taken = nullptr;
    auto decoder = audio::OpenFileByTrial(path, audio::ChannelKind::None, {}, &taken);
    kind = taken ? taken->name : "";
    return decoder;
}

std::vector<float> ReadAll(audio::Decoder& decoder, uint64_t maxFrames, size_t chunk)
{
    std::vector<float> all;
    std::vector<float> buffer(chunk * decoder.channels());
    uint64_t total = 0;
    while (total < maxFrames) {
        const size_t got = decoder.read(buffer.data(), static_cast<size_t>(std::min<uint64_t>(chunk, maxFrames - total)));
        if (got == 0)
            break;
        all.insert(all.end(), buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(got * decoder.channels()));
        total += got;
    }
    return all;
}

std::vector<float> ReadFrames(audio::Decoder& decoder, size_t frames)
{
    return ReadAll(decoder, frames);
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace decoders_test
