#include "bench/app/ProcessCpu.h"

#include <dirent.h>
#include <fstream>
#include <string>

namespace bench {

double ProcessCpuSeconds(pid_t Pid) {
    const std::string tasks = "/proc/" + std::to_string(Pid) + "/task";
    DIR* folder = ::opendir(tasks.c_str());
    if (!folder) return -1;
    unsigned long long nanoseconds = 0;
    bool any = false;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream file(tasks + "/" + entry->d_name + "/schedstat");
        unsigned long long running = 0;
        if (file >> running) {
            nanoseconds += running;
            any = true;
        }
    }
    ::closedir(folder);
    return any ? static_cast<double>(nanoseconds) / 1e9 : -1;
}

} // namespace bench
