// SQL Server Browser (SSRP) replies. The protocol part is plain bytes; the
// listener owns the UDP socket.
#include "sqlengine/tds/Browser.h"

#include <cctype>
#include <string>
#include <string_view>

namespace sqlengine::tds {

namespace {

enum : uint8_t { kBroadcastEx = 0x02, kUnicastEx = 0x03, kUnicastInstance = 0x04, kServerResponse = 0x05 };

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

std::string browserReply(std::string_view request, const std::string& host, const std::string& instance,
                         uint16_t tcpPort) {
    if (request.empty()) return {};
    auto type = static_cast<uint8_t>(request[0]);
    if (type == kUnicastInstance) {
        std::string_view asked = request.substr(1);
        if (size_t nul = asked.find('\0'); nul != std::string_view::npos) asked = asked.substr(0, nul);
        if (!sameName(asked, instance)) return {};
    } else if (type != kBroadcastEx && type != kUnicastEx) {
        return {};
    }
    std::string data = "ServerName;" + host + ";InstanceName;" + instance +
                       ";IsClustered;No;Version;9.00.1399.06;tcp;" + std::to_string(tcpPort) + ";;";
    std::string reply(1, static_cast<char>(kServerResponse));
    reply.push_back(static_cast<char>(data.size() & 0xFF));
    reply.push_back(static_cast<char>(data.size() >> 8));
    return reply + data;
}

}  // namespace sqlengine::tds
