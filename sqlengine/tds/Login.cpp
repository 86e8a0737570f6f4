#include "sqlengine/tds/Login.h"

#include "sqlengine/tds/Wire.h"

namespace sqlengine::tds {

namespace {

enum PreloginOption : uint8_t {
    kVersion = 0,
    kEncryption = 1,
    kInstance = 2,
    kThreadId = 3,
    kMars = 4,
    kTerminator = 0xFF
};

}  // namespace

Prelogin parsePrelogin(std::string_view payload) {
    Prelogin p;
    Reader r(payload);
    for (;;) {
        uint8_t option = r.u8();
        if (option == kTerminator) break;
        uint16_t offset = r.u16be();
        uint16_t length = r.u16be();
        if (static_cast<size_t>(offset) + length > payload.size())
            throw ProtocolError("PRELOGIN option points past the message");
        std::string_view data = payload.substr(offset, length);
        if (option == kEncryption && length >= 1) p.encryption = static_cast<uint8_t>(data[0]);
        if (option == kMars && length >= 1) p.mars = data[0] != 0;
    }
    return p;
}

std::string preloginReply(uint32_t serverVersion) {
    // Four options, each 5 bytes, and the terminator.
    const uint16_t start = 4 * 5 + 1;
    Writer w;
    auto option = [&](uint8_t id, uint16_t offset, uint16_t length) {
        w.u8(id);
        w.u16be(offset);
        w.u16be(length);
    };
    option(kVersion, start, 6);
    option(kEncryption, start + 6, 1);
    option(kInstance, start + 7, 1);
    option(kMars, start + 8, 1);
    w.u8(kTerminator);
    w.u32be(serverVersion);
    w.u16(0);  // sub-build
    w.u8(kEncryptNotSupported);
    w.u8(0);  // instance: the default one
    w.u8(0);  // no MARS
    return w.bytes;
}

std::string scramblePassword(std::string_view data) {
    std::string out(data);
    for (char& c : out) {
        auto b = static_cast<unsigned char>(c);
        b ^= 0xA5;
        c = static_cast<char>(((b & 0x0F) << 4) | (b >> 4));
    }
    return out;
}

Login7 parseLogin7(std::string_view payload) {
    Reader r(payload);
    Login7 login;
    uint32_t length = r.u32();
    if (length > payload.size() || length < 94) throw ProtocolError("LOGIN7 length is wrong");
    login.tdsVersion = r.u32();
    login.packetSize = r.u32();
    r.skip(4 + 4 + 4);  // client version, process id, connection id
    r.u8();             // option flags 1
    uint8_t flags2 = r.u8();
    login.integratedSecurity = (flags2 & 0x80) != 0;
    r.u8();     // type flags
    r.u8();     // option flags 3
    r.skip(8);  // time zone, LCID
    auto field = [&](bool scrambled = false) {
        uint16_t offset = r.u16();
        uint16_t chars = r.u16();
        size_t bytes = static_cast<size_t>(chars) * 2;
        if (offset + bytes > length) throw ProtocolError("LOGIN7 field points past the message");
        std::string_view raw = payload.substr(offset, bytes);
        return utf16ToUtf8(scrambled ? std::string_view(scramblePassword(raw)) : raw);
    };
    login.hostName = field();
    login.userName = field();
    login.password = field(true);
    login.appName = field();
    login.serverName = field();
    r.skip(4);  // extension
    field();    // client library name
    login.language = field();
    login.database = field();
    return login;
}

}  // namespace sqlengine::tds
