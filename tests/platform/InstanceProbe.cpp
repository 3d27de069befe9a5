// Starts up like the player: ends older copies of itself, says "ready" and
// waits. SIGTERM makes it say "terminated" and leave normally, as the player
// leaves its event loop; with --ignore-term SIGTERM has no effect.
#include "platform/ProcessCopies.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    const bool ignoreTerm = argc > 1 && std::strcmp(argv[1], "--ignore-term") == 0;
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    if (ignoreTerm)
        std::signal(SIGTERM, SIG_IGN);
    else
        sigprocmask(SIG_BLOCK, &term, nullptr);

    platform::EndOtherCopies(platform::ExecutablePath());
    if (::write(STDOUT_FILENO, "ready\n", 6) != 6) return 1;

    if (ignoreTerm)
        for (;;)
            ::pause();
    int sig = 0;
    sigwait(&term, &sig);
    return ::write(STDOUT_FILENO, "terminated\n", 11) == 11 ? 0 : 1;
}
