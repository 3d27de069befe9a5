// test_station mp3|aac [--fast] [--title-every S]
// A station of our own in a process of its own, for scripts and benchmarks
// that must not count its work as the player's: prints its address, then
// streams (at real-time pace, or as fast as the client reads with --fast,
// titles "Artist N - Song N" every S seconds) until SIGTERM or SIGINT.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/servers/StreamHandler.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: test_station mp3|aac [--fast] [--title-every S]\n");
        return 2;
    }
    const std::string kind = argv[1];
    servers::StreamOptions options;
    options.audio = &servers::Stream(kind == "aac" ? servers::AudioFormat::Aac : servers::AudioFormat::Mp3);
    options.icyName = "Loopback FM";
    options.metaint = 16000;
    double every = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--fast") options.realTime = false;
        if (option == "--title-every" && i + 1 < argc) every = std::atof(argv[++i]);
    }
    for (int n = 1; n <= (every > 0 ? 1000 : 1); ++n) {
        const std::string number = std::to_string(n);
        options.titles.push_back({(n - 1) * every, servers::StreamTitleBlock("Artist " + number + " - Song " + number)});
    }
    // Taken by sigwait below, so that the temporary audio folder is removed.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    if (!options.audio->ok()) {
        std::fprintf(stderr, "test_station: the audio could not be made\n");
        return 1;
    }
    servers::LoopbackServer server(servers::StreamHandler(options));
    if (!server.ok()) return 1;
    std::printf("%s\n", server.url("/live").c_str());
    std::fflush(stdout);
    int stop = 0;
    sigwait(&stops, &stop);
    return 0;
}
