#pragma once
// The TDS listener over POSIX sockets: accepts clients on 127.0.0.1, one
// thread and one engine session each, and optionally answers SQL Server
// Browser (SSRP) requests on UDP, also on 127.0.0.1 only.
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "sqlengine/Engine.h"

namespace sqlengine::tds {

struct ListenerOptions {
    uint16_t port = 1433;  // 0 picks a free one
    bool browser = false;
    uint16_t browserPort = 1434;
    std::string instanceName = "MSSQLSERVER";
    int loginTimeoutSeconds = 15;       // from accept to LOGINACK
    int sendTimeoutSeconds = 60;        // a client that stops reading its reply is dropped
    size_t maxMessageBytes = 32 << 20;  // one request; larger ones end the connection
    int maxConnections = 200;
    std::ostream* log = nullptr;  // one line per refused or failed connection
};

class Listener {
public:
    Listener(Server& server, ListenerOptions options);
    ~Listener();
    // Binds the ports; raises std::runtime_error saying why it cannot.
    void bind();
    uint16_t port() const;
    uint16_t browserPort() const;
    // Serves until stop(); then closes every connection, cancelling what
    // runs, and returns.
    void run();
    // Safe in a signal handler.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace sqlengine::tds
