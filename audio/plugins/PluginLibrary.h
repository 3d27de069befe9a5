// Shared libraries opened on their first use rather than at start-up: our
// decoder plugins and the system libraries that only some files need.
#pragma once

#include <string>

namespace audio {

// The symbol of `library` (a path, or a system library's soname), which is
// opened on the first call and kept for the life of the process. nullptr when
// the library cannot be loaded or lacks the symbol; a library that failed to
// load is not tried again.
void* LibrarySymbol(const std::string& library, const char* symbol);

// Path of one of our plugins: beside the running executable, else in the
// build folder the program was built in, where the plugins are for the
// benchmarks built into its subfolders (and run from copies elsewhere).
std::string PluginPath(const std::string& file);

} // namespace audio
