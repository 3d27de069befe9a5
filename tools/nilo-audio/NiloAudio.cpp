// nilo-audio: the audio library from the command line, for scripts and tests.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Commands.h"

int Fail(const std::string& reason) {
    std::fprintf(stderr, "nilo-audio: %s\n", reason.c_str());
    return 1;
}

HSTREAM OpenChannel(const std::string& path, uint32_t moduleFlags) {
    const HSTREAM h = CreateFileChannel(path, 0x20000, moduleFlags);
    if (h == 0) Fail(path + ": not an audio file any creation call accepts");
    return h;
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
                 "usage: nilo-audio info FILE\n"
                 "       nilo-audio render FILE OUT.wav [--start S] [--duration S] "
                 "[--volume 0..100] [--pan -100..100]\n"
                 "       nilo-audio play FILE [--seconds S]\n");
    return 2;
}
