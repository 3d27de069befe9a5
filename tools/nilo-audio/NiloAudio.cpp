// nilo-audio: the audio library from the command line, for scripts and tests.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Commands.h"

int Fail(const std::string& reason) {
    std::fprintf(stderr, "nilo-audio: %s\n", reason.c_str());
    return 1;
}

bool IsAddress(const std::string& path) {
    return path.rfind("http://", 0) == 0 || path.rfind("https://", 0) == 0;
}

// As the player opens a stream: made at once, then given up to 10 s to
// buffer enough to start.
HSTREAM OpenAddress(const std::string& address) {
    const HSTREAM h = CreateURLChannel(address, audio::kUrlNoKeep);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int buffered = 0;
    while (h != 0 && (buffered = audio::streamBufferedPercent(h)) >= 0 && buffered < 90 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (h != 0 && buffered >= 90) return h;
    audio::StreamStatus status;
    audio::streamStatus(h, status);
    Fail(address + ": " + (status.error.empty() ? "the stream did not buffer within 10 s" : status.error));
    FreeChannel(h);
    return 0;
}

HSTREAM OpenChannel(const std::string& path, uint32_t moduleFlags) {
    if (IsAddress(path)) return OpenAddress(path);
    const HSTREAM h = CreateFileChannel(path, 0x20000, moduleFlags);
    if (h == 0) Fail(path + ": not an audio file any creation call accepts");
    return h;
}

bool StreamGoesOn(HSTREAM h) {
    audio::StreamStatus status;
    return audio::streamStatus(h, status) && !status.ended;
}

int main(int argc, char** argv) {
    struct Command {
        const char* name;
        int (*run)(const std::vector<std::string>&);
    };
    static const Command kCommands[] = {
        {"info", InfoCommand}, {"render", RenderCommand}, {"play", PlayCommand}};
    if (argc >= 2) {
        const std::vector<std::string> arguments(argv + 2, argv + argc);
        for (const Command& command : kCommands) {
            if (std::strcmp(argv[1], command.name) == 0) return command.run(arguments);
        }
    }
    std::fprintf(stderr,
                 "usage: nilo-audio info FILE|ADDRESS\n"
                 "       nilo-audio render FILE|ADDRESS OUT.wav [--start S] [--duration S] "
                 "[--volume 0..100] [--pan -100..100]\n"
                 "       nilo-audio play FILE|ADDRESS [--seconds S]\n");
    return 2;
}
