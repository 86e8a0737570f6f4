#pragma once
// The network-info service of a POSIX system: the address table from
// getifaddrs (IPv4 only, in interface order, the loopback included) and the
// short host name from gethostname.
#include "web/NetworkInfoService.h"

namespace t7 {

class PosixNetworkInfoService : public INetworkInfoService {
public:
    uint32_t GetIpAddrTable(uint8_t* table, uint32_t& size, bool sorted) override;
    bool GetComputerNameA(char* buffer, uint32_t& size) override;
};

}  // namespace t7
