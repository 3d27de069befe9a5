// Writes 32-bit float stereo WAV at the output rate. The file appears under
// its name only once finished, so a failed render leaves any old file alone,
// and a render stopped by SIGINT, SIGTERM or SIGHUP leaves no part file.
#pragma once

#include <cstddef>
#include <string>

typedef struct sf_private_tag SNDFILE;

class FloatWavWriter {
  public:
    explicit FloatWavWriter(std::string path);
    ~FloatWavWriter();
    FloatWavWriter(const FloatWavWriter&) = delete;
    FloatWavWriter& operator=(const FloatWavWriter&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    bool write(const float* stereo, size_t frames);
    // Closes the file and puts it in place; false on any failure.
    bool finish();

  private:
    std::string path_;
    std::string partPath_;
    SNDFILE* file_ = nullptr;
};
