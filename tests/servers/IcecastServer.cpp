#include "tests/servers/IcecastServer.h"

#include "tests/servers/LoopbackClient.h"
#include "testdata/Fixtures.h"

#include <arpa/inet.h>
#include <cctype>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <grp.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace servers {
namespace {

constexpr const char* kIcecast = "/usr/bin/icecast2";
constexpr const char* kSourcePassword = "nilo-source";
constexpr const char* kAdminPassword = "nilo-admin";
constexpr uid_t kNobody = 65534; // and nogroup

// Free now; taken again by icecast2 a moment later, so start() tries anew
// when another process was quicker.
uint16_t FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

// The MP3 mount's ICY blocks carry titles in UTF-8 rather than Latin-1.
std::string Config(const std::string& folder, uint16_t port)
{
    const std::string lines[] = {
        "<icecast>",
        "<location>loopback</location><admin>test@localhost</admin>",
        "<limits><clients>50</clients><sources>4</sources><source-timeout>10</source-timeout></limits>",
        "<authentication><source-password>" + std::string(kSourcePassword) + "</source-password>",
        "<admin-user>admin</admin-user><admin-password>" + std::string(kAdminPassword) + "</admin-password>",
        "</authentication>",
        "<hostname>127.0.0.1</hostname>",
        "<listen-socket><port>" + std::to_string(port) + "</port><bind-address>127.0.0.1</bind-address>",
        "</listen-socket>",
        "<mount type=\"normal\"><mount-name>" + std::string(IcecastServer::kMp3Mount) + "</mount-name>",
        "<charset>UTF-8</charset></mount>",
        "<fileserve>0</fileserve>",
        "<paths><logdir>" + folder + "</logdir><pidfile>" + folder + "/icecast.pid</pidfile>",
        "<webroot>/usr/share/icecast2/web</webroot><adminroot>/usr/share/icecast2/admin</adminroot></paths>",
        "<logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog><loglevel>3</loglevel></logging>",
        "<security><chroot>0</chroot></security>",
        "</icecast>",
    };
    std::string config;
    for (const std::string& line : lines)
        config += line + "\n";
    return config;
}

// icecast2 refuses to run as root: hand the folder to nobody.
bool HandToNobody(const std::string& folder)
{
    if (::geteuid() != 0)
        return true;
    std::error_code ec;
    bool handed = ::chown(folder.c_str(), kNobody, kNobody) == 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        handed = handed && ::chown(entry.path().c_str(), kNobody, kNobody) == 0;
    return handed && !ec;
}

std::string Tail(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    return all.size() > 1500 ? all.substr(all.size() - 1500) : all;
}

std::string UrlEncoded(std::string_view text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~')
            out += static_cast<char>(c);
        else
            out += {'%', kHex[c >> 4], kHex[c & 15]};
    }
    return out;
}

} // namespace

bool IcecastServer::Installed()
{
    return ::access(kIcecast, X_OK) == 0;
}

std::string IcecastServer::url(std::string_view mount) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(mount);
}

bool IcecastServer::start(double boundSeconds)
{
    stop();
    error_.clear();
    if (!Installed()) {
        error_ = std::string(kIcecast) + " is not installed (scripts/deps.sh test installs icecast2)";
        return false;
    }
    const StreamAudio& mp3 = Stream(AudioFormat::Mp3);
    const StreamAudio& ogg = Stream(AudioFormat::Vorbis, 20);
    if (!mp3.ok() || !ogg.ok()) {
        error_ = "the mounts' audio could not be encoded (lame, oggenc)";
        return false;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!launch())
            return false;
        mp3Source_ = std::make_unique<SourceClient>(port_, kMp3Mount, kSourcePassword, mp3);
        oggSource_ = std::make_unique<SourceClient>(port_, kOggMount, kSourcePassword, ogg);
        if (mountsLive(boundSeconds))
            return true;
        const bool tryAgain = exited_; // most likely the port was taken meanwhile
        collectError(exited_ ? "icecast2 ended early" : "the mounts did not go live in time");
        stop();
        if (!tryAgain)
            return false;
    }
    return false;
}

bool IcecastServer::launch()
{
    folder_ = fixtures::MakeTempDir("nilo-icecast");
    port_ = FreePort();
    const std::string config = folder_ + "/icecast.xml";
    const std::string output = folder_ + "/icecast.out";
    if (folder_.empty() || port_ == 0 || !(std::ofstream(config) << Config(folder_, port_))
        || !HandToNobody(folder_)) {
        error_ = "could not prepare icecast2's folder " + folder_;
        return false;
    }
    // Everything the child needs is made before fork: after it, in a copy
    // of a process with threads, only plain system calls are safe.
    const char* argv[] = {kIcecast, "-c", config.c_str(), nullptr};
    const bool asRoot = ::geteuid() == 0;
    const pid_t parent = ::getpid();
    std::promise<pid_t> started;
    exited_ = false;
    // The watcher forks, so the child's parent-death signal (tied to the
    // thread that forked) fires only if this process ends before icecast2.
    watcher_ = std::thread([&, argv] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            const int none = ::open("/dev/null", O_RDONLY);
            if (out < 0 || none < 0 || ::dup2(none, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0
                || ::chdir(folder_.c_str()) != 0)
                ::_exit(126);
            if (asRoot && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
                ::_exit(126);
            if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
                ::_exit(126);
            ::execv(kIcecast, const_cast<char* const*>(argv));
            ::_exit(127);
        }
        started.set_value(pid);
        int status = 0;
        while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        exited_ = true;
    });
    pid_ = started.get_future().get();
    if (pid_ < 0) {
        watcher_.join();
        error_ = "could not fork icecast2";
        return false;
    }
    return true;
}

bool IcecastServer::mountsLive(double boundSeconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(boundSeconds);
    for (const char* mount : {kMp3Mount, kOggMount}) {
        while (true) {
            const HttpMessage reply =
                SplitHttp(Exchange(port_, "GET " + std::string(mount) + " HTTP/1.0\r\n\r\n", 4096, 2,
                                   [](const std::string& r) { return !SplitHttp(r).body.empty(); }));
            if (reply.startLine().find(" 200") != std::string::npos && !reply.body.empty())
                break;
            if (exited_ || std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    return true;
}

void IcecastServer::collectError(const std::string& what)
{
    error_ = what + " (port " + std::to_string(port_) + ")\n--- icecast.out:\n" + Tail(folder_ + "/icecast.out")
        + "\n--- error.log:\n" + Tail(folder_ + "/error.log");
}

bool IcecastServer::setTitle(std::string_view mount, std::string_view title, std::string_view artist)
{
    std::string fields;
    if (mount == kOggMount) // icecast2 2.4 starts a new link only when both fields come
        fields = "&artist=" + UrlEncoded(artist) + "&title=" + UrlEncoded(title);
    else if (artist.empty())
        fields = "&song=" + UrlEncoded(title);
    else
        fields = "&song=" + UrlEncoded(std::string(artist) + " - " + std::string(title));
    const std::string request = "GET /admin/metadata?mount=" + UrlEncoded(mount) + "&mode=updinfo" + fields
        + "&charset=UTF-8 HTTP/1.0\r\nAuthorization: Basic " + BasicCredentials("admin", kAdminPassword)
        + "\r\n\r\n";
    return Exchange(port_, request, 65536, 5).find("<return>1</return>") != std::string::npos;
}

void IcecastServer::stop()
{
    mp3Source_.reset();
    oggSource_.reset();
    if (watcher_.joinable()) {
        if (!exited_)
            ::kill(pid_, SIGTERM);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!exited_ && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!exited_)
            ::kill(pid_, SIGKILL);
        watcher_.join();
    }
    pid_ = -1;
    fixtures::RemoveTree(folder_);
    folder_.clear();
}

} // namespace servers
