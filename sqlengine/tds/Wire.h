#pragma once
// The byte level of TDS: little-endian readers and writers, UCS-2 text, and
// the packets every message travels in. Nothing here touches a socket.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sqlengine::tds {

// A message that breaks the protocol; the connection that sent it is closed.
class ProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum PacketType : uint8_t {
    kSqlBatch = 1,
    kRpc = 3,
    kReply = 4,
    kAttention = 6,
    kTransactionManager = 14,
    kLogin7 = 16,
    kPrelogin = 18,
};

constexpr size_t kHeaderSize = 8;
constexpr uint8_t kEndOfMessage = 0x01;

// Appends little-endian values and TDS strings to a byte string.
class Writer {
public:
    std::string bytes;

    void u8(uint8_t v) { bytes.push_back(static_cast<char>(v)); }
    void u16(uint16_t v) { put(v, 2); }
    void u32(uint32_t v) { put(v, 4); }
    void u64(uint64_t v) { put(v, 8); }
    void u16be(uint16_t v) {
        u8(static_cast<uint8_t>(v >> 8));
        u8(static_cast<uint8_t>(v));
    }
    void u32be(uint32_t v) {
        u16be(static_cast<uint16_t>(v >> 16));
        u16be(static_cast<uint16_t>(v));
    }
    void raw(std::string_view data) { bytes.append(data); }
    // UTF-8 text as UCS-2 with a one-byte (B_VARCHAR) or two-byte
    // (US_VARCHAR) character count; longer text is cut.
    void bVarchar(std::string_view utf8);
    void usVarchar(std::string_view utf8);
    size_t size() const { return bytes.size(); }
    // Writes a 16-bit length at `at` covering everything after it.
    void patchLength16(size_t at);

private:
    void put(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
};

// Reads a message payload; running past its end is a ProtocolError.
class Reader {
public:
    explicit Reader(std::string_view data) : m_data(data) {}
    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    uint64_t u64();
    uint16_t u16be();
    uint32_t u32be();
    std::string_view take(size_t n);
    void skip(size_t n) { take(n); }
    // B_VARCHAR / US_VARCHAR as UTF-8.
    std::string bVarchar();
    std::string usVarchar();
    size_t position() const { return m_pos; }
    size_t remaining() const { return m_data.size() - m_pos; }
    bool atEnd() const { return m_pos >= m_data.size(); }
    void seek(size_t pos);
    std::string_view data() const { return m_data; }

private:
    std::string_view m_data;
    size_t m_pos = 0;
};

// UCS-2 (UTF-16LE) and UTF-8. Invalid input becomes U+FFFD.
std::string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::string_view utf16);
// Code page 936 (the collation's code page) and UTF-8.
std::string utf8ToCp936(std::string_view utf8);
std::string cp936ToUtf8(std::string_view bytes);

// Cuts a message into packets of at most `packetSize` bytes.
std::string packetize(PacketType type, std::string_view payload, size_t packetSize);

// Gathers packets into messages. Feed it the bytes as they come; a packet
// longer than `maxPacket` or a message longer than `maxMessage` is a
// ProtocolError, as is a packet of a type that does not continue the
// message under way.
class MessageAssembler {
public:
    struct Message {
        uint8_t type = 0;
        std::string payload;
    };
    MessageAssembler(size_t maxPacket, size_t maxMessage)
        : m_maxPacket(maxPacket), m_maxMessage(maxMessage) {}
    void setMaxPacket(size_t n) { m_maxPacket = n; }
    void setMaxMessage(size_t n) { m_maxMessage = n; }
    void feed(std::string_view bytes);
    // The next complete message, if one is in.
    std::optional<Message> next();
    // Bytes of a partial packet or message are waiting.
    bool pending() const { return !m_buffer.empty() || m_partial.has_value(); }

private:
    size_t m_maxPacket;
    size_t m_maxMessage;
    std::string m_buffer;
    std::optional<Message> m_partial;
    std::vector<Message> m_ready;
    size_t m_readyPos = 0;
    void parsePackets();
};

}  // namespace sqlengine::tds
