#pragma once
// The network-info service: the machine's IPv4 address table and its name,
// in the shapes of the IP Helper and kernel32 calls the address module was
// written against.
#include <cstdint>
#include <memory>

namespace t7 {

class INetworkInfoService {
public:
    virtual ~INetworkInfoService() = default;

    // The IPv4 address table as MIB_IPADDRTABLE bytes: a little-endian
    // 32-bit row count, then 24-byte rows whose first 4 bytes are the
    // address in network byte order. With `table` null, or `size` too small
    // for the table, sets `size` to the bytes needed and fills nothing;
    // otherwise fills the first `size` bytes of `table` and sets `size` to
    // the bytes used. `sorted` asks for rows sorted by address; false keeps
    // the system's interface order. Returns 0 on success, else an error
    // code (the address module does not look at it).
    virtual uint32_t GetIpAddrTable(uint8_t* table, uint32_t& size, bool sorted) = 0;

    // Writes the machine's short name (code page 936 bytes, NUL-terminated)
    // into `buffer` of `size` bytes and sets `size` to its length without the
    // NUL. When the buffer is too small, sets `size` to the length needed
    // including the NUL and returns false.
    virtual bool GetComputerNameA(char* buffer, uint32_t& size) = 0;
};

// The network-info service of the platform the program was built for.
std::unique_ptr<INetworkInfoService> makeNetworkInfoService();

}  // namespace t7
