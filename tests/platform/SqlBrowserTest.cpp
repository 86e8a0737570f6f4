// The SQL Server Browser's instance list: the datagrams, and the ODBC
// component's server list over a browser played on a loopback port.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/odbc/OdbcDatabaseComponent.h"
#include "platform/odbc/SqlBrowser.h"

namespace t7::odbc {
namespace {

std::string response(const std::string& text) {
    std::string d = "\x05";
    d += static_cast<char>(text.size() & 0xFF);
    d += static_cast<char>(text.size() >> 8);
    return d + text;
}

const std::string kTwoInstances =
    "ServerName;EXAMSRV;InstanceName;MSSQLSERVER;IsClustered;No;Version;8.00.194;tcp;1433;;"
    "ServerName;EXAMSRV;InstanceName;SQLEXPRESS;IsClustered;No;Version;9.00.1399.06;tcp;1500;np;"
    "\\\\EXAMSRV\\pipe\\MSSQL$SQLEXPRESS\\sql\\query;;";

TEST(SqlBrowserTest, ListsDefaultAndNamedInstances) {
    auto instances = parseInstanceList(response(kTwoInstances));
    ASSERT_TRUE(instances);
    EXPECT_EQ(serverNames(*instances, L"OTHER"),
              (std::vector<std::wstring>{L"EXAMSRV", L"EXAMSRV\\SQLEXPRESS"}));
}

TEST(SqlBrowserTest, RejectsMalformedAnswers) {
    EXPECT_FALSE(parseInstanceList(""));
    EXPECT_FALSE(parseInstanceList("\x04\x01\x00x"));
    // The length says more than came.
    EXPECT_FALSE(parseInstanceList(std::string("\x05\x40\x00", 3) + "ServerName;A;;"));
    auto none = parseInstanceList(response("ServerName;A;IsClustered;No;;"));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
}

#ifdef _WIN32
using SocketHandle = SOCKET;
using AddressSize = int;
// Winsock is started for each fake, as the component starts it for each
// exchange.
struct SocketLibrary {
    SocketLibrary() {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~SocketLibrary() { WSACleanup(); }
};
#else
using SocketHandle = int;
using AddressSize = socklen_t;
struct SocketLibrary {};
#endif

// A browser on a free loopback port that answers one request with `answer`.
class FakeBrowser {
public:
    explicit FakeBrowser(std::string answer) : m_fd(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        AddressSize size = sizeof a;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
            ADD_FAILURE() << "cannot bind a loopback UDP port";
        }
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this, answer = std::move(answer)] {
            char buffer[16];
            sockaddr_in from{};
            AddressSize fromSize = sizeof from;
            auto got =
                ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
            if (got > 0) m_request.assign(buffer, static_cast<size_t>(got));
            ::sendto(m_fd, answer.data(), static_cast<int>(answer.size()), 0,
                     reinterpret_cast<sockaddr*>(&from), fromSize);
        });
    }
    ~FakeBrowser() {
#ifdef _WIN32
        // Closing the socket is what ends a receive that waits on it.
        ::closesocket(m_fd);
        m_thread.join();
#else
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        ::close(m_fd);
#endif
    }
    uint16_t port() const {
        return m_port;
    }
    // The request received; read after the exchange.
    const std::string& request() const {
        return m_request;
    }

private:
    [[maybe_unused]] SocketLibrary m_library;
    SocketHandle m_fd;
    uint16_t m_port = 0;
    std::string m_request;
    std::thread m_thread;
};

TEST(SqlBrowserTest, ComponentListsWhatTheLocalBrowserAnswers) {
    FakeBrowser browser(response(kTwoInstances));
    OdbcApplication app(OdbcDatabaseOptions{.machineName = L"EXAMSRV", .browserPort = browser.port()});
    dmo::NameList list = app.ListAvailableSQLServers();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Item(2), L"EXAMSRV\\SQLEXPRESS");
    EXPECT_EQ(browser.request(), instanceListRequest());
}

TEST(SqlBrowserTest, ComponentAddsTheRegistrysInstancesTheBrowserDidNotName) {
    FakeBrowser browser(response(kTwoInstances));
    OdbcApplication app(OdbcDatabaseOptions{.machineName = L"examsrv",
                                            .installedInstances =
                                                [] {
                                                    return std::vector<std::wstring>{L"sqlexpress", L"MSDE"};
                                                },
                                            .browserPort = browser.port()});
    dmo::NameList list = app.ListAvailableSQLServers();
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Item(3), L"examsrv\\MSDE");
}

TEST(SqlBrowserTest, ComponentListsTheMachineWhenNoBrowserAnswers) {
    uint16_t closedPort = 0;
    {
        FakeBrowser nobody("");
        closedPort = nobody.port();
        // Unblock the fake, then close its port.
        EXPECT_TRUE(exchangeLocalDatagram(closedPort, "?", std::chrono::seconds(5)).has_value());
    }
    OdbcApplication app(OdbcDatabaseOptions{.machineName = L"EXAMSRV", .browserPort = closedPort});
    dmo::NameList list = app.ListAvailableSQLServers();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Item(1), L"EXAMSRV");
}

}  // namespace
}  // namespace t7::odbc
