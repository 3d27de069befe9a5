// The start-up baseline: an empty fixed-size QWidget shown by a plain
// QApplication, ending at its first idle moment (see FirstIdle.h).
#pragma once

#include <cstdint>

namespace bench {

int RunBareWindow(int& Argc, char** Argv, int64_t StartedNs);

} // namespace bench
