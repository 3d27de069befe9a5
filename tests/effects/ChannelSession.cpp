#include "ChannelSession.h"

#include "tests/fixtures/Fixtures.h"

namespace effects_test {

ChannelSession::ChannelSession() : dir_(fixtures::MakeTempDir("nilo-effects")) {}

ChannelSession::~ChannelSession() {
    for (audio::Handle h : handles_) audio::releaseStream(h);
    fixtures::RemoveTree(dir_);
}

std::string ChannelSession::WriteWav(uint32_t rate, uint32_t channels,
                                     const std::vector<float>& samples) {
    const std::string path = dir_ + "/f" + std::to_string(files_++) + ".wav";
    return fixtures::WriteWavFloat(path, rate, channels, samples) ? path : std::string();
}

std::string ChannelSession::WriteWav16(uint32_t rate, uint32_t channels,
                                       const std::vector<float>& samples) {
    const std::string path = dir_ + "/p" + std::to_string(files_++) + ".wav";
    return fixtures::WriteWav16(path, rate, channels, fixtures::ToInt16(samples)) ? path
                                                                                : std::string();
}

audio::Handle ChannelSession::Open(const std::string& path) {
    const audio::Handle h =
        audio::openFileChannel(path, 0, 0, audio::kExactLength | audio::kFloatSamples);
    if (h != 0) handles_.push_back(h);
    return h;
}

audio::Handle ChannelSession::OpenSamples(uint32_t rate, uint32_t channels,
                                          const std::vector<float>& samples) {
    return Open(WriteWav(rate, channels, samples));
}

std::vector<float> ChannelSession::Render(audio::Handle h, size_t frames) {
    std::vector<float> out(frames * 2, 0.0f);
    out.resize(audio::renderOutput(h, out.data(), frames) * 2);
    return out;
}

} // namespace effects_test
