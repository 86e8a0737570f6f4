#include "platform/win32/Win32NetworkInfoService.h"

// winsock2.h must come before windows.h, which iphlpapi.h pulls in.
#include <winsock2.h>
// clang-format off
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <cstring>
#include <string>

#include "base/Text.h"

namespace t7 {

uint32_t Win32NetworkInfoService::GetIpAddrTable(uint8_t* table, uint32_t& size, bool sorted) {
    ULONG bytes = size;
    const DWORD rc =
        ::GetIpAddrTable(reinterpret_cast<PMIB_IPADDRTABLE>(table), &bytes, sorted ? TRUE : FALSE);
    size = bytes;
    return rc;
}

bool Win32NetworkInfoService::GetComputerNameA(char* buffer, uint32_t& size) {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &length)) return false;
    const std::string bytes = toCp936(std::wstring_view(name, length));
    if (bytes.size() + 1 > size) {
        size = static_cast<uint32_t>(bytes.size() + 1);
        return false;
    }
    std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
    size = static_cast<uint32_t>(bytes.size());
    return true;
}

}  // namespace t7

namespace t7 {

std::unique_ptr<INetworkInfoService> makeNetworkInfoService() {
    return std::make_unique<Win32NetworkInfoService>();
}

}  // namespace t7
