// MIDI files played by FluidSynth from our own reading of the events, in the
// MIDI plugin: the song ends at its last track end (the library's own player
// runs on for seconds), but no later than its last event can still be heard.
// A short seek renders and drops the samples up to the target, so it is
// exact; a long one passes the events before the target to the synthesizer
// without their notes or sound, and renders only the last moments.
#include <fluidsynth.h>

#include <algorithm>
#include <vector>

#include "audio/AudioLibrary.h"
#include "audio/decoders/DecoderPlugins.h"
#include "audio/decoders/ExactLengthDecoder.h"
#include "audio/decoders/MidiFile.h"
#include "audio/decoders/SharedSoundFont.h"

namespace audio {
namespace {

constexpr size_t kDiscardChunk = 4096;
// Seconds a sound may ring after the last event; the song ends then at the latest.
constexpr uint64_t kLastEventRing = 10;
// Seeks this far (in seconds) are rendered; longer ones render only as much
// before the target, so that notes begun there are heard.
constexpr uint64_t kRenderedSeek = 5;

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

bool IsNote(const MidiEvent& e)
{
    const uint8_t kind = e.status & 0xF0;
    return kind == 0x80 || kind == 0x90 || kind == 0xA0;
}

void Send(fluid_synth_t* synth, const MidiEvent& e)
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
            fluid_synth_sysex(synth, reinterpret_cast<const char*>(e.sysex), static_cast<int>(e.sysexLength), nullptr,
                              nullptr, nullptr, 0);
        break;
    }
}

class MidiDecoder final : public ExactLengthDecoder {
  public:
    MidiDecoder(MidiSong song, std::shared_ptr<SharedSoundFont> font, uint32_t rate)
        : song_(std::move(song)), font_(std::move(font)), rate_(rate)
    {
        setLength(std::min(song_.lengthFrames(rate_), song_.frameAt(song_.lastEventTick, rate_) + kLastEventRing * rate_));
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
        events_ = std::make_unique<MidiEventReader>(song_);
        fetch();
        rendered_ = 0;
    }

    void fetch()
    {
        pending_ = events_->next(event_);
        if (pending_)
            eventFrame_ = song_.frameAt(event_.tick, rate_);
    }

    size_t decode(float* out, size_t frames) override
    {
        if (!ok())
            return 0;
        std::lock_guard<std::mutex> hold(font_->lock());
        size_t done = 0;
        while (done < frames) {
            for (; pending_ && eventFrame_ <= rendered_; fetch())
                Send(synth_->get(), event_);
            uint64_t upTo = rendered_ + std::min<size_t>(frames - done, kDiscardChunk);
            if (pending_)
                upTo = std::min(upTo, eventFrame_);
            const int n = static_cast<int>(upTo - rendered_);
            float* at = out + 2 * done;
            fluid_synth_write_float(synth_->get(), n, at, 0, 2, at, 1, 2);
            rendered_ += static_cast<uint64_t>(n);
            done += static_cast<size_t>(n);
        }
        return done;
    }

    // Moves to `frame` without sound: what the events before it set
    // (programs, controllers, pitch bend, SysEx) is sent, their notes are not.
    void skipTo(uint64_t frame)
    {
        if (!ok())
            return;
        std::lock_guard<std::mutex> hold(font_->lock());
        fluid_synth_all_sounds_off(synth_->get(), -1);
        for (; pending_ && eventFrame_ < frame; fetch())
            if (!IsNote(event_))
                Send(synth_->get(), event_);
        rendered_ = frame;
    }

    bool seekSource(uint64_t frame) override
    {
        const uint64_t leadIn = kRenderedSeek * rate_;
        if (frame < rendered_)
            restart();
        if (frame - rendered_ > leadIn)
            skipTo(frame - leadIn);
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
    std::unique_ptr<Synth> synth_;
    std::unique_ptr<MidiEventReader> events_;
    MidiEvent event_;
    bool pending_ = false;
    uint64_t eventFrame_ = 0;
    uint64_t rendered_ = 0;
};

std::unique_ptr<Decoder> MakeMidiDecoder(ByteSource& source, uint32_t rate)
{
    if (rate == 0)
        rate = 44100;
    if (rate < 8000 || rate > 96000)
        return nullptr;
    std::string data;
    if (!ReadWholeSource(source, data))
        return nullptr;
    auto song = ParseMidiFile(std::move(data));
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

NILO_PLUGIN_ENTRY audio::Decoder* nilo_open_midi_decoder_v3(audio::ByteSource* source, uint32_t rate)
{
    return source ? audio::MakeMidiDecoder(*source, rate).release() : nullptr;
}
