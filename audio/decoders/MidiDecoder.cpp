// MIDI files played by FluidSynth from our own event list, in the MIDI
// plugin: the song ends at its last track end (the library's own player runs
// on for seconds), and a seek renders and drops the samples up to the target,
// so it is exact.
#include <fluidsynth.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "audio/AudioLibrary.h"
#include "audio/decoders/DecoderPlugins.h"
#include "audio/decoders/ExactLengthDecoder.h"
#include "audio/decoders/MidiFile.h"
#include "audio/decoders/SharedSoundFont.h"

namespace audio {
namespace {

constexpr size_t kDiscardChunk = 4096;

class Synth {
  public:
    Synth(std::shared_ptr<SharedSoundFont> font, uint32_t rate) : font_(std::move(font))
    {
        settings_ = new_fluid_settings();
        if (!settings_)
            return;
        fluid_settings_setnum(settings_, "synth.sample-rate", rate);
        std::lock_guard<std::mutex> hold(font_->lock());
        synth_ = new_fluid_synth(settings_);
        if (synth_ && fluid_synth_add_sfont(synth_, font_->font()) == FLUID_FAILED) {
            delete_fluid_synth(synth_);
            synth_ = nullptr;
        }
    }
    ~Synth()
    {
        if (synth_) {
            std::lock_guard<std::mutex> hold(font_->lock());
            fluid_synth_remove_sfont(synth_, font_->font());
            delete_fluid_synth(synth_);
        }
        if (settings_)
            delete_fluid_settings(settings_);
    }
    Synth(const Synth&) = delete;
    Synth& operator=(const Synth&) = delete;

    bool ok() const { return synth_ != nullptr; }
    fluid_synth_t* get() const { return synth_; }

  private:
    std::shared_ptr<SharedSoundFont> font_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
};

void Send(fluid_synth_t* synth, const MidiEvent& e, const MidiSong& song)
{
    const int channel = e.status & 0x0F;
    switch (e.status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth, channel, e.data1);
        break;
    case 0x90:
        if (e.data2 == 0)
            fluid_synth_noteoff(synth, channel, e.data1);
        else
            fluid_synth_noteon(synth, channel, e.data1, e.data2);
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, channel, e.data1, e.data2);
        break;
    case 0xB0:
        fluid_synth_cc(synth, channel, e.data1, e.data2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, channel, e.data1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, channel, e.data1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth, channel, e.data1 | (e.data2 << 7));
        break;
    case 0xF0:
        if (e.sysexLength > 0)
            fluid_synth_sysex(synth, reinterpret_cast<const char*>(song.sysex.data() + e.sysexOffset),
                              static_cast<int>(e.sysexLength), nullptr, nullptr, nullptr, 0);
        break;
    }
}

class MidiDecoder final : public ExactLengthDecoder {
  public:
    MidiDecoder(MidiSong song, std::shared_ptr<SharedSoundFont> font, uint32_t rate)
        : song_(std::move(song)), font_(std::move(font)), rate_(rate)
    {
        eventFrames_.reserve(song_.events.size());
        for (const MidiEvent& e : song_.events)
            eventFrames_.push_back(song_.frameAt(e.tick, rate_));
        setLength(song_.lengthFrames(rate_));
        restart();
    }
    bool ok() const { return synth_ && synth_->ok(); }
    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return 2; }
    uint32_t typeCode() const override { return kTypeMidi; }

  private:
    // A fresh synthesizer plays exactly as the first one did from the start.
    void restart()
    {
        synth_.reset();
        synth_ = std::make_unique<Synth>(font_, rate_);
        nextEvent_ = 0;
        rendered_ = 0;
    }

    size_t decode(float* out, size_t frames) override
    {
        if (!ok())
            return 0;
        std::lock_guard<std::mutex> hold(font_->lock());
        size_t done = 0;
        while (done < frames) {
            while (nextEvent_ < eventFrames_.size() && eventFrames_[nextEvent_] <= rendered_)
                Send(synth_->get(), song_.events[nextEvent_++], song_);
            uint64_t upTo = rendered_ + std::min<size_t>(frames - done, kDiscardChunk);
            if (nextEvent_ < eventFrames_.size())
                upTo = std::min(upTo, eventFrames_[nextEvent_]);
            const int n = static_cast<int>(upTo - rendered_);
            float* at = out + 2 * done;
            fluid_synth_write_float(synth_->get(), n, at, 0, 2, at, 1, 2);
            rendered_ += static_cast<uint64_t>(n);
            done += static_cast<size_t>(n);
        }
        return done;
    }

    bool seekSource(uint64_t frame) override
    {
        if (frame < rendered_)
            restart();
        std::vector<float> scratch(2 * kDiscardChunk);
        while (rendered_ < frame) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(frame - rendered_, kDiscardChunk));
            if (decode(scratch.data(), n) == 0)
                return false;
        }
        return true;
    }

    MidiSong song_;
    std::shared_ptr<SharedSoundFont> font_;
    uint32_t rate_;
    std::vector<uint64_t> eventFrames_;
    std::unique_ptr<Synth> synth_;
    size_t nextEvent_ = 0;
    uint64_t rendered_ = 0;
};

bool ReadFile(const std::string& path, std::string& data)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::unique_ptr<Decoder> MakeMidiDecoder(const std::string& path, uint32_t rate)
{
    if (rate == 0)
        rate = 44100;
    if (rate < 8000 || rate > 96000)
        return nullptr;
    std::string data;
    if (!ReadFile(path, data))
        return nullptr;
    auto song = ParseMidiFile(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    if (!song || song->lengthFrames(rate) == 0)
        return nullptr;
    auto font = SharedSoundFont::get();
    if (!font)
        return nullptr;
    auto decoder = std::make_unique<MidiDecoder>(std::move(*song), std::move(font), rate);
    if (!decoder->ok())
        return nullptr;
    return decoder;
}

} // namespace
} // namespace audio

NILO_PLUGIN_ENTRY audio::Decoder* nilo_open_midi_decoder_v1(const char* path, uint32_t rate)
{
    return audio::MakeMidiDecoder(path, rate).release();
}
