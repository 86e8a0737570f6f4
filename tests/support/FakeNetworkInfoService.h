#pragma once
// A network-info service over a crafted address table and machine name.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "web/NetworkInfoService.h"

namespace t7::test {

class FakeNetworkInfoService : public INetworkInfoService {
public:
    using Address = std::array<uint8_t, 4>;

    // A table of these rows, in this order; the row count may be told to lie.
    void setAddresses(const std::vector<Address>& addresses, std::optional<uint32_t> rowCount = {}) {
        m_addresses = addresses;
        m_table.clear();
        put32(rowCount.value_or(static_cast<uint32_t>(addresses.size())));
        for (const Address& a : addresses) {
            m_table.insert(m_table.end(), a.begin(), a.end());
            m_table.insert(m_table.end(), 20, 0);
        }
    }
    // The size the size query reports instead of the table's own.
    std::optional<uint32_t> reportedSize;
    // The fill call fails and leaves the buffer as it was.
    bool failFill = false;
    // The machine name bytes and the length the name call reports.
    std::string name = "EXAMSRV";
    std::optional<uint32_t> reportedNameLength;

    uint32_t GetIpAddrTable(uint8_t* table, uint32_t& size, bool sorted) override {
        const uint32_t needed = static_cast<uint32_t>(m_table.size());
        if (!table) {
            size = reportedSize.value_or(needed);
            return 122;
        }
        if (failFill || size < needed) return 122;
        std::vector<uint8_t> bytes = m_table;
        if (sorted) {
            // A sorted table would lose the system's order.
            std::vector<Address> rows = m_addresses;
            std::sort(rows.begin(), rows.end());
            for (size_t i = 0; i < rows.size(); ++i) std::memcpy(&bytes[4 + 24 * i], rows[i].data(), 4);
        }
        std::memcpy(table, bytes.data(), needed);
        size = needed;
        return 0;
    }

    bool GetComputerNameA(char* buffer, uint32_t& size) override {
        std::memcpy(buffer, name.data(), std::min<size_t>(name.size(), size));
        size = reportedNameLength.value_or(static_cast<uint32_t>(name.size()));
        return true;
    }

private:
    void put32(uint32_t v) {
        for (int i = 0; i < 4; ++i) m_table.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }

    std::vector<Address> m_addresses;
    std::vector<uint8_t> m_table;
};

}  // namespace t7::test
