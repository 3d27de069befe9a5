// From OK in the address dialog to the first sample at the device, for a
// station on 127.0.0.1 that sends at real-time pace from the moment it is
// connected, against the time its pre-buffer takes to fill (measured on a
// channel of its own, as the library reports it). The real window on Qt's
// offscreen platform, the dummy sound driver; medians of several runs.
#include <QLineEdit>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/NiloApplication.h"
#include "app/PlayerWindows.h"
#include "bench/network/StationProcess.h"
#include "testdata/Fixtures.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 7;

double MillisecondsSince(Clock::time_point Start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - Start).count();
}

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

// Until the pre-buffer is 90 % full, as PlayStream waits for it.
double FillMilliseconds(const std::string& Address) {
    const auto start = Clock::now();
    const HSTREAM h = CreateURLChannel(Address, audio::kUrlNoKeep);
    while (audio::streamBufferedPercent(h) >= 0 && audio::streamBufferedPercent(h) < 90)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double filled = MillisecondsSince(start);
    FreeChannel(h);
    return filled;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const std::string home = fixtures::MakeTempDir("nilo-bench-stream-start");
    setenv("NILO_HOME", home.c_str(), 1);
    fixtures::Run("cp -r " + fixtures::ShellQuote(NILO_LANGUAGE_FOLDER) + " " + fixtures::ShellQuote(home + "/Lng"));
    NiloApplication application(argc, argv);
    bench::StationProcess station({"mp3"});
    std::vector<double> fills, starts;
    {
        PlayerWindows windows;
        if (station.address().empty() || !windows.Form1.FormCreate({})) {
            std::fprintf(stderr, "cannot start the station or open the device\n");
            fixtures::RemoveTree(home);
            return 1;
        }
        windows.Form1.show();
        windows.OpenURLBox.CurURL->setText(QString::fromStdString(station.address()));
        for (int run = 0; run < kRuns; ++run) {
            fills.push_back(FillMilliseconds(station.address()));
            const auto start = Clock::now();
            windows.OpenURLBox.OKButtClick();
            while (audio::positionBytes(Channel) == 0 && audio::activity(Channel) == audio::kPlaying)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            starts.push_back(MillisecondsSince(start));
            windows.Form1.StopClick();
        }
    }
    audio::closeOutput();
    fixtures::RemoveTree(home);

    const double fill = Median(fills), first = Median(starts);
    std::printf("prebuffer_fill_ms=%.1f\n", fill);
    std::printf("ok_to_first_sample_ms=%.1f\n", first);
    std::printf("beyond_fill_ms=%.1f (target at most 100)\n", first - fill);
    return 0;
}
