#include "sqlengine/tds/Connection.h"

#include "sqlengine/Messages.h"
#include "sqlengine/tds/Login.h"
#include "sqlengine/tds/TypeInfo.h"

namespace sqlengine::tds {

namespace {

// Writes message M of the catalogue as an error or an informational message.
template <Msg M, class... A>
void writeMessage(TokenWriter& w, bool error, int state, const std::string& server, const A&... args) {
    w.message(error, message(M).number, state, message(M).severity, messageText<M>(args...), server);
}

// The product the server presents itself as: SQL Server 2005 (9.0.1399),
// as @@VERSION says.
constexpr uint32_t kProductVersion = 0x09000577;
constexpr uint16_t kCmdSelect = 0xC1;
constexpr uint16_t kCmdDml = 0xC3;

// The column type of an RPC parameter's declaration, such as
// "decimal(10,2)" or "nvarchar(max)".
ColumnType declaredType(const std::string& declared) {
    ColumnType c;
    size_t paren = declared.find('(');
    c.name = declared.substr(0, paren);
    if (paren == std::string::npos) return c;
    std::string args = declared.substr(paren + 1);
    if (args.rfind("max", 0) == 0) {
        c.length = -1;
    } else if (c.name == "decimal" || c.name == "numeric") {
        c.precision = std::atoi(args.c_str());
        size_t comma = args.find(',');
        c.scale = comma == std::string::npos ? 0 : std::atoi(args.c_str() + comma + 1);
    } else {
        c.length = std::atoi(args.c_str());
    }
    return c;
}

}  // namespace

Connection::Connection(Server& server, std::mutex& connectLock, std::string serverName,
                       ConnectionLimits limits)
    : m_server(server),
      m_connectLock(connectLock),
      m_serverName(std::move(serverName)),
      m_limits(limits),
      m_packetSize(limits.defaultPacketSize) {}

void Connection::cancel() {
    m_attention = true;
    std::lock_guard<std::mutex> lock(m_sessionLock);
    if (m_session) m_session->cancel();
}

Connection::Reply Connection::handle(const MessageAssembler::Message& m) {
    if (m.type == kAttention) {
        if (m_state != State::Ready) return Reply({}, true, "attention before login");
        if (m_attentionAnswered) {
            m_attentionAnswered = false;
            return {};
        }
        m_attention = false;
        TokenWriter w(m_version);
        w.done(kDone, kDoneAttention, 0, 0);
        return Reply(packetize(kReply, w.out.bytes, m_packetSize));
    }
    switch (m_state) {
        case State::Prelogin:
            if (m.type == kPrelogin) return prelogin(m.payload);
            if (m.type == kLogin7) return login(m.payload);
            break;
        case State::Login:
            if (m.type == kLogin7) return login(m.payload);
            if (m.type == kPrelogin && !m.payload.empty() && (m.payload[0] == 0x16 || m.payload[0] == 0x17))
                return Reply({}, true, "the client started TLS, which this server does not offer");
            break;
        case State::Ready: {
            m_attentionAnswered = false;
            TokenWriter w(m_version);
            if (m.type == kSqlBatch) {
                std::string sql = batchText(m.payload, m_version);
                if (std::optional<ResultSet> types = dataTypeInfo(sql)) {
                    w.resultSet(*types);
                    w.done(kDone, kDoneCount, kCmdSelect, static_cast<long long>(types->rows.size()));
                } else {
                    runBatch(w, sql, kDone);
                }
            } else if (m.type == kRpc) {
                std::vector<RpcCall> calls;
                try {
                    calls = parseRpc(m.payload, m_version);
                } catch (const SqlError& e) {
                    error(w, e);
                    w.done(kDone, kDoneError, 0, 0);
                }
                for (size_t i = 0; i < calls.size(); ++i) runRpc(w, calls[i], i + 1 == calls.size());
            } else if (m.type == kTransactionManager) {
                transactionRequest(w, m.payload);
            } else {
                return Reply({}, true, "unexpected message of type " + std::to_string(m.type));
            }
            return Reply(finish(w));
        }
    }
    return Reply({}, true, "unexpected message of type " + std::to_string(m.type) + " before login");
}

std::string Connection::finish(TokenWriter& w) {
    // The DONE tokens written carry "more"; the last one must not.
    std::string& b = w.out.bytes;
    size_t doneSize = 1 + 2 + 2 + (m_version >= kTds72 ? 8 : 4);
    if (b.size() >= doneSize) {
        size_t at = b.size() - doneSize;
        auto t = static_cast<uint8_t>(b[at]);
        if (t == kDone || t == kDoneProc || t == kDoneInProc)
            b[at + 1] = static_cast<char>(b[at + 1] & ~kDoneMore);
    }
    if (m_attention.exchange(false)) {
        w.done(kDone, kDoneAttention, 0, 0);
        m_attentionAnswered = true;
    }
    return packetize(kReply, b, m_packetSize);
}

Connection::Reply Connection::prelogin(const std::string& payload) {
    Prelogin p = parsePrelogin(payload);
    m_state = State::Login;
    Reply r(packetize(kReply, preloginReply(kProductVersion), m_packetSize));
    // A client that insists on encryption ends the connection on this
    // answer with its own error.
    if (p.encryption == kEncryptRequired) r.reason = "the client requires encryption";
    return r;
}

Connection::Reply Connection::loginFailed(TokenWriter& w, const SqlError& e, int state,
                                          const std::string& reason) {
    w.message(true, e.number(), state, severityOf(e.number()), e.message(), m_serverName);
    w.done(kDone, kDoneError, 0, 0);
    return Reply(packetize(kReply, w.out.bytes, m_packetSize), true, reason);
}

Connection::Reply Connection::login(const std::string& payload) {
    Login7 l = parseLogin7(payload);
    m_version = std::min(l.tdsVersion, kTds74);
    TokenWriter w(std::max(m_version, kTds71));
    if (l.tdsVersion < kTds71) {
        m_version = kTds71;
        return loginFailed(w, sqlError<Msg::LoginFailedOldTds>(l.userName), 8, "TDS version too old");
    }
    if (l.integratedSecurity)
        return loginFailed(w, sqlError<Msg::UntrustedDomain>(), 1, "integrated security requested");
    std::unique_ptr<Session> session;
    try {
        std::lock_guard<std::mutex> lock(m_connectLock);
        session = m_server.connect(l.userName, l.password);
    } catch (const SqlError& e) {
        if (e.number() == 18456)
            return loginFailed(w, sqlError<Msg::LoginFailed>(l.userName), 8,
                               "login failed for '" + l.userName + "'");
        return loginFailed(w, e, 1, e.message());
    }
    std::string before = session->currentDatabase();
    if (!l.database.empty()) {
        try {
            std::lock_guard<std::mutex> lock(m_connectLock);
            session->useDatabase(l.database);
        } catch (const SqlError&) {
            writeMessage<Msg::DatabaseUnavailableAtLogin>(w, true, 1, m_serverName, l.database);
            return loginFailed(w, sqlError<Msg::LoginFailed>(l.userName), 1,
                               "cannot open database " + l.database);
        }
    }
    uint32_t size = l.packetSize == 0 ? m_limits.defaultPacketSize : l.packetSize;
    size = std::clamp(size, m_limits.minPacketSize, m_limits.maxPacketSize);
    std::string database = session->currentDatabase();
    w.envChange(kEnvDatabase, database, before);
    writeMessage<Msg::DatabaseContextChanged>(w, false, 2, m_serverName, database);
    w.collationChange();
    w.envChange(kEnvLanguage, "us_english", "");
    writeMessage<Msg::LanguageChanged>(w, false, 1, m_serverName, "us_english");
    w.loginAck("Microsoft SQL Server", kProductVersion);
    w.envChange(kEnvPacketSize, std::to_string(size), std::to_string(m_packetSize));
    w.done(kDone, kDoneFinal, 0, 0);
    Reply r(packetize(kReply, w.out.bytes, m_packetSize));
    // A client's transaction lasts until it commits or rolls back.
    session->setTransactionsSpanBatches(true);
    {
        std::lock_guard<std::mutex> lock(m_sessionLock);
        m_session = std::move(session);
    }
    m_login = l.userName;
    m_packetSize = size;
    m_state = State::Ready;
    return r;
}

void Connection::error(TokenWriter& w, const SqlError& e) {
    w.message(true, e.number(), 1, severityOf(e.number()), e.message(), m_serverName, {}, 1);
}

bool Connection::runBatch(TokenWriter& w, const std::string& sql, Token doneToken) {
    std::string before = m_session->currentDatabase();
    BatchResult r;
    std::optional<SqlError> failure;
    try {
        m_session->executeBatch(sql, r);
    } catch (const SqlError& e) {
        failure = e;
    }
    std::string now = m_session->currentDatabase();
    if (now != before) {
        w.envChange(kEnvDatabase, now, before);
        writeMessage<Msg::DatabaseContextChanged>(w, false, 1, m_serverName, now);
    }
    for (const std::string& text : r.messages) w.message(false, 0, 1, 0, text, m_serverName);
    // What the statements before a failing one returned goes out before its error.
    size_t changes = 0;
    auto transactionsUpTo = [&](size_t counted) {
        for (; changes < r.transactions.size() && r.transactions[changes].afterCount <= counted; ++changes)
            transactionChanged(w, r.transactions[changes]);
    };
    for (size_t i = 0; i < r.counts.size(); ++i) {
        const BatchResult::Count& c = r.counts[i];
        transactionsUpTo(i);
        if (c.resultSet >= 0) w.resultSet(r.resultSets[static_cast<size_t>(c.resultSet)]);
        w.done(doneToken, kDoneMore | kDoneCount, c.resultSet >= 0 ? kCmdSelect : kCmdDml, c.rows);
    }
    transactionsUpTo(r.counts.size());
    if (failure) {
        // A cancelled request ends with the acknowledgement alone.
        if (!(failure->number() == 3617 && m_attention)) error(w, *failure);
        w.done(doneToken, kDoneMore | kDoneError, 0, 0);
        return false;
    }
    if (r.counts.empty() && doneToken == kDone) w.done(kDone, kDoneMore, 0, 0);
    return true;
}

void Connection::transactionChanged(TokenWriter& w, const BatchResult::TransactionChange& change) {
    // Clients before TDS 7.2 learn of transactions from @@TRANCOUNT alone.
    if (m_version < kTds72) return;
    using Kind = BatchResult::TransactionChange::Kind;
    w.transactionChange(change.kind == Kind::Begin    ? kEnvBeginTransaction
                        : change.kind == Kind::Commit ? kEnvCommitTransaction
                                                      : kEnvRollbackTransaction,
                        change.id);
}

void Connection::returnOutputs(TokenWriter& w, const RpcCall& call, size_t skip,
                               const std::vector<std::string>& names) {
    for (size_t i = skip; i < call.params.size(); ++i) {
        const RpcParam& p = call.params[i];
        if (!p.output) continue;
        std::string name = !p.name.empty()           ? p.name
                           : i - skip < names.size() ? names[i - skip]
                                                     : std::string();
        std::optional<std::string> value;
        try {
            value = m_session->variableText(name);
        } catch (const SqlError&) {
            continue;  // declared by no statement the batch ran
        }
        w.returnValue(static_cast<uint16_t>(i), p.name, declaredType(p.type), value);
    }
}

void Connection::runRpc(TokenWriter& w, const RpcCall& call, bool last) {
    uint16_t more = last ? 0 : kDoneMore;
    auto param = [&](size_t i) -> const RpcParam* {
        return i < call.params.size() ? &call.params[i] : nullptr;
    };
    auto text = [&](size_t i) -> std::string {
        const RpcParam* p = param(i);
        return p && p->text ? *p->text : std::string();
    };
    auto fail = [&](const SqlError& e) {
        error(w, e);
        w.returnStatus(-6);
        w.done(kDoneProc, static_cast<uint16_t>(more | kDoneError), 0, 0);
    };
    const std::string& name = call.procName;
    try {
        if (name == "sp_executesql") {
            if (!param(0) || !param(0)->text)
                throw sqlError<Msg::ParameterOfWrongType>("@statement", "ntext/nchar/nvarchar");
            std::vector<std::string> names = declaredNames(text(1));
            std::string sql = declareParams(call.params, 2, names) + text(0);
            bool ran = runBatch(w, sql, kDoneInProc);
            w.returnStatus(0);
            if (ran) returnOutputs(w, call, 2, names);
        } else if (name == "sp_prepare" || name == "sp_prepexec") {
            if (!param(0) || !param(2) || !param(2)->text) throw sqlError<Msg::TooFewArguments>(name);
            int32_t handle = m_nextHandle++;
            m_prepared[handle] = {text(1), text(2)};
            bool ran = false;
            std::vector<std::string> names = declaredNames(text(1));
            if (name == "sp_prepexec") {
                std::string sql = declareParams(call.params, 3, names) + text(2);
                ran = runBatch(w, sql, kDoneInProc);
            }
            w.returnStatus(0);
            w.returnValueInt(0, param(0)->name, handle);
            if (ran) returnOutputs(w, call, 3, names);
        } else if (name == "sp_execute") {
            auto it = param(0) && param(0)->integer
                          ? m_prepared.find(static_cast<int32_t>(*param(0)->integer))
                          : m_prepared.end();
            if (it == m_prepared.end())
                throw sqlError<Msg::PreparedStatementNotFound>(
                    param(0) && param(0)->literal ? *param(0)->literal : "NULL");
            std::vector<std::string> names = declaredNames(it->second.declarations);
            std::string sql = declareParams(call.params, 1, names) + it->second.statement;
            bool ran = runBatch(w, sql, kDoneInProc);
            w.returnStatus(0);
            if (ran) returnOutputs(w, call, 1, names);
        } else if (name == "sp_unprepare") {
            if (param(0) && param(0)->integer) m_prepared.erase(static_cast<int32_t>(*param(0)->integer));
            w.returnStatus(0);
        } else if (!name.empty() && name[0] != '#') {
            // Any other procedure: EXEC with the values as given.
            std::string sql = "EXEC " + name;
            for (size_t i = 0; i < call.params.size(); ++i) {
                const RpcParam& p = call.params[i];
                sql += (i ? ", " : " ") + (p.name.empty() ? std::string() : p.name + " = ") +
                       (p.literal ? *p.literal : "NULL");
            }
            runBatch(w, sql, kDoneInProc);
            w.returnStatus(0);
        } else {
            throw sqlError<Msg::ProcedureNotFound>(name);
        }
    } catch (const SqlError& e) {
        fail(e);
        return;
    }
    w.done(kDoneProc, more, 0, 0);
}

void Connection::transactionRequest(TokenWriter& w, const std::string& payload) {
    Reader r(payload);
    if (m_version >= kTds72 && r.remaining() >= 4) r.seek(std::min<size_t>(r.u32(), payload.size()));
    uint16_t request = r.u16();
    enum { kBegin = 5, kCommit = 7, kRollback = 8, kSave = 9 };
    if (request == kBegin) {
        // The isolation level and the name: the engine's transactions have
        // one level and no names.
        runBatch(w, "BEGIN TRANSACTION", kDone);
    } else if (request == kCommit || request == kRollback) {
        r.bVarchar();
        bool beginNext = !r.atEnd() && r.u8() != 0;
        runBatch(w, request == kCommit ? "COMMIT TRANSACTION" : "ROLLBACK TRANSACTION", kDone);
        // The next transaction begins even when this one had already ended
        // (a failing statement rolls it back), so that the client's
        // transaction mode goes on.
        if (beginNext) runBatch(w, "BEGIN TRANSACTION", kDone);
    } else if (request == kSave) {
        error(w, sqlError<Msg::SavepointsUnsupported>());
        w.done(kDone, kDoneError, 0, 0);
    } else {
        error(w, sqlError<Msg::DistributedTransaction>());
        w.done(kDone, kDoneError, 0, 0);
    }
}

}  // namespace sqlengine::tds
