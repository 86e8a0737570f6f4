// The session's connection: opening and switching databases, the batch's
// transaction, user transactions as savepoints, and prepared statements.
#include <algorithm>
#include <optional>

#include "sqlengine/Functions.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"
#include "sqlengine/Parser.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

SessionImpl::SessionImpl(std::shared_ptr<ServerCore> core, std::string login, const std::string& database,
                         unsigned serverRoles)
    : m_core(std::move(core)), m_login(std::move(login)), m_serverRoles(serverRoles) {
    m_sysadmin = (m_serverRoles & kSysadmin) != 0;
    open(database);
}

SessionImpl::~SessionImpl() {
    if (m_tranCount > 0 && !m_tranSuspended && m_db) {
        // A connection that ends with its transaction open leaves nothing of it.
        sqlite3_exec(m_db, "ROLLBACK TO usertran; RELEASE usertran", nullptr, nullptr, nullptr);
        dropPendingSchema();
    }
    m_tranCount = 0;
    if (m_inTransaction && !m_inScript && m_db) {
        // What the batch that began it did before it stays done.
        try {
            commit();
        } catch (...) {
            // Nothing may leave a destructor; closing the connection undoes it.
        }
    }
    if (m_inScript) {
        // A script left unfinished keeps the work of its batches, as it
        // would had each batch been committed on its own.
        try {
            endScript();
        } catch (...) {
            // Nothing may leave a destructor; the batches' own errors were
            // reported when they ran.
        }
    }
    close();
}

void SessionImpl::endScript() {
    m_inScript = false;
    try {
        commit();
    } catch (const SqliteError& e) {
        dropPendingSchema();
        if (m_db) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_inTransaction = false;
        catalogChanged();
        throw mapError(e);
    }
}

void SessionImpl::close() {
    m_cache.clear();
    {
        std::lock_guard<std::mutex> lock(m_dbLock);
        m_db.reset();
    }
    m_dbPath.clear();
    m_inTransaction = false;
    dropPendingSchema();
    m_catalog.reset();
    m_masterDataVersion = -1;
}

bool SessionImpl::databaseExists(const std::string& name, std::string* stored, std::string* path) {
    sqlite3* master = m_db;
    DbHandle own;
    std::string schema = m_db ? m_mst : "main";
    if (!master) {
        own = openConnection(m_core->masterPath, false);
        master = own;
    }
    Query q(master, "SELECT name, filename FROM " + schema + "._t7_databases WHERE name = ?");
    q.bind(1, name);
    if (!q.step()) return false;
    if (stored) *stored = q.text(0);
    if (path) *path = q.text(1);
    return true;
}

void SessionImpl::open(const std::string& database) {
    std::string stored, path;
    close();
    if (!databaseExists(database, &stored, &path)) throw databaseNotFound(database);
    bool isMaster = equalsIgnoreCase(stored, "master");
    try {
        DbHandle db = openConnection(isMaster ? m_core->masterPath : pathOfUtf8(path), false);
        // cancel() may look at m_db from another thread.
        std::lock_guard<std::mutex> lock(m_dbLock);
        m_db = std::move(db);
    } catch (const SqliteError& e) {
        if ((e.code() & 0xFF) == SQLITE_BUSY) throw lockTimeout();
        // Dropped by another connection since the catalog was read.
        if (!databaseExists(database)) throw databaseNotFound(database);
        throw sqlError<Msg::DatabaseCannotBeOpened>(stored);
    }
    try {
        attach(isMaster, stored);
    } catch (...) {
        close();
        throw;
    }
    m_dbPath = isMaster ? std::string() : path;
    if (m_lockTimeoutMs != kLockTimeoutMs) sqlite3_busy_timeout(m_db, m_lockTimeoutMs);
}

void SessionImpl::attach(bool isMaster, const std::string& stored) {
    registerSessionFunctions(m_db, this);
    if (isMaster) {
        m_mst = "main";
    } else {
        m_mst = "mst";
        Query a(m_db, "ATTACH DATABASE ? AS mst");
        a.bind(1, utf8Name(m_core->masterPath));
        a.run();
    }
    m_dbName = stored;
    // Every login reaches master through its guest user, as on the server;
    // other databases need a user mapped to the login.
    if (!m_sysadmin && !isMaster) {
        Query q(m_db, "SELECT 1 FROM main._t7_users WHERE login = ?");
        q.bind(1, m_login);
        if (!q.step()) {
            std::string db = stored;
            throw sqlError<Msg::DatabaseAccessDenied>(m_login, db);
        }
    }
    loadDatabaseRights();
}

void SessionImpl::ensureCatalogViews() {
    // Looked up rather than remembered: a rollback undoes their creation.
    // The last view made tells that all were.
    if (Query(cached("SELECT 1 FROM temp.sqlite_master WHERE name = '_t7v_is_columns'")).step()) return;
    execSql(m_db, catalogViewsSql(m_mst));
}

void SessionImpl::useDatabase(const std::string& name) {
    try {
        checkRunning(false);
        // What a script has done so far stays done when the connection changes.
        commit();
        std::string previous = m_dbName;
        try {
            open(name);
        } catch (...) {
            if (!m_db && !previous.empty()) open(previous);
            throw;
        }
    } catch (const SqliteError& e) {
        throw mapError(e);
    }
}

void SessionImpl::switchDatabase(const std::string& name) {
    if (!databaseExists(name)) throw databaseNotFound(name);
    commit();
    useDatabase(name);
    begin();
}

sqlite3_stmt* SessionImpl::cached(const std::string& sql) {
    auto it = m_cache.find(sql);
    if (it != m_cache.end()) return it->second.get();
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v3(m_db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    if (rc != SQLITE_OK) throwSqlite(m_db, rc);
    m_cache.emplace(sql, StmtHandle(st));
    return st;
}

Query SessionImpl::prepare(const std::string& sql) {
    auto it = m_cache.find(sql);
    if (it != m_cache.end() && !sqlite3_stmt_busy(it->second.get())) return Query(it->second.get(), false);
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v3(m_db, sql.c_str(), static_cast<int>(sql.size()),
                                it == m_cache.end() ? SQLITE_PREPARE_PERSISTENT : 0, &st, nullptr);
    if (rc != SQLITE_OK) throwSqlite(m_db, rc);
    if (it != m_cache.end()) return Query(st, true);
    m_cache.emplace(sql, StmtHandle(st));
    return Query(st, false);
}

void SessionImpl::begin() {
    if (m_inTransaction) return;
    Query(cached("BEGIN")).run();
    m_inTransaction = true;
    if (m_batchWrites) {
        // A transaction that reads first and then writes cannot wait for
        // another process's commit in between: SQLite refuses the write at
        // once. Taking the write lock first (this matches no row) makes it
        // a wait, as on the server.
        Query(cached("UPDATE main._t7_meta SET value = value WHERE key IS NULL")).run();
    }
    if (m_tranSuspended) {
        Query(cached("SAVEPOINT usertran")).run();
        m_tranSuspended = false;
        m_tranChangesAt = sqlite3_total_changes64(m_db);
    }
}

void SessionImpl::commit() {
    if (!m_inTransaction) return;
    flushSchema();
    if (std::optional<long long> version = m_catalog.versionToStore()) {
        // Other sessions compare this with what they cached. The value
        // counted in memory is ours to store: the transaction has held the
        // write lock since its first change.
        Query q(cached("UPDATE main._t7_meta SET value = max(value + 1, ?) WHERE key = 'version'"));
        q.bind(1, *version);
        q.run();
        m_catalog.versionStored();
    }
    m_inTransaction = false;
    Query(cached("COMMIT")).run();
}

void SessionImpl::endBatch() {
    if (m_inScript) return;
    if (m_spanBatches && m_tranCount > 0) {
        // A transaction that has changed something keeps its SQLite
        // transaction, and with it the write lock, until it ends. One that
        // has only read lets go of its snapshot until it writes.
        // Nor does one with savepoints: they live in the SQLite transaction.
        if (sqlite3_total_changes64(m_db) != m_tranChangesAt || !m_pending.empty() ||
            m_catalog.versionPending() || !m_savepoints.empty())
            return;
        Query(cached("RELEASE usertran")).run();
        m_tranSuspended = true;
    }
    commit();
}

void SessionImpl::noteTransaction(BatchResult::TransactionChange::Kind kind) {
    if (m_result) m_result->transactions.push_back({kind, m_tranId, m_result->counts.size()});
}

void SessionImpl::endUserTransaction(BatchResult::TransactionChange::Kind kind) {
    if (m_tranCount == 0) return;
    m_tranCount = 0;
    m_tranSuspended = false;
    m_tranName.clear();
    m_savepoints.clear();
    noteTransaction(kind);
}

void SessionImpl::checkRunning(bool staying) {
    sqlite3* db = m_db;
    std::string schema = m_mst;
    DbHandle own;
    if (!db) {
        own = openConnection(m_core->masterPath, false);
        db = own;
        schema = "main";
    }
    if (!own) {
        // Only the server's own connection stops or starts the server, so
        // the flag read last still holds unless another connection has
        // committed to master since.
        Query v(cached("PRAGMA " + schema + ".data_version"));
        long long version = v.step() ? v.integer(0) : -1;
        if (version == m_masterDataVersion && m_masterDataVersion >= 0) return;
        m_masterDataVersion = -1;
        Query q(cached("SELECT value FROM " + schema + "._t7_server WHERE key = 'running'"));
        if (q.step() && q.text(0) == "0") throw sqlError<Msg::ServerNotFound>();
        if (staying && !m_dbPath.empty()) {
            // Another connection may have dropped this database since.
            Query d(cached("SELECT 1 FROM " + schema + "._t7_databases WHERE name = ? AND filename = ?"));
            d.bind(1, m_dbName).bind(2, m_dbPath);
            if (!d.step()) {
                std::string name = m_dbName;
                open("master");
                throw databaseNotFound(name);
            }
        }
        m_masterDataVersion = version;
        return;
    }
    Query q(db, "SELECT value FROM " + schema + "._t7_server WHERE key = 'running'");
    if (q.step() && q.text(0) == "0") throw sqlError<Msg::ServerNotFound>();
}

void SessionImpl::cancel() {
    std::lock_guard<std::mutex> lock(m_dbLock);
    if (!m_running) return;
    m_cancelled = true;
    if (m_db) sqlite3_interrupt(m_db);
}

void SessionImpl::runSetOption(const SetOptionStmt& s) {
    // NOCOUNT, ANSI_NULLS and the like: the engine always behaves as with the defaults.
    for (const std::string& option : s.options) {
        if (option == "IMPLICIT_TRANSACTIONS" || option == "ANSI_DEFAULTS") {
            m_implicitTransactions = s.value == "ON";
        } else if (option == "XACT_ABORT") {
            m_xactAbort = s.value == "ON";
        } else if (option == "LOCK_TIMEOUT") {
            long long ms = std::strtoll(s.value.c_str(), nullptr, 10);
            // -1, wait for ever, waits as long as the server waits at most.
            m_lockTimeoutMs = ms < 0 || ms > kLockTimeoutMs ? kLockTimeoutMs : static_cast<int>(ms);
            sqlite3_busy_timeout(m_db, m_lockTimeoutMs);
        }
    }
}

bool SessionImpl::opensImplicitTransaction(const Stmt& s) const {
    switch (s.kind) {
        case StmtKind::Select: {
            const auto& sel = *static_cast<const SelectStmt&>(s).select;
            return !sel.from.empty() || !sel.compound.empty();
        }
        case StmtKind::Declare:
        case StmtKind::SetVariable:
        case StmtKind::SetOption:
        case StmtKind::SetIdentityInsert:
        case StmtKind::Print:
            return false;
        default:
            return true;
    }
}

void SessionImpl::runTransaction(const std::string& action, const std::string& name) {
    if (action == "SAVE") {
        if (m_tranCount == 0) throw sqlError<Msg::SaveWithoutTransaction>();
        // Held-back schema changes are made first, so that a rollback to
        // the savepoint undoes exactly what came after it.
        flushSchema();
        execSql(m_db, "SAVEPOINT usersave" + std::to_string(m_savepoints.size()));
        m_savepoints.push_back(name);
    } else if (action == "BEGIN") {
        if (m_tranCount == 0) m_tranName = name;
        // What is held back from before the transaction is not undone by
        // its rollback; what is held back at a rollback is all undone.
        if (m_tranCount == 0) flushSchema();
        if (m_tranCount++ == 0) {
            execSql(m_db, "SAVEPOINT usertran");
            ++m_tranId;
            m_tranChangesAt = sqlite3_total_changes64(m_db);
            noteTransaction(BatchResult::TransactionChange::Begin);
        }
    } else if (action == "COMMIT") {
        if (m_tranCount == 0) throw sqlError<Msg::CommitWithoutBegin>();
        if (m_tranCount == 1) {
            execSql(m_db, "RELEASE usertran");
            endUserTransaction(BatchResult::TransactionChange::Commit);
        } else {
            --m_tranCount;
        }
    } else {
        if (m_tranCount == 0) throw sqlError<Msg::RollbackWithoutBegin>();
        // A name other than the outermost transaction's is a savepoint's.
        if (!name.empty() && name != m_tranName) return rollbackToSavepoint(name);
        endUserTransaction(BatchResult::TransactionChange::Rollback);
        dropPendingSchema();
        execSql(m_db, "ROLLBACK TO usertran; RELEASE usertran");
        catalogChanged();
    }
}

void SessionImpl::rollbackToSavepoint(const std::string& name) {
    // Names compare with their case, and the latest of equal names counts.
    auto it = std::find(m_savepoints.rbegin(), m_savepoints.rend(), name);
    if (it == m_savepoints.rend()) throw sqlError<Msg::SavepointNotFound>(name);
    size_t index = static_cast<size_t>(m_savepoints.rend() - it) - 1;
    // What is held back came after the last savepoint, so after this one.
    dropPendingSchema();
    execSql(m_db, "ROLLBACK TO usersave" + std::to_string(index));
    // The savepoint stays, those after it are gone; the transaction goes on.
    m_savepoints.resize(index + 1);
    catalogChanged();
}

}  // namespace sqlengine
