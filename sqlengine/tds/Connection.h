#pragma once
// One client connection's protocol: login, then requests, each answered
// with a reply. It knows nothing of sockets: the listener feeds it whole
// messages and sends what it returns, so every exchange can be tested with
// bytes alone.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "sqlengine/Engine.h"
#include "sqlengine/tds/Requests.h"
#include "sqlengine/tds/Tokens.h"
#include "sqlengine/tds/Wire.h"

namespace sqlengine::tds {

struct ConnectionLimits {
    uint32_t minPacketSize = 512;
    uint32_t maxPacketSize = 32767;
    uint32_t defaultPacketSize = 4096;
};

class Connection {
public:
    // `connectLock` serialises logins on the shared server.
    Connection(Server& server, std::mutex& connectLock, std::string serverName, ConnectionLimits limits = {});

    struct Reply {
        Reply() = default;
        explicit Reply(std::string b, bool c = false, std::string r = {})
            : bytes(std::move(b)), close(c), reason(std::move(r)) {}
        std::string bytes;   // whole packets
        bool close = false;  // end the connection after sending them
        std::string reason;  // why it ends, for the server's log
    };
    Reply handle(const MessageAssembler::Message& message);

    bool loggedIn() const { return m_state == State::Ready; }
    // The largest packet the client may send now.
    uint32_t packetSize() const { return m_packetSize; }
    std::string login() const { return m_login; }
    // The client asked to cancel (its attention is on the way): stops the
    // running request. Called from another thread while handle() runs.
    void cancel();

private:
    enum class State { Prelogin, Login, Ready };
    struct Prepared {
        std::string declarations;
        std::string statement;
    };

    Server& m_server;
    std::mutex& m_connectLock;
    std::string m_serverName;
    ConnectionLimits m_limits;
    State m_state = State::Prelogin;
    uint32_t m_version = kTds74;
    uint32_t m_packetSize;
    std::string m_login;
    std::unique_ptr<Session> m_session;
    std::mutex m_sessionLock;  // m_session against cancel()
    std::atomic<bool> m_attention{false};
    bool m_attentionAnswered = false;
    std::map<int32_t, Prepared> m_prepared;
    int32_t m_nextHandle = 1;

    Reply prelogin(const std::string& payload);
    Reply login(const std::string& payload);
    Reply loginFailed(TokenWriter& w, const SqlError& e, int state, const std::string& reason);
    // False when the batch failed.
    bool runBatch(TokenWriter& w, const std::string& sql, Token doneToken);
    void transactionChanged(TokenWriter& w, const BatchResult::TransactionChange& change);
    // RETURNVALUE tokens for the output parameters after the first `skip`,
    // named by `names` where the client sent no name.
    void returnOutputs(TokenWriter& w, const RpcCall& call, size_t skip,
                       const std::vector<std::string>& names);
    void runRpc(TokenWriter& w, const RpcCall& call, bool last);
    void transactionRequest(TokenWriter& w, const std::string& payload);
    void error(TokenWriter& w, const SqlError& e);
    // Ends a reply: the last DONE token says no more follow, and an
    // attention that came in while it ran is acknowledged.
    std::string finish(TokenWriter& w);
};

}  // namespace sqlengine::tds
