#pragma once
// The SQL Server Browser's resolution protocol (SSRP): a client sends one
// datagram to UDP port 1434 and the browser answers with the instances it
// knows. Only unicast to this machine is used; nothing is broadcast.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace t7::odbc {

constexpr uint16_t kSqlBrowserPort = 1434;

// CLNT_UCAST_EX: "tell me all your instances".
std::string instanceListRequest();

struct BrowserInstance {
    std::wstring serverName;
    std::wstring instanceName;
};

// Reads an SVR_RESP datagram (0x05, a little-endian length, then
// "ServerName;X;InstanceName;Y;…;;" per instance, in the ANSI code page
// that only names in ASCII survive unchanged). Nothing for a malformed one.
std::optional<std::vector<BrowserInstance>> parseInstanceList(std::string_view datagram);

// The names to offer for `instances`: "SERVER" for the default instance
// (MSSQLSERVER), "SERVER\NAME" for a named one; `machineName` when an
// instance carries no server name. A name is given once, letter case
// ignored.
std::vector<std::wstring> serverNames(const std::vector<BrowserInstance>& instances,
                                      const std::wstring& machineName);

// Sends `request` to 127.0.0.1:`port` and returns the first answer that
// comes within `timeout`; nothing when none comes or the port refuses.
// Implemented by the platform.
std::optional<std::string> exchangeLocalDatagram(uint16_t port, std::string_view request,
                                                 std::chrono::milliseconds timeout);

}  // namespace t7::odbc
