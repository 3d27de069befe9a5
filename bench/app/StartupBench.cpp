// Start-up time and idle memory of the player against a bare Qt window, and
// the player's CPU share with its window shown, all under an Xvfb and a
// session bus of our own. The baseline is bench_app_BareWindow, which loads
// Qt's libraries only. This binary runs itself again in its child modes,
// "--bare" (the same bare window with every library the player loads) and
// "--player", from a copy in the temporary folder: the player ends other
// running copies of its own executable, which must not include this one.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "bench/app/BareWindow.h"
#include "bench/app/ChildProcess.h"
#include "bench/app/FirstIdle.h"
#include "bench/app/PlayerHome.h"
#include "bench/app/PlayerMode.h"
#include "bench/app/ProcessCpu.h"
#include "bench/app/ReportingServer.h"
#include "platform/ProcessCopies.h"
#include "testdata/Fixtures.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using bench::ChildProcess;

constexpr int kRuns = 5;
constexpr auto kSettle = 2500ms;
constexpr auto kCpuWindow = 20s;

struct StartupCase {
    std::string Name;
    std::vector<std::string> Arguments;
    std::string Home;     // NILO_HOME of the player cases
    int Entries = 0;      // in the home's current.m3u
    double TimeRatio = 0; // targets against the bare window, 0 for none
    double ExtraMib = 0;
    std::vector<double> Milliseconds;
    std::vector<double> RssMib;
    std::vector<double> SettledRssMib;
    std::vector<double> CpuMs;
};

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    const size_t n = Values.size();
    return n == 0 ? 0 : n % 2 ? Values[n / 2] : (Values[n / 2 - 1] + Values[n / 2]) / 2;
}

std::string List(const std::vector<double>& Values) {
    std::string text;
    for (double value : Values) {
        char number[32];
        std::snprintf(number, sizeof number, "%.1f", value);
        if (!text.empty()) text += ' ';
        text += number;
    }
    return text;
}

void ShowLog(const std::string& LogFile) {
    std::string text;
    fixtures::Capture("tail -n 20 " + fixtures::ShellQuote(LogFile), text);
    std::fprintf(stderr, "%s", text.c_str());
}

// One start of a case, timed from just before its fork.
bool RunOnce(StartupCase& Case, const std::vector<std::string>& Environment, const std::string& LogFile, bool Keep) {
    ChildProcess::Options options;
    options.Arguments = Case.Arguments;
    options.Environment = Environment;
    if (!Case.Home.empty()) options.Environment.push_back("NILO_HOME=" + Case.Home);
    options.LogFile = LogFile;
    options.CaptureOutput = true;
    int64_t started = 0;
    ChildProcess child(options, &started);
    const std::string output = child.Output(120s);
    int status = 0;
    const bool ended = child.Wait(60s, &status);
    bench::FirstIdle idle;
    if (!bench::ParseFirstIdle(output, idle) || !ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the %s child failed\n", Case.Name.c_str());
        ShowLog(LogFile);
        return false;
    }
    if (Keep) {
        Case.Milliseconds.push_back(static_cast<double>(idle.ElapsedNs) / 1e6);
        Case.RssMib.push_back(static_cast<double>(idle.RssKib) / 1024.0);
        Case.CpuMs.push_back(static_cast<double>(idle.CpuMs));
        Case.SettledRssMib.push_back(static_cast<double>(idle.SettledRssKib) / 1024.0);
    }
    return true;
}

// Percent of one core the program uses over kCpuWindow after kSettle.
bool PlayerCpu(const std::vector<std::string>& Arguments, const std::vector<std::string>& Environment,
               const std::string& LogFile, double& Percent, bool& EndedOnTerm) {
    ChildProcess::Options options;
    options.Arguments = Arguments;
    options.Environment = Environment;
    options.LogFile = LogFile;
    ChildProcess player(options);
    if (!player.started()) return false;
    std::this_thread::sleep_for(kSettle);
    const double before = bench::ProcessCpuSeconds(player.pid());
    const auto from = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(kCpuWindow);
    const double after = bench::ProcessCpuSeconds(player.pid());
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
    const bool alive = player.Running();
    EndedOnTerm = player.Terminate(5s);
    if (!alive || before < 0 || after < 0) {
        std::fprintf(stderr, "the player ended before the measurement did\n");
        ShowLog(LogFile);
        return false;
    }
    Percent = 100.0 * (after - before) / wall;
    return true;
}

bool CopyProgram(const std::string& From, const std::string& To) {
    std::error_code error;
    fs::copy_file(From, To, fs::copy_options::overwrite_existing, error);
    return !error;
}

// Memory is compared once the program has settled: the player adds a long
// playlist's rows after its first idle moment.
void PrintStartup(const StartupCase& Case, const StartupCase& Bare) {
    const double ms = Median(Case.Milliseconds);
    const double mib = Median(Case.SettledRssMib);
    std::printf("%s_startup_ms=%.1f (runs %s)\n", Case.Name.c_str(), ms, List(Case.Milliseconds).c_str());
    std::printf("%s_startup_cpu_ms=%.0f (runs %s)\n", Case.Name.c_str(), Median(Case.CpuMs), List(Case.CpuMs).c_str());
    std::printf("%s_first_idle_rss_mib=%.1f (runs %s)\n", Case.Name.c_str(), Median(Case.RssMib),
                List(Case.RssMib).c_str());
    std::printf("%s_rss_mib=%.1f (runs %s)\n", Case.Name.c_str(), mib, List(Case.SettledRssMib).c_str());
    if (&Case == &Bare) return;
    const double ratio = ms / Median(Bare.Milliseconds);
    const double extra = mib - Median(Bare.SettledRssMib);
    if (Case.TimeRatio > 0) {
        std::printf("%s_startup_ratio=%.2f (target at most %.0f)\n", Case.Name.c_str(), ratio, Case.TimeRatio);
        std::printf("%s_rss_extra_mib=%.1f (target at most %.0f)\n", Case.Name.c_str(), extra, Case.ExtraMib);
    } else {
        std::printf("%s_startup_ratio=%.2f\n", Case.Name.c_str(), ratio);
        std::printf("%s_rss_extra_mib=%.1f\n", Case.Name.c_str(), extra);
    }
}

int Benchmark() {
    const std::string folder = fixtures::MakeTempDir("nilo-bench-app");
    if (folder.empty()) return 1;
    struct Cleanup {
        std::string Folder;
        ~Cleanup() { fixtures::RemoveTree(Folder); }
    } cleanup{folder};

    const std::string child = folder + "/startup-child";
    const std::string player = folder + "/nilo";
    const std::string wav = folder + "/track.wav";
    const std::string mp3 = folder + "/Bench Signal.mp3";
    const std::string log = folder + "/children.log";
    const auto sixtySeconds = static_cast<uint64_t>(60 * 44100);
    if (!CopyProgram(platform::ExecutablePath(), child) || !CopyProgram(NILO_PROGRAM, player) ||
        !fixtures::WriteWav16(wav, 8000, 1, fixtures::ToInt16(fixtures::TestSignal(8000, 1, 8000))) ||
        !fixtures::WriteWav16(folder + "/signal.wav", 44100, 2,
                              fixtures::ToInt16(fixtures::TestSignal(44100, 2, sixtySeconds))) ||
        !fixtures::EncodeMp3(folder + "/signal.wav", mp3,
                             "-b 192 --tt 'A title long enough to scroll in the status line' --ta Bench --add-id3v2")) {
        std::fprintf(stderr, "cannot prepare the programs and files (is lame installed?)\n");
        return 1;
    }
    std::vector<StartupCase> cases{
        {"bare_window", {NILO_BARE_WINDOW}, "", 0, 0, 0, {}, {}, {}, {}},
        {"bare_window_player_libraries", {child, "--bare"}, "", 0, 0, 0, {}, {}, {}, {}},
        {"player_10000", {child, "--player"}, folder + "/home-10000", 10000, 2, 30, {}, {}, {}, {}},
        {"player_100000", {child, "--player"}, folder + "/home-100000", 100000, 4, 80, {}, {}, {}, {}}};
    for (const StartupCase& c : cases) {
        if (c.Home.empty()) continue;
        if (!bench::MakePlayerHome(c.Home, NILO_LANGUAGE_FOLDER) ||
            !bench::WriteLargePlaylist(c.Home, folder + "/music-" + std::to_string(c.Entries), wav, c.Entries)) {
            std::fprintf(stderr, "cannot write the playlist of %s\n", c.Name.c_str());
            return 1;
        }
    }
    for (const char* home : {"/home-stopped", "/home-playing"})
        if (!bench::MakePlayerHome(folder + home, NILO_LANGUAGE_FOLDER)) {
            std::fprintf(stderr, "cannot copy the language files from %s\n", NILO_LANGUAGE_FOLDER);
            return 1;
        }

    // A desktop session has its bus: without one, libdbus would start a
    // bus for the display through dbus-launch from inside the measured
    // start-up, in the player twice (Qt and SDL).
    const bench::ReportingServer display(
        {"/usr/bin/Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"},
        folder + "/xvfb.log");
    const bench::ReportingServer bus({"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3"},
                                     folder + "/dbus.log");
    if (display.line().empty() || bus.line().empty()) {
        std::fprintf(stderr, "Xvfb or dbus-daemon did not start\n");
        ShowLog(folder + "/xvfb.log");
        ShowLog(folder + "/dbus.log");
        return 1;
    }
    const std::string displayName = ":" + display.line();
    const std::vector<std::string> environment =
        bench::Environment({"DISPLAY=" + displayName, "DBUS_SESSION_BUS_ADDRESS=" + bus.line(), "SDL_AUDIODRIVER=dummy",
                            "QT_QPA_PLATFORM=xcb"},
                           {"NILO_HOME", "WAYLAND_DISPLAY"});

    // A first start of each case warms the page cache and is not counted;
    // the cases then take turns so that a disturbance spreads over all.
    for (int run = 0; run <= kRuns; ++run)
        for (StartupCase& c : cases)
            if (!RunOnce(c, environment, log, run > 0)) return 1;

    std::vector<std::string> stoppedEnvironment = environment;
    stoppedEnvironment.push_back("NILO_HOME=" + folder + "/home-stopped");
    std::vector<std::string> playingEnvironment = environment;
    playingEnvironment.push_back("NILO_HOME=" + folder + "/home-playing");
    double stopped = 0;
    double playing = 0;
    bool stoppedEnded = false;
    bool playingEnded = false;
    if (!PlayerCpu({player}, stoppedEnvironment, log, stopped, stoppedEnded) ||
        !PlayerCpu({player, mp3}, playingEnvironment, log, playing, playingEnded))
        return 1;

    std::printf("display=%s (Xvfb 1280x1024x24, a session bus of its own), SDL_AUDIODRIVER=dummy\n",
                displayName.c_str());
    std::printf("startup_runs=%d each, after one uncounted warm-up; medians\n", kRuns);
    for (const StartupCase& c : cases) PrintStartup(c, cases.front());
    std::printf("player_stopped_cpu_percent=%.3f (target below 0.1)\n", stopped);
    std::printf("player_playing_cpu_percent=%.3f (target below 2)\n", playing);
    if (!stoppedEnded || !playingEnded) std::printf("warning: the player had to be killed, SIGTERM did not end it\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--bare") == 0) return bench::RunBareWindow(argc, argv, std::atoll(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--player") == 0) return bench::RunPlayer(argc, argv, std::atoll(argv[2]));
    return Benchmark();
}
