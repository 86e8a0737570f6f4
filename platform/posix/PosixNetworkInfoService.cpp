#include "platform/posix/PosixNetworkInfoService.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace t7 {
namespace {

// The codes the IP Helper and kernel32 calls return.
constexpr uint32_t NoError = 0;
constexpr uint32_t ErrorInsufficientBuffer = 122;
constexpr uint32_t ErrorNoData = 232;

void put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Raw bytes of a value that is already in network order.
void putRaw(std::vector<uint8_t>& out, uint32_t networkOrder) {
    const auto* p = reinterpret_cast<const uint8_t*>(&networkOrder);
    out.insert(out.end(), p, p + 4);
}

struct Row {
    uint32_t address;  // network order
    uint32_t index;
    uint32_t mask;  // network order
    uint32_t broadcast;
};

std::vector<uint8_t> buildTable(bool sorted) {
    std::vector<Row> rows;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
        for (ifaddrs* it = list; it; it = it->ifa_next) {
            if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET) continue;
            Row row{};
            row.address = reinterpret_cast<const sockaddr_in*>(it->ifa_addr)->sin_addr.s_addr;
            if (it->ifa_netmask)
                row.mask = reinterpret_cast<const sockaddr_in*>(it->ifa_netmask)->sin_addr.s_addr;
            row.index = if_nametoindex(it->ifa_name);
            // The table's broadcast field is a flag: 1 when the interface
            // broadcasts.
            row.broadcast = (it->ifa_flags & IFF_BROADCAST) ? 1 : 0;
            rows.push_back(row);
        }
        freeifaddrs(list);
    }
    if (sorted) {
        std::stable_sort(rows.begin(), rows.end(),
                         [](const Row& a, const Row& b) { return ntohl(a.address) < ntohl(b.address); });
    }
    std::vector<uint8_t> table;
    put32(table, static_cast<uint32_t>(rows.size()));
    for (const Row& row : rows) {
        putRaw(table, row.address);
        put32(table, row.index);
        putRaw(table, row.mask);
        put32(table, row.broadcast);
        put32(table, 65535);  // largest reassembly size
        put32(table, 0);      // reserved and type flags
    }
    return table;
}

}  // namespace

uint32_t PosixNetworkInfoService::GetIpAddrTable(uint8_t* table, uint32_t& size, bool sorted) {
    const std::vector<uint8_t> bytes = buildTable(sorted);
    const uint32_t needed = static_cast<uint32_t>(bytes.size());
    if (!table || size < needed) {
        size = needed;
        return ErrorInsufficientBuffer;
    }
    std::memcpy(table, bytes.data(), needed);
    size = needed;
    return bytes.size() > 4 ? NoError : ErrorNoData;
}

std::unique_ptr<INetworkInfoService> makeNetworkInfoService() {
    return std::make_unique<PosixNetworkInfoService>();
}

bool PosixNetworkInfoService::GetComputerNameA(char* buffer, uint32_t& size) {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) return false;
    // The short name: the part before the first dot.
    std::string name(host);
    name = name.substr(0, name.find('.'));
    if (name.size() + 1 > size) {
        size = static_cast<uint32_t>(name.size() + 1);
        return false;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    size = static_cast<uint32_t>(name.size());
    return true;
}

}  // namespace t7
