// What the program's main() runs, with no arguments, on NILO_HOME, ending at
// the first idle moment after the main window is shown (see FirstIdle.h).
#pragma once

#include <cstdint>

namespace bench {

int RunPlayer(int& Argc, char** Argv, int64_t StartedNs);

} // namespace bench
