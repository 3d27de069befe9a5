#include "FloatWavWriter.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sndfile.h>
#include <unistd.h>

#include "audio/AudioLibrary.h"

namespace {

// The part file being written, for the signal handler: a program stopped by
// SIGINT, SIGTERM or SIGHUP leaves no half-written file behind.
char gPartPath[4096];
volatile sig_atomic_t gPartOpen = 0;

void RemovePartAndDie(int signal) {
    if (gPartOpen) ::unlink(gPartPath);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void WatchPart(const std::string& path) {
    static const bool installed = [] {
        for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, RemovePartAndDie);
        return true;
    }();
    (void)installed;
    gPartOpen = 0;
    if (path.size() >= sizeof gPartPath) return;
    std::memcpy(gPartPath, path.c_str(), path.size() + 1);
    gPartOpen = 1;
}

void ForgetPart() { gPartOpen = 0; }

} // namespace

FloatWavWriter::FloatWavWriter(std::string path)
    : path_(std::move(path)), partPath_(path_ + ".part") {
    WatchPart(partPath_);
    SF_INFO format{};
    format.samplerate = static_cast<int>(audio::kOutputRate);
    format.channels = 2;
    format.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    file_ = sf_open(partPath_.c_str(), SFM_WRITE, &format);
    if (file_)
        sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    else
        ForgetPart();
}

FloatWavWriter::~FloatWavWriter() {
    if (file_) {
        sf_close(file_);
        std::remove(partPath_.c_str());
        ForgetPart();
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
    const bool placed = closed && std::rename(partPath_.c_str(), path_.c_str()) == 0;
    if (!placed) std::remove(partPath_.c_str());
    ForgetPart();
    return placed;
}
