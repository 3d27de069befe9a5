#include "tests/servers/LoopbackServer.h"

#include "tests/servers/TestCertificate.h"

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace servers {
namespace {

// OpenSSL writes to its socket with write(), which raises SIGPIPE on a peer
// that has gone; blocked on the servers' threads it stays a failed write.
// Threads inherit the mask, so the acceptor's covers the connections'.
void BlockSigpipe()
{
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
}

int ListenOnLoopback(uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

SSL_CTX* ServerTlsContext()
{
    const TestCertificate& certificate = LoopbackCertificate();
    SSL_CTX* context = certificate.ok() ? SSL_CTX_new(TLS_server_method()) : nullptr;
    if (context != nullptr
        && (SSL_CTX_use_certificate_file(context, certificate.certificateFile.c_str(), SSL_FILETYPE_PEM) != 1
            || SSL_CTX_use_PrivateKey_file(context, certificate.keyFile.c_str(), SSL_FILETYPE_PEM) != 1)) {
        SSL_CTX_free(context);
        return nullptr;
    }
    return context;
}

} // namespace

Connection::Connection(int fd, size_t number, StopSignal& stop, std::string base)
    : fd_(fd), number_(number), stop_(stop), base_(std::move(base))
{
    // A client that never sends its request does not hold a handler forever.
    const timeval limit{10, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

Connection::~Connection()
{
    if (tls_ != nullptr)
        SSL_free(tls_);
    ::close(fd_);
}

bool Connection::acceptTls(SSL_CTX* context)
{
    tls_ = SSL_new(context);
    if (tls_ == nullptr || SSL_set_fd(tls_, fd_) != 1 || SSL_accept(tls_) != 1) {
        ERR_clear_error();
        closed_ = true;
        return false;
    }
    return true;
}

long Connection::receive(char* buffer, size_t size)
{
    if (!open())
        return -1;
    if (tls_ != nullptr) {
        const int n = SSL_read(tls_, buffer, static_cast<int>(std::min<size_t>(size, 1 << 20)));
        ERR_clear_error();
        return n;
    }
    ssize_t n;
    do
        n = ::recv(fd_, buffer, size, 0);
    while (n < 0 && errno == EINTR && open());
    return n;
}

const Request& Connection::request()
{
    if (request_)
        return *request_;
    request_.emplace();
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.find("\n\n") == std::string::npos) {
        if (head.size() >= kMostRequestBytes)
            return *request_;
        const long n = receive(buffer, std::min(sizeof buffer, kMostRequestBytes - head.size()));
        if (n <= 0)
            return *request_;
        head.append(buffer, static_cast<size_t>(n));
    }
    Request& r = *request_;
    r.message = SplitHttp(head);
    const std::string line = r.message.startLine();
    const size_t first = line.find(' ');
    const size_t second = line.find(' ', first + 1);
    r.complete = first != std::string::npos && second != std::string::npos;
    if (r.complete) {
        r.method = line.substr(0, first);
        r.path = line.substr(first + 1, second - first - 1);
        r.version = line.substr(second + 1);
    }
    return r;
}

bool Connection::send(std::string_view bytes)
{
    if (!open())
        return false;
    bool sent = true;
    if (tls_ == nullptr)
        sent = SendAll(fd_, bytes);
    while (sent && !bytes.empty() && tls_ != nullptr) {
        const int n = SSL_write(tls_, bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), 1 << 20)));
        sent = n > 0;
        if (sent)
            bytes.remove_prefix(static_cast<size_t>(n));
        else
            ERR_clear_error();
    }
    if (!sent)
        closed_ = true;
    return sent;
}

bool Connection::sendPaced(std::string_view bytes, double bytesPerSecond)
{
    if (bytesPerSecond <= 0)
        return send(bytes);
    if (pacer_.rate() != bytesPerSecond)
        pacer_.restart(bytesPerSecond);
    return SendPaced(bytes, pacer_, stop_, [this](std::string_view part) { return send(part); });
}

bool Connection::wait(double seconds)
{
    const bool waited = open() && stop_.waitFor(seconds);
    pacer_.restart(pacer_.rate());
    return waited;
}

void Connection::close()
{
    if (closed_.exchange(true))
        return;
    if (tls_ != nullptr) {
        SSL_shutdown(tls_);
        ERR_clear_error();
    }
    ::shutdown(fd_, SHUT_RDWR);
}

void Connection::interrupt()
{
    closed_ = true;
    ::shutdown(fd_, SHUT_RDWR);
}

LoopbackServer::LoopbackServer(Handler handler, ServerOptions options)
    : handler_(std::move(handler)), options_(options)
{
    if (options_.tls && (tls_ = ServerTlsContext()) == nullptr)
        return;
    listener_ = ListenOnLoopback(port_);
    if (listener_ >= 0)
        acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer()
{
    stop();
    if (listener_ >= 0)
        ::close(listener_);
    if (tls_ != nullptr)
        SSL_CTX_free(tls_);
}

std::string LoopbackServer::url(std::string_view path) const
{
    return (options_.tls ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + std::string(path);
}

std::string LoopbackServer::certificateFile() const
{
    return options_.tls ? LoopbackCertificate().certificateFile : std::string();
}

void LoopbackServer::acceptLoop()
{
    BlockSigpipe();
    while (!stop_.raised()) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors or a connection reset before it was taken:
            // try again shortly rather than spin.
            if (errno != EINTR && errno != ECONNABORTED)
                stop_.waitFor(0.01);
            continue;
        }
        reapFinished();
        std::lock_guard lock(slotsMutex_);
        if (stop_.raised()) {
            ::close(fd);
            break;
        }
        Slot& slot = slots_.emplace_back();
        slot.connection = std::make_unique<Connection>(fd, ++accepted_, stop_, url(""));
        slot.thread = std::thread([this, &slot] { serve(slot); });
    }
}

void LoopbackServer::serve(Slot& slot)
{
    // The request is read before the handler runs: one left unread would
    // make the close a reset that destroys what the client has not read yet.
    Connection& connection = *slot.connection;
    if (tls_ == nullptr || connection.acceptTls(tls_)) {
        connection.request();
        handler_(connection);
    }
    connection.close();
    slot.done = true;
}

void LoopbackServer::reapFinished()
{
    std::lock_guard lock(slotsMutex_);
    for (auto it = slots_.begin(); it != slots_.end();) {
        if (!it->done) {
            ++it;
            continue;
        }
        it->thread.join();
        it = slots_.erase(it);
    }
}

void LoopbackServer::stop()
{
    std::call_once(stopped_, [this] {
        stop_.raise();
        if (listener_ >= 0)
            ::shutdown(listener_, SHUT_RDWR);
        if (acceptor_.joinable())
            acceptor_.join();
        std::list<Slot> open;
        {
            std::lock_guard lock(slotsMutex_);
            for (Slot& slot : slots_)
                slot.connection->interrupt();
            open.splice(open.end(), slots_);
        }
        for (Slot& slot : open)
            slot.thread.join();
    });
}

} // namespace servers
