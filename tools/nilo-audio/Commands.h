// The commands of nilo-audio; each takes the arguments after its name and
// returns the exit status.
#pragma once

#include <string>
#include <vector>

#include "engine/Tonik_utilfunc.h"

int InfoCommand(const std::vector<std::string>& arguments);
int RenderCommand(const std::vector<std::string>& arguments);
int PlayCommand(const std::vector<std::string>& arguments);

// Prints "nilo-audio: reason" on stderr; returns the failure status 1.
int Fail(const std::string& reason);

// CreateFileChannel with the playback flags and the given module flags; 0,
// with the reason printed, when no creation call accepts the file. An
// http:// or https:// address opens as a stream once it has buffered.
HSTREAM OpenChannel(const std::string& path, uint32_t moduleFlags);
bool IsAddress(const std::string& path);
// A stream that may still give more frames than it has buffered.
bool StreamGoesOn(HSTREAM h);
