#include "sqlengine/tds/Wire.h"

#include <algorithm>

#include "base/Text.h"

namespace sqlengine::tds {

namespace {

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void appendUtf16(std::string& out, uint32_t cp) {
    auto unit = [&](uint32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    if (cp >= 0x10000) {
        cp -= 0x10000;
        unit(0xD800 + (cp >> 10));
        unit(0xDC00 + (cp & 0x3FF));
    } else {
        unit(cp);
    }
}

}  // namespace

std::string utf8ToUtf16(std::string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = 0xFFFD;
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) {
            ++i;
        } else {
            cp = n == 1 ? c : c & (0x7F >> n);
            bool ok = true;
            for (size_t k = 1; k < n; ++k) {
                unsigned char cc = static_cast<unsigned char>(s[i + k]);
                ok = ok && (cc & 0xC0) == 0x80;
                cp = (cp << 6) | (cc & 0x3F);
            }
            if (!ok || cp > 0x10FFFF) cp = 0xFFFD;
            i += ok ? n : 1;
        }
        appendUtf16(out, cp);
    }
    return out;
}

std::string utf16ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i + 1 < s.size(); i += 2) {
        uint32_t u = static_cast<unsigned char>(s[i]) | (static_cast<unsigned char>(s[i + 1]) << 8);
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < s.size()) {
            uint32_t lo = static_cast<unsigned char>(s[i + 2]) | (static_cast<unsigned char>(s[i + 3]) << 8);
            if (lo >= 0xDC00 && lo < 0xE000) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
    }
    return out;
}

std::string utf8ToCp936(std::string_view utf8) {
    return t7::toCp936(t7::fromUtf8(utf8));
}

std::string cp936ToUtf8(std::string_view bytes) {
    return t7::toUtf8(t7::fromCp936(bytes));
}

void Writer::bVarchar(std::string_view utf8) {
    std::string u = utf8ToUtf16(utf8);
    size_t chars = std::min<size_t>(u.size() / 2, 255);
    u8(static_cast<uint8_t>(chars));
    bytes.append(u, 0, chars * 2);
}

void Writer::usVarchar(std::string_view utf8) {
    std::string u = utf8ToUtf16(utf8);
    size_t chars = std::min<size_t>(u.size() / 2, 65535);
    u16(static_cast<uint16_t>(chars));
    bytes.append(u, 0, chars * 2);
}

void Writer::patchLength16(size_t at) {
    size_t n = bytes.size() - at - 2;
    bytes[at] = static_cast<char>(n & 0xFF);
    bytes[at + 1] = static_cast<char>((n >> 8) & 0xFF);
}

std::string_view Reader::take(size_t n) {
    if (n > remaining()) throw ProtocolError("message ends early");
    std::string_view v = m_data.substr(m_pos, n);
    m_pos += n;
    return v;
}

void Reader::seek(size_t pos) {
    if (pos > m_data.size()) throw ProtocolError("offset past the end of the message");
    m_pos = pos;
}

uint8_t Reader::u8() {
    return static_cast<uint8_t>(take(1)[0]);
}

uint16_t Reader::u16() {
    std::string_view b = take(2);
    return static_cast<uint16_t>(static_cast<unsigned char>(b[0]) | (static_cast<unsigned char>(b[1]) << 8));
}

uint32_t Reader::u32() {
    uint32_t lo = u16();
    return lo | (static_cast<uint32_t>(u16()) << 16);
}

uint64_t Reader::u64() {
    uint64_t lo = u32();
    return lo | (static_cast<uint64_t>(u32()) << 32);
}

uint16_t Reader::u16be() {
    uint16_t hi = u8();
    return static_cast<uint16_t>((hi << 8) | u8());
}

uint32_t Reader::u32be() {
    uint32_t hi = u16be();
    return (hi << 16) | u16be();
}

std::string Reader::bVarchar() {
    size_t n = u8();
    return utf16ToUtf8(take(n * 2));
}

std::string Reader::usVarchar() {
    size_t n = u16();
    return utf16ToUtf8(take(n * 2));
}

std::string packetize(PacketType type, std::string_view payload, size_t packetSize) {
    size_t body = std::max<size_t>(packetSize, kHeaderSize + 1) - kHeaderSize;
    std::string out;
    out.reserve(payload.size() + (payload.size() / body + 1) * kHeaderSize);
    uint8_t id = 1;
    size_t pos = 0;
    do {
        size_t n = std::min(body, payload.size() - pos);
        bool last = pos + n == payload.size();
        size_t len = n + kHeaderSize;
        out.push_back(static_cast<char>(type));
        out.push_back(static_cast<char>(last ? kEndOfMessage : 0));
        out.push_back(static_cast<char>(len >> 8));
        out.push_back(static_cast<char>(len & 0xFF));
        out.append("\0\0", 2);  // SPID
        out.push_back(static_cast<char>(id++));
        out.push_back(0);
        out.append(payload.substr(pos, n));
        pos += n;
    } while (pos < payload.size());
    return out;
}

void MessageAssembler::feed(std::string_view bytes) {
    m_buffer.append(bytes);
    parsePackets();
}

void MessageAssembler::parsePackets() {
    size_t pos = 0;
    while (m_buffer.size() - pos >= kHeaderSize) {
        const auto* h = reinterpret_cast<const unsigned char*>(m_buffer.data() + pos);
        size_t len = (static_cast<size_t>(h[2]) << 8) | h[3];
        if (len < kHeaderSize) throw ProtocolError("packet length " + std::to_string(len) + " is too short");
        if (len > m_maxPacket)
            throw ProtocolError("packet of " + std::to_string(len) + " bytes exceeds the packet size " +
                                std::to_string(m_maxPacket));
        uint8_t type = h[0];
        static const uint8_t known[] = {kSqlBatch, kRpc, kAttention, kTransactionManager, kLogin7, kPrelogin};
        if (std::find(std::begin(known), std::end(known), type) == std::end(known))
            throw ProtocolError("packet of unknown type " + std::to_string(type));
        if (m_buffer.size() - pos < len) break;
        if (m_partial && m_partial->type != type && type != kAttention)
            throw ProtocolError("packet of type " + std::to_string(type) + " inside a message of type " +
                                std::to_string(m_partial->type));
        std::string_view body(m_buffer.data() + pos + kHeaderSize, len - kHeaderSize);
        bool last = (h[1] & kEndOfMessage) != 0;
        pos += len;
        if (type == kAttention) {
            // An attention may cut a message short; what came of it is dropped.
            m_partial.reset();
            m_ready.push_back({type, std::string(body)});
            continue;
        }
        if (!m_partial) m_partial = Message{type, {}};
        if (m_partial->payload.size() + body.size() > m_maxMessage)
            throw ProtocolError("message exceeds " + std::to_string(m_maxMessage) + " bytes");
        m_partial->payload.append(body);
        if (last) {
            m_ready.push_back(std::move(*m_partial));
            m_partial.reset();
        }
    }
    m_buffer.erase(0, pos);
}

std::optional<MessageAssembler::Message> MessageAssembler::next() {
    if (m_readyPos >= m_ready.size()) {
        m_ready.clear();
        m_readyPos = 0;
        return std::nullopt;
    }
    return std::move(m_ready[m_readyPos++]);
}

}  // namespace sqlengine::tds
