#include "bench/app/ProcessCpu.h"

#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace bench {

double ProcessCpuSeconds(pid_t Pid) {
    std::ifstream file("/proc/" + std::to_string(Pid) + "/stat");
    std::string text;
    if (!std::getline(file, text)) return -1;
    // The command name in parentheses may hold spaces: fields count from
    // after its closing parenthesis, where field 3 (the state) starts.
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    unsigned long long utime = 0;
    unsigned long long stime = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14) utime = std::stoull(field);
        if (number == 15) stime = std::stoull(field);
    }
    if (!fields) return -1;
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

} // namespace bench
