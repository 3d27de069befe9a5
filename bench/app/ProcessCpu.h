// CPU time of another process, all its threads, from /proc/<pid>/stat.
#pragma once

#include <sys/types.h>

namespace bench {

// utime + stime in seconds (clock-tick resolution), or -1 when unreadable.
double ProcessCpuSeconds(pid_t Pid);

} // namespace bench
