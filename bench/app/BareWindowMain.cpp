// The bare window as a program of its own, linked with Qt Widgets only, so
// that the baseline loads no library the player needs beyond Qt's.
// Usage: bench_app_BareWindow <CLOCK_MONOTONIC ns taken before the fork>
#include <cstdlib>

#include "bench/app/BareWindow.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    return bench::RunBareWindow(argc, argv, std::atoll(argv[1]));
}
