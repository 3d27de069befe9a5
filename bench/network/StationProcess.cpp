#include "bench/network/StationProcess.h"

#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

StationProcess::StationProcess(const std::vector<std::string>& Arguments) {
    int output[2];
    if (pipe(output) != 0) return;
    std::vector<char*> argv;
    std::string program = NILO_TEST_STATION;
    argv.push_back(program.data());
    std::vector<std::string> copies = Arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(output[1], STDOUT_FILENO);
        close(output[0]);
        close(output[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(output[1]);
    if (FILE* in = fdopen(output[0], "r")) {
        char line[512];
        if (pid_ > 0 && std::fgets(line, sizeof line, in)) {
            address_ = line;
            while (!address_.empty() && (address_.back() == '\n' || address_.back() == '\r')) address_.pop_back();
        }
        std::fclose(in);
    } else {
        close(output[0]);
    }
}

StationProcess::~StationProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

} // namespace bench
