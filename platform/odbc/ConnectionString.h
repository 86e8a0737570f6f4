#pragma once
// Connection strings for SQL Server drivers: the server name as the wizard
// takes it, the driver to use, and the attributes the environment adds.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace t7::odbc {

// A server name split up: "host", "host,port" or "host\instance".
struct ServerAddress {
    std::wstring host;
    std::optional<uint16_t> port;
    std::wstring instance;
    // True when the host names this machine (see localServerAddress).
    bool local = false;
};

// Splits `server` and marks it local when its host is ".", "(local)",
// "localhost", "127.0.0.1" or one of `localNames`, letter case ignored.
// Returns nothing for a name that cannot be a server (empty host, a port
// that is not a number from 1 to 65535).
std::optional<ServerAddress> parseServerName(const std::wstring& server,
                                             const std::vector<std::wstring>& localNames);

// Attributes of a connection string in their order, e.g. {"Driver",
// "FreeTDS"}; keys as written.
using Attributes = std::vector<std::pair<std::wstring, std::wstring>>;

// Reads "key=value;key={va;lue}" (braces quote, "}}" is a brace inside
// them). Pairs without "=" are dropped.
Attributes parseAttributes(const std::wstring& text);

// The value of `key` (letter case ignored), if present.
std::optional<std::wstring> attribute(const Attributes& attributes, const std::wstring& key);

// The preferred SQL Server driver among `installed`: ODBC Driver 18, then 17
// for SQL Server, then SQL Server Native Client 11.0 and 10.0, then "SQL
// Native Client", "SQL Server" and FreeTDS. Empty when none is installed.
std::wstring chooseDriver(const std::vector<std::wstring>& installed);

// True for FreeTDS (by name or library file).
bool isFreeTds(const std::wstring& driver);

struct ConnectionRequest {
    ServerAddress address;
    std::wstring login;
    std::wstring password;
    // Driver name; the `extra` attributes may name another.
    std::wstring driver;
    // Added to every connection string (T7SETUP_ODBC); they replace the
    // component's own attributes of the same name.
    Attributes extra;
};

// The connection string. A local host becomes 127.0.0.1 for FreeTDS and
// "(local)" for Microsoft's drivers (shared memory, which MSDE keeps on when
// it turns TCP off) unless a port is given. FreeTDS gets the port as "Port",
// Microsoft's drivers as "host,port". Login and password are always quoted
// in braces.
std::wstring buildConnectionString(const ConnectionRequest& request);

// Text of an attribute value: braced when it holds a character that would
// end or quote it.
std::wstring attributeValue(const std::wstring& value, bool alwaysBrace);

}  // namespace t7::odbc
