#pragma once
// The two messages that open a connection: PRELOGIN and LOGIN7.
#include <cstdint>
#include <string>
#include <string_view>

namespace sqlengine::tds {

enum Encryption : uint8_t { kEncryptOff = 0, kEncryptOn = 1, kEncryptNotSupported = 2, kEncryptRequired = 3 };

struct Prelogin {
    uint8_t encryption = kEncryptOff;
    bool mars = false;
};
// Raises ProtocolError for a malformed message.
Prelogin parsePrelogin(std::string_view payload);
// The server's answer: its version, no encryption, no MARS.
std::string preloginReply(uint32_t serverVersion);

struct Login7 {
    uint32_t tdsVersion = 0;
    uint32_t packetSize = 0;
    bool integratedSecurity = false;
    std::string hostName, userName, password, appName, serverName, language, database;
};
Login7 parseLogin7(std::string_view payload);
// LOGIN7's password scrambling, both ways.
std::string scramblePassword(std::string_view ucs2);

}  // namespace sqlengine::tds
