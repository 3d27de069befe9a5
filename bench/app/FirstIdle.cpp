#include "bench/app/FirstIdle.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/resource.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include "bench/app/MonotonicClock.h"

namespace bench {

namespace {

constexpr int kSettleMs = 1500;

int64_t ResidentKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtoll(line.c_str() + 6, nullptr, 10);
    return -1;
}

int64_t CpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_usec / 1000; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

class PaintWatch : public QObject {
  public:
    explicit PaintWatch(QWidget& Window) : QObject(&Window) { Window.installEventFilter(this); }
    bool painted = false;
    bool reported = false;

  protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() == QEvent::Paint) painted = true;
        return QObject::eventFilter(Watched, Event);
    }
};

} // namespace

void ReportAtFirstIdle(QWidget& Window, int64_t StartedNs) {
    auto* watch = new PaintWatch(Window);
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, watch,
                     [watch, StartedNs] {
                         if (!watch->painted || watch->reported) return;
                         watch->reported = true;
                         const int64_t elapsed = MonotonicNs() - StartedNs;
                         std::printf("first_idle_ns=%lld rss_kib=%lld cpu_ms=%lld\n", static_cast<long long>(elapsed),
                                     static_cast<long long>(ResidentKib()), static_cast<long long>(CpuMs()));
                         std::fflush(stdout);
                         // Work the program left for later (a long playlist's rows) is done by then.
                         QTimer::singleShot(kSettleMs, [] {
                             std::printf("settled_rss_kib=%lld\n", static_cast<long long>(ResidentKib()));
                             std::fflush(stdout);
                             QCoreApplication::exit(0);
                         });
                     });
}

bool ParseFirstIdle(const std::string& Text, FirstIdle& Result) {
    long long elapsed = 0;
    long long rss = 0;
    long long cpu = 0;
    long long settled = 0;
    const size_t at = Text.find("first_idle_ns=");
    const size_t later = Text.find("settled_rss_kib=");
    if (at == std::string::npos || later == std::string::npos ||
        std::sscanf(Text.c_str() + at, "first_idle_ns=%lld rss_kib=%lld cpu_ms=%lld", &elapsed, &rss, &cpu) != 3 ||
        std::sscanf(Text.c_str() + later, "settled_rss_kib=%lld", &settled) != 1)
        return false;
    Result = {elapsed, rss, cpu, settled};
    return true;
}

} // namespace bench
