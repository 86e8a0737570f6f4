// The SQL Server Browser's datagram exchange over Winsock. The socket is
// connected to 127.0.0.1 so that a closed port is reported at once
// (WSAECONNRESET) instead of waiting out the timeout.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/odbc/SqlBrowser.h"

namespace t7::odbc {
namespace {

class Winsock {
public:
    Winsock() { m_ok = WSAStartup(MAKEWORD(2, 2), &m_data) == 0; }
    ~Winsock() {
        if (m_ok) WSACleanup();
    }
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    bool ok() const { return m_ok; }

private:
    WSADATA m_data{};
    bool m_ok = false;
};

class Socket {
public:
    Socket() : m_socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) {}
    ~Socket() {
        if (m_socket != INVALID_SOCKET) closesocket(m_socket);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET get() const { return m_socket; }

private:
    SOCKET m_socket;
};

}  // namespace

std::optional<std::string> exchangeLocalDatagram(uint16_t port, std::string_view request,
                                                 std::chrono::milliseconds timeout) {
    Winsock winsock;
    if (!winsock.ok()) return std::nullopt;
    Socket socket;
    if (socket.get() == INVALID_SOCKET) return std::nullopt;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return std::nullopt;
    }
    if (::send(socket.get(), request.data(), static_cast<int>(request.size()), 0) !=
        static_cast<int>(request.size())) {
        return std::nullopt;
    }
    WSAPOLLFD ready{socket.get(), POLLRDNORM, 0};
    if (WSAPoll(&ready, 1, static_cast<INT>(timeout.count())) <= 0) return std::nullopt;
    std::string answer(65535, '\0');
    const int got = ::recv(socket.get(), answer.data(), static_cast<int>(answer.size()), 0);
    if (got < 0) return std::nullopt;
    answer.resize(static_cast<size_t>(got));
    return answer;
}

}  // namespace t7::odbc
