// The child's end of a start-up measurement. At the first aboutToBlock of
// the event dispatcher after Window received its first paint event, prints
//   first_idle_ns=<time since StartedNs> rss_kib=<VmRSS> cpu_ms=<user+system>
// then, 1.5 s later, settled_rss_kib=<VmRSS>, and leaves the loop.
//
// Why there: show() only asks the X server to map the window; its expose and
// the first paint come back a round trip later, and the loop may wait once
// before that, so an idle moment is only counted once the window has been
// painted. A zero timer posted at show() fires before that paint. Under
// Qt's glib dispatcher aboutToBlock precedes every iteration that may wait,
// not only those that do; a trace showed the loop really waiting within
// 2 ms after it (after one more paint pass of the player's playlist).
#pragma once

#include <cstdint>
#include <string>

class QWidget;

namespace bench {

void ReportAtFirstIdle(QWidget& Window, int64_t StartedNs);

struct FirstIdle {
    int64_t ElapsedNs = 0;
    int64_t RssKib = 0;
    int64_t CpuMs = 0;
    int64_t SettledRssKib = 0;
};

// Reads the line from a child's output; false without one.
bool ParseFirstIdle(const std::string& Text, FirstIdle& Result);

} // namespace bench
