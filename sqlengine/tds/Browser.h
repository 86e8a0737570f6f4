#pragma once
// SQL Server Browser (SSRP): the answer to one request datagram.
#include <cstdint>
#include <string>
#include <string_view>

namespace sqlengine::tds {

// Answers the enumeration requests (CLNT_BCAST_EX, CLNT_UCAST_EX) and a
// request for `instance` by name (CLNT_UCAST_INST) with the instance and
// its TCP port; empty when no answer is due.
std::string browserReply(std::string_view request, const std::string& host, const std::string& instance,
                         uint16_t tcpPort);

}  // namespace sqlengine::tds
