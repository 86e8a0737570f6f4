#include "web/mdlIPArray.h"

#include <array>
#include <cstring>
#include <vector>

#include "base/AppError.h"
#include "base/Text.h"

namespace t7::mdlIPArray {
namespace {

// Copies `count` bytes at `offset` of the buffer; bytes past its end read
// as 0 instead of running off the allocation.
void copyOut(void* destination, const std::vector<uint8_t>& buffer, size_t offset, size_t count) {
    std::memset(destination, 0, count);
    if (offset < buffer.size()) {
        std::memcpy(destination, buffer.data() + offset, std::min(count, buffer.size() - offset));
    }
}

}  // namespace

void LoadIPArray(ProcessValues& values, INetworkInfoService& network) {
    uint32_t size = 0;
    network.GetIpAddrTable(nullptr, size, true);
    // The size is a signed 32-bit count to the module: "0 or less" returns.
    if (static_cast<int32_t>(size) <= 0) return;

    std::vector<uint8_t> buffer(size, 0);
    network.GetIpAddrTable(buffer.data(), size, false);

    // Little-endian, and a signed 32-bit number to the module: a count of
    // 2^31 or more reads negative and lists no row.
    uint8_t countBytes[4];
    copyOut(countBytes, buffer, 0, sizeof countBytes);
    const int64_t count = static_cast<int32_t>(countBytes[0] | countBytes[1] << 8 | countBytes[2] << 16 |
                                               static_cast<uint32_t>(countBytes[3]) << 24);

    values.IPArray.assign(1, std::wstring());
    values.ipArrayDimensioned = true;
    std::array<MIB_IPADDRROW, MaxRows> rows{};
    for (int64_t i = 0; i < count; ++i) {
        values.IPArray.resize(static_cast<size_t>(i) + 1);
        if (i >= static_cast<int64_t>(MaxRows)) {
            throw AppError(errnum::SubscriptOutOfRange, L"Subscript out of range");
        }
        copyOut(&rows[static_cast<size_t>(i)], buffer, 4 + 24 * static_cast<size_t>(i),
                sizeof(MIB_IPADDRROW));
        values.IPArray[static_cast<size_t>(i)] = IPAddressToString(rows[static_cast<size_t>(i)]);
    }
}

std::wstring GetLocalComputerName(INetworkInfoService& network) {
    std::array<char, 255> buffer{};
    uint32_t size = buffer.size();
    network.GetComputerNameA(buffer.data(), size);
    // A size beyond the buffer cannot be trusted further than the buffer.
    if (size > buffer.size()) size = buffer.size();
    return fromCp936(std::string_view(buffer.data(), size));
}

std::wstring IPAddressToString(const MIB_IPADDRROW& row) {
    uint8_t octets[4];
    std::memcpy(octets, &row.dwAddr, sizeof octets);
    std::wstring text;
    for (uint8_t octet : octets) {
        text += std::to_wstring(octet);
        text += L'.';
    }
    text.pop_back();
    return text;
}

}  // namespace t7::mdlIPArray
