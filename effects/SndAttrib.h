// Sound attributes of a channel as display texts for the track information.
#pragma once

#include <string>

#include "audio/AudioLibrary.h"

struct TSndAttrib {
    std::string SampleRate;  // "44 kHz": thousands, truncated
    std::string ChannelType; // the library's type code, decimal
    std::string BitRate;     // "128 kbps": average over the whole file
    std::string ChannelMode; // "Mono", "Stereo", "4.1", "5.1", "7.1" or "Unknown"
    std::string SampleBits;  // "24 bit" for the lossless kinds that store it, else empty
};

TSndAttrib GetSndAttrib(audio::Handle Channel, const std::string& FileName);
