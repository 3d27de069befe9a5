#include "FloatWavWriter.h"

#include <cstdio>
#include <sndfile.h>

#include "audio/AudioLibrary.h"

FloatWavWriter::FloatWavWriter(std::string path)
    : path_(std::move(path)), partPath_(path_ + ".part") {
    SF_INFO format{};
    format.samplerate = static_cast<int>(audio::kOutputRate);
    format.channels = 2;
    format.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    file_ = sf_open(partPath_.c_str(), SFM_WRITE, &format);
    if (file_) sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
}

FloatWavWriter::~FloatWavWriter() {
    if (file_) {
        sf_close(file_);
        std::remove(partPath_.c_str());
    }
}

bool FloatWavWriter::write(const float* stereo, size_t frames) {
    return file_ &&
           sf_writef_float(file_, stereo, static_cast<sf_count_t>(frames)) ==
               static_cast<sf_count_t>(frames);
}

bool FloatWavWriter::finish() {
    if (!file_) return false;
    const bool closed = sf_close(file_) == 0;
    file_ = nullptr;
    if (!closed || std::rename(partPath_.c_str(), path_.c_str()) != 0) {
        std::remove(partPath_.c_str());
        return false;
    }
    return true;
}
