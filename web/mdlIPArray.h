#pragma once
// The address module: the local IPv4 addresses, in the system's own order,
// and the machine's name.
#include <cstdint>
#include <string>

#include "process/Global.h"
#include "web/NetworkInfoService.h"

namespace t7 {

// One row of the system's address table (24 bytes). dwAddr holds the
// address bytes as they lie in memory, in network byte order.
struct MIB_IPADDRROW {
    uint32_t dwAddr = 0;
    uint32_t dwIndex = 0;
    uint32_t dwMask = 0;
    uint32_t dwBCastAddr = 0;
    uint32_t dwReasmSize = 0;
    uint16_t unused1 = 0;
    uint16_t wType = 0;
};
static_assert(sizeof(MIB_IPADDRROW) == 24);

namespace mdlIPArray {

// Rows the module's working table holds; one more raises subscript out of
// range.
constexpr uint32_t MaxRows = 256;

// Rebuilds values.IPArray from the address table: one dotted-decimal entry
// per row, in table order; one empty entry when the table has no rows. When
// the size query reports 0 bytes IPArray is left exactly as it was. A table
// of more than MaxRows rows raises AppError 9 (subscript out of range) after
// entries 0..MaxRows-1 have been filled and entry MaxRows created empty.
// Bytes a row count promises beyond the returned buffer read as 0.
void LoadIPArray(ProcessValues& values, INetworkInfoService& network);

// The machine's short name, decoded from code page 936. A failing platform
// call is not detected: the result is then whatever the name buffer holds
// (at most 255 characters).
std::wstring GetLocalComputerName(INetworkInfoService& network);

// The row's address in dotted-decimal text, octets without leading zeros
// ("192.168.1.10").
std::wstring IPAddressToString(const MIB_IPADDRROW& row);

}  // namespace mdlIPArray
}  // namespace t7
