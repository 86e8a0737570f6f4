// The SQL Server Browser's datagram exchange over a POSIX UDP socket. The
// socket is connected to 127.0.0.1 so that a closed port is reported at
// once (ECONNREFUSED) instead of waiting out the timeout.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/odbc/SqlBrowser.h"

namespace t7::odbc {
namespace {

class Socket {
public:
    Socket() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace

std::optional<std::string> exchangeLocalDatagram(uint16_t port, std::string_view request,
                                                 std::chrono::milliseconds timeout) {
    Socket socket;
    if (socket.fd() < 0) return std::nullopt;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return std::nullopt;
    }
    if (::send(socket.fd(), request.data(), request.size(), 0) != static_cast<ssize_t>(request.size())) {
        return std::nullopt;
    }
    pollfd ready{socket.fd(), POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
    std::string answer(65535, '\0');
    ssize_t got = ::recv(socket.fd(), answer.data(), answer.size(), 0);
    if (got < 0) return std::nullopt;
    answer.resize(static_cast<size_t>(got));
    return answer;
}

}  // namespace t7::odbc
