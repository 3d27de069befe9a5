// A server on 127.0.0.1 for tests: each accepted connection runs a handler on
// its own thread; stop() ends them all promptly, also while they wait or send.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "tests/servers/LoopbackClient.h"
#include "tests/servers/Pacing.h"

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace servers {

// Requests are read up to this size; a longer head is no request.
constexpr size_t kMostRequestBytes = 65536;

struct Request {
    std::string method, path, version;
    HttpMessage message; // the head as it came
    bool complete = false;
    std::optional<std::string> header(std::string_view name) const { return message.header(name); }
    bool wantsIcyMetadata() const { return header("Icy-MetaData") == "1"; }
};

// One accepted connection, as its handler sees it. Every call returns false
// (and does nothing more) once the peer has gone, the handler closed it or
// the server is stopping, so a handler ends as soon as one fails.
class Connection {
  public:
    Connection(int fd, size_t number, StopSignal& stop, std::string base);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The request line and headers, read before the handler runs: at most
    // kMostRequestBytes, waiting at most 10 s (complete is false otherwise).
    const Request& request();
    bool send(std::string_view bytes);
    // At bytesPerSecond in pieces of about 20 ms; successive calls at the same
    // rate keep one schedule, so a stream sent in parts keeps its pace.
    bool sendPaced(std::string_view bytes, double bytesPerSecond);
    // Sleeps; false when the server stops first. The pace starts anew after.
    bool wait(double seconds);
    void close();
    bool open() const { return !closed_ && !stop_.raised(); }

    // 1 for the server's first connection, 2 for the next ...
    size_t number() const { return number_; }
    // This server's address for path, as LoopbackServer::url gives it.
    std::string url(std::string_view path) const { return base_ + std::string(path); }
    // Wakes a send or receive that blocks (the server's stop).
    void interrupt();

  private:
    friend class LoopbackServer;
    bool acceptTls(SSL_CTX* context);
    long receive(char* buffer, size_t size);

    int fd_;
    SSL* tls_ = nullptr;
    size_t number_;
    StopSignal& stop_;
    std::string base_;
    std::optional<Request> request_;
    Pacer pacer_;
    std::atomic<bool> closed_{false};
};

struct ServerOptions {
    // https with LoopbackCertificate()
    bool tls = false;
};

class LoopbackServer {
  public:
    using Handler = std::function<void(Connection&)>;

    // Listening once constructed (on a free port); ok() tells whether it is.
    explicit LoopbackServer(Handler handler, ServerOptions options = {});
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool ok() const { return port_ != 0; }
    uint16_t port() const { return port_; }
    // "http://127.0.0.1:PORT" + path, "https://" with TLS; path begins with "/".
    std::string url(std::string_view path = "/") const;
    // What SSL_CERT_FILE must name for a client to trust this server.
    std::string certificateFile() const;
    size_t connections() const { return accepted_; }

    // Closes the listener and every connection and joins all threads.
    void stop();

  private:
    struct Slot {
        std::unique_ptr<Connection> connection;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void acceptLoop();
    void serve(Slot& slot);
    void reapFinished();

    Handler handler_;
    ServerOptions options_;
    SSL_CTX* tls_ = nullptr;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<size_t> accepted_{0};
    StopSignal stop_;
    std::mutex slotsMutex_;
    std::list<Slot> slots_;
    std::thread acceptor_;
    std::once_flag stopped_;
};

} // namespace servers
