// Tracker modules through libopenmpt, rendered stereo at the asked rate.
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "audio/AudioLibrary.h"
#include "audio/decoders/ExactLengthDecoder.h"
#include "audio/decoders/SourceHeader.h"

namespace audio {
namespace {

constexpr uint32_t kDefaultRate = 44100;
// Interpolation filter taps: linear for normal interpolation, else none.
constexpr int32_t kInterpolatedTaps = 2;
constexpr int32_t kNearestTaps = 1;

struct ModuleDestroyer {
    void operator()(openmpt_module* m) const { openmpt_module_destroy(m); }
};
using Module = std::unique_ptr<openmpt_module, ModuleDestroyer>;

std::string Metadata(openmpt_module* module, const char* key)
{
    const char* raw = openmpt_module_get_metadata(module, key);
    std::string value = raw ? raw : "";
    openmpt_free_string(raw);
    return value;
}

uint32_t TypeOf(const std::string& type)
{
    if (type == "mtm")
        return kTypeModMtm;
    if (type == "s3m" || type == "stm" || type == "stx")
        return kTypeModS3m;
    if (type == "xm")
        return kTypeModXm;
    if (type == "it" || type == "mptm")
        return kTypeModIt;
    return kTypeModMod;
}

// Cheap refusal of most foreign files before reading them whole; small files
// get "want more data" and are decided by the full load.
bool HeaderMayBeModule(const SourceHeader& header)
{
    if (!header.size || *header.size == 0)
        return false;
    const size_t wanted = std::min(openmpt_probe_file_header_get_recommended_size(), header.head.size());
    const int result = openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, header.head.data(), wanted,
                                                 *header.size, openmpt_log_func_silent, nullptr,
                                                 openmpt_error_func_ignore, nullptr, nullptr, nullptr);
    return result != OPENMPT_PROBE_FILE_HEADER_RESULT_FAILURE;
}

class ModuleDecoder final : public ExactLengthDecoder {
  public:
    ModuleDecoder(Module module, uint32_t rate)
        : module_(std::move(module)), rate_(rate), type_(TypeOf(Metadata(module_.get(), "type"))),
          exactSeeksOnly_(Metadata(module_.get(), "type") == "stm")
    {
        const double seconds = openmpt_module_get_duration_seconds(module_.get());
        setLength(std::isfinite(seconds) && seconds > 0 ? static_cast<uint64_t>(std::llround(seconds * rate_)) : 0);
    }
    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return 2; }
    uint32_t typeCode() const override { return type_; }

  private:
    size_t decode(float* out, size_t frames) override
    {
        const size_t got
            = openmpt_module_read_interleaved_float_stereo(module_.get(), static_cast<int32_t>(rate_), frames, out);
        rendered_ += got;
        return got;
    }

    bool seekSource(uint64_t frame) override
    {
        if (exactSeeksOnly_) {
            if (frame < rendered_) {
                openmpt_module_set_position_seconds(module_.get(), 0.0);
                rendered_ = 0;
            }
        } else {
            rendered_ = LibrarySeek(frame);
        }
        std::vector<float> scratch(2 * 4096);
        while (rendered_ < frame) {
            // A song that ends before its computed length is padded by the caller.
            if (decode(scratch.data(), static_cast<size_t>(std::min<uint64_t>(frame - rendered_, 4096))) == 0)
                break;
        }
        return true;
    }

    // The library lands on the first row that starts at or after the time it
    // is given: earlier times are asked for until it lands before the target.
    // Returns the frame it landed on.
    uint64_t LibrarySeek(uint64_t frame)
    {
        const double target = static_cast<double>(frame) / rate_;
        double landed = 0;
        for (double back = 0.0;; back = back == 0.0 ? 0.05 : back * 2) {
            const double ask = std::max(0.0, target - back);
            landed = openmpt_module_set_position_seconds(module_.get(), ask);
            if (landed <= target || ask == 0.0)
                break;
        }
        return landed > 0 ? std::min<uint64_t>(static_cast<uint64_t>(std::llround(landed * rate_)), frame) : 0;
    }

    Module module_;
    uint32_t rate_;
    uint32_t type_;
    // Row times of STM songs do not match what the library renders, so its
    // seeks land hundreds of frames off; those songs seek by rendering.
    bool exactSeeksOnly_;
    uint64_t rendered_ = 0;
};

} // namespace

std::unique_ptr<Decoder> OpenModuleDecoder(const std::shared_ptr<ByteSource>& source, const SourceHeader& header,
                                           uint32_t rate, bool interpolate)
{
    if (rate == 0)
        rate = kDefaultRate;
    if (rate < 8000 || rate > 192000 || !HeaderMayBeModule(header))
        return nullptr;
    std::string data;
    if (!ReadWholeSource(*source, data) || data.empty())
        return nullptr;
    const openmpt_module_initial_ctl ctls[] = {{"play.at_end", "stop"}, {"seek.sync_samples", "1"}, {nullptr, nullptr}};
    Module module(openmpt_module_create_from_memory2(data.data(), data.size(), openmpt_log_func_silent, nullptr,
                                                     openmpt_error_func_ignore, nullptr, nullptr, nullptr, ctls));
    if (!module)
        return nullptr;
    openmpt_module_set_render_param(module.get(), OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH,
                                    interpolate ? kInterpolatedTaps : kNearestTaps);
    auto decoder = std::make_unique<ModuleDecoder>(std::move(module), rate);
    if (decoder->lengthFrames() == 0)
        return nullptr;
    return decoder;
}

} // namespace audio
