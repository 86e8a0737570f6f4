#pragma once
// The network-info service of Windows: the address table from IP Helper's
// GetIpAddrTable, passed through as the system returns it, and the
// computer's NetBIOS name.
#include "web/NetworkInfoService.h"

namespace t7 {

class Win32NetworkInfoService : public INetworkInfoService {
public:
    uint32_t GetIpAddrTable(uint8_t* table, uint32_t& size, bool sorted) override;
    // The name as GetComputerNameW has it, in code page 936 bytes whatever
    // the system's ANSI code page is.
    bool GetComputerNameA(char* buffer, uint32_t& size) override;
};

}  // namespace t7
