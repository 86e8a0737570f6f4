#include "sqlengine/tds/posix/Listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "sqlengine/tds/Browser.h"
#include "sqlengine/tds/Connection.h"

namespace sqlengine::tds {

namespace {

// Before login a client may send no more than this in one message.
constexpr size_t kMaxLoginMessage = 128 * 1024;
constexpr size_t kMaxPacket = 32767;

int openSocket(int type, uint16_t port) {
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error(std::string("cannot create a socket: ") + std::strerror(errno));
    int on = 1;
    if (type == SOCK_STREAM) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        (type == SOCK_STREAM && ::listen(fd, 128) != 0)) {
        int err = errno;
        ::close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) +
                                 (type == SOCK_DGRAM ? "/udp" : "") + ": " + std::strerror(err));
    }
    return fd;
}

uint16_t boundPort(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

bool sendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

std::string hostName() {
    char buf[256] = {0};
    if (gethostname(buf, sizeof buf - 1) != 0 || !buf[0]) return "localhost";
    std::string h = buf;
    return h.substr(0, h.find('.'));
}

// Watches the sockets of connections whose request is running: data from
// the client then is its attention (or its end), and the request is
// cancelled. A request is picked up within one tick; short requests pass
// unwatched.
class AttentionWatcher {
public:
    AttentionWatcher() : m_thread([this] { loop(); }) {}
    ~AttentionWatcher() {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    uint64_t watch(int fd, Connection* c) {
        std::lock_guard<std::mutex> lock(m_lock);
        uint64_t token = ++m_next;
        m_watched[fd] = {c, token};
        return token;
    }
    void unwatch(int fd, uint64_t token) {
        std::lock_guard<std::mutex> lock(m_lock);
        auto it = m_watched.find(fd);
        if (it != m_watched.end() && it->second.token == token) m_watched.erase(it);
    }

private:
    struct Entry {
        Connection* connection;
        uint64_t token;
    };
    static constexpr auto kTick = std::chrono::milliseconds(25);
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::map<int, Entry> m_watched;
    uint64_t m_next = 0;
    bool m_stop = false;
    std::thread m_thread;

    void loop() {
        for (;;) {
            std::vector<pollfd> fds;
            std::vector<uint64_t> tokens;
            {
                std::unique_lock<std::mutex> lock(m_lock);
                if (m_watched.empty()) m_wake.wait_for(lock, kTick);
                if (m_stop) return;
                for (const auto& [fd, e] : m_watched) {
                    fds.push_back({fd, POLLIN, 0});
                    tokens.push_back(e.token);
                }
            }
            if (fds.empty()) continue;
            int n = ::poll(fds.data(), fds.size(), static_cast<int>(kTick.count()));
            if (n <= 0) continue;
            std::lock_guard<std::mutex> lock(m_lock);
            for (size_t i = 0; i < fds.size(); ++i) {
                if (!fds[i].revents) continue;
                auto it = m_watched.find(fds[i].fd);
                if (it == m_watched.end() || it->second.token != tokens[i]) continue;
                it->second.connection->cancel();
                m_watched.erase(it);
            }
        }
    }
};

}  // namespace

struct Listener::Impl {
    Server& server;
    ListenerOptions options;
    std::mutex connectLock;
    std::string host = hostName();
    int tcp = -1, udp = -1;
    int wake[2] = {-1, -1};

    struct Client {
        int fd = -1;
        std::string peer;
        std::thread thread;
        std::atomic<bool> done{false};
        std::unique_ptr<Connection> connection;
    };
    std::mutex clientsLock;
    std::list<Client> clients;
    std::unique_ptr<AttentionWatcher> watcher;

    Impl(Server& s, ListenerOptions o) : server(s), options(std::move(o)) {}

    void log(const std::string& line) {
        if (!options.log) return;
        static std::mutex logLock;
        std::lock_guard<std::mutex> lock(logLock);
        *options.log << line << std::endl;
    }

    void serve(Client& c) {
        int fd = c.fd;
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        // A peer that vanished without closing is found by keepalive.
        setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        int idle = 60, interval = 10, count = 3;
        setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
        setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
        setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
        timeval sendTimeout{options.sendTimeoutSeconds, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);

        Connection& conn = *c.connection;
        MessageAssembler assembler(kMaxPacket, kMaxLoginMessage);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.loginTimeoutSeconds);
        std::string reason = "closed by the client";
        std::vector<char> buffer(65536);
        try {
            for (;;) {
                while (auto message = assembler.next()) {
                    bool request = conn.loggedIn() && message->type != kAttention;
                    uint64_t token = request ? watcher->watch(fd, &conn) : 0;
                    Connection::Reply reply;
                    try {
                        reply = conn.handle(*message);
                    } catch (...) {
                        if (request) watcher->unwatch(fd, token);
                        throw;
                    }
                    if (request) watcher->unwatch(fd, token);
                    if (!reply.bytes.empty() && !sendAll(fd, reply.bytes))
                        throw ProtocolError("cannot send the reply");
                    if (reply.close) throw ProtocolError(reply.reason);
                    if (!reply.reason.empty()) log(c.peer + ": " + reply.reason);
                    if (conn.loggedIn()) {
                        assembler.setMaxPacket(conn.packetSize());
                        assembler.setMaxMessage(options.maxMessageBytes);
                    }
                }
                if (!conn.loggedIn()) {
                    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now());
                    pollfd p{fd, POLLIN, 0};
                    int n = left.count() > 0 ? ::poll(&p, 1, static_cast<int>(left.count())) : 0;
                    if (n < 0 && errno == EINTR) continue;
                    if (n == 0)
                        throw ProtocolError("no login within " + std::to_string(options.loginTimeoutSeconds) +
                                            " s");
                }
                ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                assembler.feed(std::string_view(buffer.data(), static_cast<size_t>(n)));
            }
        } catch (const ProtocolError& e) {
            reason = e.what();
        } catch (const std::exception& e) {
            reason = std::string("failed: ") + e.what();
        }
        if (reason != "closed by the client") log(c.peer + ": connection closed: " + reason);
        std::unique_ptr<Connection> ended;
        {
            std::lock_guard<std::mutex> lock(clientsLock);
            ::close(fd);
            c.fd = -1;
            ended = std::move(c.connection);
        }
        // Its session ends now, not when the thread is reaped: an open
        // transaction is rolled back and its write lock let go at once.
        ended.reset();
        c.done = true;
    }

    void reap(bool all) {
        std::list<Client> finished;
        {
            std::lock_guard<std::mutex> lock(clientsLock);
            for (auto it = clients.begin(); it != clients.end();) {
                auto next = std::next(it);
                if (all || it->done) finished.splice(finished.end(), clients, it);
                it = next;
            }
        }
        for (Client& c : finished) c.thread.join();
    }

    void accept() {
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        int fd = ::accept4(tcp, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
        if (fd < 0) return;
        char ip[INET_ADDRSTRLEN] = {0};
        inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
        std::string name = std::string(ip) + ":" + std::to_string(ntohs(peer.sin_port));
        reap(false);
        std::lock_guard<std::mutex> lock(clientsLock);
        if (static_cast<int>(clients.size()) >= options.maxConnections) {
            ::close(fd);
            log(name + ": refused, " + std::to_string(options.maxConnections) + " connections are open");
            return;
        }
        Client& c = clients.emplace_back();
        c.fd = fd;
        c.peer = name;
        c.connection = std::make_unique<Connection>(server, connectLock, host);
        c.thread = std::thread([this, &c] { serve(c); });
    }

    void answerBrowser() {
        char buf[1024];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = ::recvfrom(udp, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n <= 0) return;
        std::string reply = browserReply(std::string_view(buf, static_cast<size_t>(n)), host,
                                         options.instanceName, boundPort(tcp));
        if (!reply.empty())
            ::sendto(udp, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
};

Listener::Listener(Server& server, ListenerOptions options)
    : m(std::make_unique<Impl>(server, std::move(options))) {
    if (::pipe2(m->wake, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("cannot create a pipe");
}

Listener::~Listener() {
    for (int fd : {m->tcp, m->udp, m->wake[0], m->wake[1]})
        if (fd >= 0) ::close(fd);
}

void Listener::bind() {
    m->tcp = openSocket(SOCK_STREAM, m->options.port);
    if (m->options.browser) m->udp = openSocket(SOCK_DGRAM, m->options.browserPort);
}

uint16_t Listener::port() const {
    return boundPort(m->tcp);
}

uint16_t Listener::browserPort() const {
    return m->udp >= 0 ? boundPort(m->udp) : 0;
}

void Listener::stop() {
    char c = 1;
    ssize_t ignored = ::write(m->wake[1], &c, 1);
    (void)ignored;
}

void Listener::run() {
    m->watcher = std::make_unique<AttentionWatcher>();
    for (;;) {
        pollfd fds[3] = {{m->wake[0], POLLIN, 0}, {m->tcp, POLLIN, 0}, {m->udp, POLLIN, 0}};
        int n = ::poll(fds, m->udp >= 0 ? 3 : 2, -1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        if (fds[0].revents) break;
        if (fds[1].revents) m->accept();
        if (m->udp >= 0 && fds[2].revents) m->answerBrowser();
    }
    ::close(m->tcp);
    m->tcp = -1;
    {
        std::lock_guard<std::mutex> lock(m->clientsLock);
        for (auto& c : m->clients) {
            if (c.fd >= 0) ::shutdown(c.fd, SHUT_RDWR);
            if (c.connection) c.connection->cancel();
        }
    }
    m->reap(true);
    m->watcher.reset();
}

}  // namespace sqlengine::tds
