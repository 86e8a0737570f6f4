// Running batches: connection handling, transactions, DML and control flow.
#include <algorithm>
#include <optional>

#include "sqlengine/Functions.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Parser.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

int TableInfo::findColumn(const std::string& n) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (equalsIgnoreCase(columns[i].name, n)) return static_cast<int>(i);
    return -1;
}

int TableInfo::identityColumn() const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].identity) return static_cast<int>(i);
    return -1;
}

namespace {

std::string catalogViewsSql(const std::string& m) {
    return "CREATE TEMP VIEW _t7v_sysobjects AS SELECT name, id, xtype, "
           "CASE WHEN xtype IN ('PK','UQ') THEN 'K' ELSE xtype END AS type, 1 AS uid, parent_obj, crdate, "
           "0 AS category FROM main._t7_objects;"
           "CREATE TEMP VIEW _t7v_sys_objects AS SELECT name, id AS object_id, 1 AS schema_id, "
           "parent_obj AS parent_object_id, xtype AS type, CASE xtype WHEN 'U' THEN 'USER_TABLE' WHEN 'V' "
           "THEN "
           "'VIEW' WHEN 'P' THEN 'SQL_STORED_PROCEDURE' WHEN 'TR' THEN 'SQL_TRIGGER' WHEN 'PK' THEN "
           "'PRIMARY_KEY_CONSTRAINT' WHEN 'UQ' THEN 'UNIQUE_CONSTRAINT' WHEN 'F' THEN "
           "'FOREIGN_KEY_CONSTRAINT' "
           "WHEN 'C' THEN 'CHECK_CONSTRAINT' WHEN 'D' THEN 'DEFAULT_CONSTRAINT' ELSE 'SQL_SCALAR_FUNCTION' "
           "END "
           "AS type_desc, crdate AS create_date, crdate AS modify_date, 0 AS is_ms_shipped FROM "
           "main._t7_objects;"
           "CREATE TEMP VIEW _t7v_sys_tables AS SELECT * FROM _t7v_sys_objects WHERE type = 'U';"
           "CREATE TEMP VIEW _t7v_sys_views AS SELECT * FROM _t7v_sys_objects WHERE type = 'V';"
           "CREATE TEMP VIEW _t7v_sys_procedures AS SELECT * FROM _t7v_sys_objects WHERE type = 'P';"
           "CREATE TEMP VIEW _t7v_sys_foreign_keys AS SELECT * FROM _t7v_sys_objects WHERE type = 'F';"
           "CREATE TEMP VIEW _t7v_sys_default_constraints AS SELECT * FROM _t7v_sys_objects WHERE type = 'D';"
           "CREATE TEMP VIEW _t7v_sys_check_constraints AS SELECT * FROM _t7v_sys_objects WHERE type = 'C';"
           "CREATE TEMP VIEW _t7v_sys_key_constraints AS SELECT * FROM _t7v_sys_objects WHERE type IN "
           "('PK','UQ');"
           "CREATE TEMP VIEW _t7v_sys_triggers AS SELECT name, object_id, parent_object_id AS parent_id, "
           "type, "
           "type_desc, create_date, 0 AS is_disabled FROM _t7v_sys_objects WHERE type = 'TR';"
           "CREATE TEMP VIEW _t7v_syscolumns AS SELECT c.table_id AS id, c.name AS name, c.colid AS colid, "
           "c.colid AS colorder, c.max_length AS length, c.type AS type_name, 1 - c.not_null AS isnullable, "
           "c.collation AS collation FROM main._t7_columns c;"
           "CREATE TEMP VIEW _t7v_sys_columns AS SELECT c.table_id AS object_id, c.name AS name, c.colid AS "
           "column_id, c.max_length AS max_length, c.prec AS precision, c.scale AS scale, 1 - c.not_null AS "
           "is_nullable, c.is_identity AS is_identity, c.collation AS collation_name, c.default_id AS "
           "default_object_id FROM main._t7_columns c;"
           "CREATE TEMP VIEW _t7v_sysindexes AS SELECT table_id AS id, name, index_id AS indid FROM "
           "main._t7_indexes;"
           "CREATE TEMP VIEW _t7v_sys_indexes AS SELECT table_id AS object_id, name, index_id, CASE WHEN "
           "clustered "
           "THEN 1 ELSE 2 END AS type, CASE WHEN clustered THEN 'CLUSTERED' ELSE 'NONCLUSTERED' END AS "
           "type_desc, "
           "is_unique, CASE WHEN kind = 'PK' THEN 1 ELSE 0 END AS is_primary_key, CASE WHEN kind = 'UQ' THEN "
           "1 "
           "ELSE 0 END AS is_unique_constraint FROM main._t7_indexes;"
           "CREATE TEMP VIEW _t7v_syscomments AS SELECT id, 1 AS colid, definition AS text FROM "
           "main._t7_objects "
           "WHERE definition IS NOT NULL;"
           "CREATE TEMP VIEW _t7v_sysusers AS SELECT uid, name, CASE WHEN is_role THEN 0 ELSE 1 END AS "
           "islogin, "
           "is_role AS issqlrole, uid AS principal_id, CASE WHEN is_role THEN 'R' ELSE 'S' END AS type, "
           "default_schema AS default_schema_name FROM main._t7_users;"
           "CREATE TEMP VIEW _t7v_sys_database_role_members AS SELECT role_uid AS role_principal_id, "
           "member_uid AS "
           "member_principal_id FROM main._t7_rolemembers;"
           "CREATE TEMP VIEW _t7v_syslogins AS SELECT name, name AS loginname, default_db AS dbname, sid, "
           "sid AS principal_id, 'S' AS type, createdate, disabled AS is_disabled, default_db AS "
           "default_database_name FROM " +
           m +
           "._t7_logins;"
           "CREATE TEMP VIEW _t7v_sysdatabases AS SELECT name, dbid, filename, crdate FROM " +
           m +
           "._t7_databases;"
           "CREATE TEMP VIEW _t7v_sys_databases AS SELECT name, dbid AS database_id, crdate AS create_date, "
           "0 AS "
           "state, 'ONLINE' AS state_desc FROM " +
           m +
           "._t7_databases;"
           "CREATE TEMP VIEW _t7v_is_tables AS SELECT NULL AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, name AS "
           "TABLE_NAME, CASE xtype WHEN 'U' THEN 'BASE TABLE' ELSE 'VIEW' END AS TABLE_TYPE FROM "
           "main._t7_objects "
           "WHERE xtype IN ('U','V');"
           "CREATE TEMP VIEW _t7v_is_views AS SELECT NULL AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, name AS "
           "TABLE_NAME, definition AS VIEW_DEFINITION FROM main._t7_objects WHERE xtype = 'V';"
           "CREATE TEMP VIEW _t7v_is_routines AS SELECT name AS ROUTINE_NAME, 'dbo' AS ROUTINE_SCHEMA, CASE "
           "WHEN "
           "xtype = 'P' THEN 'PROCEDURE' ELSE 'FUNCTION' END AS ROUTINE_TYPE, definition AS "
           "ROUTINE_DEFINITION "
           "FROM main._t7_objects WHERE xtype IN ('P','FN','IF','TF');"
           "CREATE TEMP VIEW _t7v_is_columns AS SELECT NULL AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, o.name "
           "AS "
           "TABLE_NAME, c.name AS COLUMN_NAME, c.colid AS ORDINAL_POSITION, c.default_text AS "
           "COLUMN_DEFAULT, "
           "CASE WHEN c.not_null THEN 'NO' ELSE 'YES' END AS IS_NULLABLE, c.type AS DATA_TYPE, CASE WHEN "
           "c.length "
           "<> 0 THEN c.length END AS CHARACTER_MAXIMUM_LENGTH FROM main._t7_columns c JOIN main._t7_objects "
           "o ON "
           "o.id = c.table_id;";
}

}  // namespace

void createDatabaseCatalog(sqlite3* db) {
    execSql(
        db,
        "CREATE TABLE _t7_meta(key TEXT PRIMARY KEY, value);"
        "INSERT INTO _t7_meta VALUES ('version', 1);"
        "CREATE TABLE _t7_objects(id INTEGER PRIMARY KEY, name TEXT NOT NULL COLLATE NOCASE, xtype TEXT NOT "
        "NULL, parent_obj INTEGER NOT NULL DEFAULT 0, definition TEXT, crdate TEXT);"
        "CREATE INDEX _t7_objects_name ON _t7_objects(name);"
        "CREATE TABLE _t7_columns(table_id INTEGER, colid INTEGER, name TEXT COLLATE NOCASE, type TEXT, "
        "length INTEGER, prec INTEGER, scale INTEGER, max_length INTEGER, not_null INTEGER, is_identity "
        "INTEGER, seed INTEGER, step INTEGER, ident_current INTEGER, collation TEXT, default_id INTEGER, "
        "default_text TEXT, PRIMARY KEY(table_id, colid)) WITHOUT ROWID;"
        "CREATE TABLE _t7_indexes(table_id INTEGER, index_id INTEGER, name TEXT COLLATE NOCASE, kind TEXT, "
        "is_unique INTEGER, clustered INTEGER, columns TEXT, constraint_id INTEGER, sqlite_name TEXT, "
        "PRIMARY KEY(table_id, index_id));"
        "CREATE TABLE _t7_fkeys(constraint_id INTEGER PRIMARY KEY, table_id INTEGER, columns TEXT, "
        "ref_table_id INTEGER, ref_columns TEXT, on_delete TEXT, on_update TEXT);"
        "CREATE TABLE _t7_checks(constraint_id INTEGER PRIMARY KEY, table_id INTEGER, expr TEXT, "
        "column_name TEXT);"
        "CREATE TABLE _t7_users(uid INTEGER PRIMARY KEY, name TEXT UNIQUE COLLATE NOCASE, login TEXT COLLATE "
        "NOCASE, default_schema TEXT, is_role INTEGER);"
        "CREATE TABLE _t7_rolemembers(role_uid INTEGER, member_uid INTEGER, PRIMARY KEY(role_uid, "
        "member_uid));"
        "INSERT INTO _t7_users VALUES (0, 'public', NULL, NULL, 1), (1, 'dbo', 'sa', 'dbo', 0), "
        "(2, 'guest', NULL, 'guest', 0), (3, 'INFORMATION_SCHEMA', NULL, NULL, 0), (4, 'sys', NULL, NULL, "
        "0), "
        "(16384, 'db_owner', NULL, NULL, 1), (16385, 'db_accessadmin', NULL, NULL, 1), "
        "(16386, 'db_securityadmin', NULL, NULL, 1), (16387, 'db_ddladmin', NULL, NULL, 1), "
        "(16389, 'db_backupoperator', NULL, NULL, 1), (16390, 'db_datareader', NULL, NULL, 1), "
        "(16391, 'db_datawriter', NULL, NULL, 1), (16392, 'db_denydatareader', NULL, NULL, 1), "
        "(16393, 'db_denydatawriter', NULL, NULL, 1);"
        "INSERT INTO _t7_rolemembers VALUES (16384, 1);");
}

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
    m_tables.clear();
    m_catalogVersion = -1;
    m_dataVersion = -1;
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
        throw SqlError(945, "Database '" + stored +
                                "' cannot be opened due to inaccessible files or insufficient memory or disk "
                                "space.  See the SQL Server errorlog for details.");
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
    execSql(m_db, catalogViewsSql(m_mst));
    m_dbName = stored;
    // Every login reaches master through its guest user, as on the server;
    // other databases need a user mapped to the login.
    if (!m_sysadmin && !isMaster) {
        Query q(m_db, "SELECT 1 FROM main._t7_users WHERE login = ?");
        q.bind(1, m_login);
        if (!q.step()) {
            std::string db = stored;
            throw SqlError(916, "The server principal \"" + m_login +
                                    "\" is not able to access the database \"" + db +
                                    "\" under the current security context.");
        }
    }
    loadDatabaseRights();
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
    if (m_versionPending) {
        // Other sessions compare this with what they cached. The value
        // counted in memory is ours to store: the transaction has held the
        // write lock since its first change.
        Query q(cached("UPDATE main._t7_meta SET value = max(value + 1, ?) WHERE key = 'version'"));
        q.bind(1, m_catalogVersion);
        q.run();
        m_versionPending = false;
    }
    m_inTransaction = false;
    Query(cached("COMMIT")).run();
}

void SessionImpl::deferSchema(const std::string& sql, long long newTable) {
    if (!m_deferring) return physical(sql);
    if (newTable) m_newTables.emplace_back(newTable, m_pendingSchema.size());
    m_pendingSchema += sql;
    m_pendingSchema += ";\n";
}

void SessionImpl::physical(const std::string& sql) {
    flushSchema();
    execSql(m_db, sql);
}

bool SessionImpl::isNewTable(long long id) const {
    for (const auto& [table, offset] : m_newTables)
        if (table == id) return true;
    return false;
}

void SessionImpl::dropPendingSchema() {
    m_pendingSchema.clear();
    m_newTables.clear();
    m_flushedInLeaf = false;
}

void SessionImpl::flushSchema() {
    if (m_pendingSchema.empty()) return;
    if (m_execDepth > 0 && !m_flushedInLeaf) {
        // The changes of earlier statements now run under this statement's
        // savepoint: should it fail, they are held back again.
        m_flushedInLeaf = true;
        m_flushedEarlier = m_pendingSchema.substr(0, m_leafPendingStart);
        m_flushedEarlierTables.clear();
        for (const auto& t : m_newTables)
            if (t.second < m_leafPendingStart) m_flushedEarlierTables.push_back(t);
    }
    std::string sql;
    sql.swap(m_pendingSchema);
    m_newTables.clear();
    try {
        execSql(m_db, sql);
    } catch (const SqliteError&) {
        if (m_execDepth == 0 && m_inTransaction) {
            // Part of it may have run with no savepoint to undo it: the
            // catalog would name tables that are not there. Undo it all.
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            m_inTransaction = false;
            endUserTransaction(BatchResult::TransactionChange::Rollback);
            catalogChanged();
        }
        throw;
    }
}

void SessionImpl::endBatch() {
    if (m_inScript) return;
    if (m_spanBatches && m_tranCount > 0) {
        // A transaction that has changed something keeps its SQLite
        // transaction, and with it the write lock, until it ends. One that
        // has only read lets go of its snapshot until it writes.
        if (sqlite3_total_changes64(m_db) != m_tranChangesAt || !m_pendingSchema.empty() || m_versionPending)
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
    noteTransaction(kind);
}

std::optional<std::string> SessionImpl::variableText(const std::string& name) const {
    auto it = m_vars.find(toLowerAscii(name));
    if (it == m_vars.end()) throw SqlError(137, "Must declare the scalar variable \"" + name + "\".");
    const Variable& v = it->second;
    if (v.value.isNull()) return std::nullopt;
    if (v.type.scale > 0) return decimalText(v.value, v.type.scale);
    return v.value.toText();
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
        if (q.step() && q.text(0) == "0") throw SqlError(17, "SQL Server does not exist or access denied.");
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
    if (q.step() && q.text(0) == "0") throw SqlError(17, "SQL Server does not exist or access denied.");
}

void SessionImpl::refreshCatalog() {
    // Within the batch's transaction: data_version changes only when
    // another connection has committed to this file since our last look,
    // so an unchanged value means the catalog is as this session left it.
    Query d(cached("PRAGMA main.data_version"));
    long long dataVersion = d.step() ? d.integer(0) : -1;
    if (m_catalogVersion >= 0 && dataVersion == m_dataVersion && m_dataVersion >= 0) return;
    m_dataVersion = dataVersion;
    Query q(cached("SELECT value FROM main._t7_meta WHERE key = 'version'"));
    long long v = q.step() ? q.integer(0) : 0;
    if (v != m_catalogVersion) {
        m_tables.clear();
        m_catalogVersion = v;
    }
}

void SessionImpl::catalogChanged() {
    // Something was rolled back: the version counted in memory may no
    // longer match the file, so the next batch reads it again.
    m_tables.clear();
    m_catalogVersion = -1;
}

void SessionImpl::bumpVersion(const TableInfo* changed) {
    m_versionPending = true;
    // The batch holds the write lock, so the new version is ours. A
    // statement that names the one table it changed leaves every other
    // table as it was; the changed one stays cached as the statement left it.
    if (!changed || m_catalogVersion < 0) {
        m_tables.clear();
        if (m_catalogVersion >= 0) ++m_catalogVersion;
        return;
    }
    ++m_catalogVersion;
    // Its triggers are looked at again before the next write: the change
    // may have dropped or added some.
    TablePtr& cachedTable = m_tables[toUpperAscii(changed->name)];
    if (cachedTable.get() != changed) cachedTable = std::make_shared<TableInfo>(*changed);
    cachedTable->triggersReady = 0;
}

void SessionImpl::bumpVersion(TableInfo&& changed) {
    auto t = std::make_shared<TableInfo>(std::move(changed));
    m_tables[toUpperAscii(t->name)] = t;
    bumpVersion(t.get());
}

void SessionImpl::moduleChanged(const std::string& name) {
    m_versionPending = true;
    m_tables.erase(toUpperAscii(name));
    if (m_catalogVersion >= 0) ++m_catalogVersion;
}

std::string SessionImpl::userName() {
    if (m_sysadmin) return "dbo";
    Query q(cached("SELECT name FROM main._t7_users WHERE login = ?"));
    q.bind(1, m_login);
    return q.step() ? q.text(0) : "guest";
}

BatchResult SessionImpl::executeBatch(std::string_view batch) {
    BatchResult result;
    executeBatch(batch, result);
    return result;
}

void SessionImpl::executeBatch(std::string_view batch, BatchResult& result) {
    result = {};
    std::vector<StmtPtr> stmts = parseBatch(batch);
    if (!m_db) throw SqlError(17, "SQL Server does not exist or access denied.");
    try {
        checkRunning();
    } catch (const SqliteError& e) {
        throw mapError(e);
    }
    if (m_cache.size() > kCachedStatements) {
        // Between batches nothing is running: start the cache afresh.
        m_cache.clear();
    }
    m_result = &result;
    m_vars.clear();
    struct Running {
        SessionImpl& s;
        explicit Running(SessionImpl& session) : s(session) {
            std::lock_guard<std::mutex> lock(s.m_dbLock);
            s.m_cancelled = false;
            s.m_running = true;
        }
        ~Running() {
            std::lock_guard<std::mutex> lock(s.m_dbLock);
            s.m_running = false;
            s.m_cancelled = false;
        }
    } running(*this);
    // One plain statement needs no savepoint of its own (see runLeaf).
    static const StmtKind compound[] = {
        StmtKind::Use,         StmtKind::If,   StmtKind::While,      StmtKind::Block,
        StmtKind::Transaction, StmtKind::Exec, StmtKind::ExecString, StmtKind::CreateDatabase,
        StmtKind::DropDatabase};
    // Within a script it does: the batch's failure must not undo the
    // batches before it.
    // So it does within a transaction that spans batches: the failure
    // must not undo what the batches before the transaction did.
    m_singleStatement =
        !m_inScript && m_tranCount == 0 && stmts.size() == 1 &&
        std::find(std::begin(compound), std::end(compound), stmts[0]->kind) == std::end(compound);
    // Beginning or ending a transaction needs no lock of its own: one that
    // wrote holds the write lock already.
    static const StmtKind readOnly[] = {StmtKind::Select,      StmtKind::Print,     StmtKind::Declare,
                                        StmtKind::SetVariable, StmtKind::SetOption, StmtKind::Transaction};
    m_batchWrites =
        m_inScript || std::any_of(stmts.begin(), stmts.end(), [](const StmtPtr& s) {
            return std::find(std::begin(readOnly), std::end(readOnly), s->kind) == std::end(readOnly);
        });
    try {
        begin();
        refreshCatalog();
        for (const StmtPtr& s : stmts) {
            if (run(*s) == Flow::Return) break;
        }
        if (m_tranCount > 0 && !m_spanBatches) {
            // Transactions live within one batch here; one left open is undone.
            endUserTransaction(BatchResult::TransactionChange::Rollback);
            dropPendingSchema();
            execSql(m_db, "ROLLBACK TO usertran; RELEASE usertran");
            endBatch();
            throw SqlError(
                266,
                "Transaction count after the batch indicates a missing COMMIT or ROLLBACK TRANSACTION "
                "statement; the open transaction was rolled back.");
        }
        endBatch();
    } catch (...) {
        catalogChanged();
        if (m_tranCount > 0 && m_db) {
            // A failing statement ends the whole transaction, as with XACT_ABORT ON.
            endUserTransaction(BatchResult::TransactionChange::Rollback);
            dropPendingSchema();
            sqlite3_exec(m_db, "ROLLBACK TO usertran; RELEASE usertran", nullptr, nullptr, nullptr);
        }
        m_result = nullptr;
        if (m_db && m_inTransaction && sqlite3_get_autocommit(m_db)) {
            // SQLite itself rolled the transaction back (an interrupted
            // write does): nothing is left to commit.
            m_inTransaction = false;
            dropPendingSchema();
        }
        try {
            if (m_singleStatement && m_inTransaction) {
                m_inTransaction = false;
                dropPendingSchema();
                execSql(m_db, "ROLLBACK");
            }
            endBatch();
        } catch (const SqliteError&) {
            dropPendingSchema();
            if (m_db) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            m_inTransaction = false;
        }
        // Failures of SQLite outside a statement (the batch's own begin or
        // commit) still reach the client as server errors.
        try {
            throw;
        } catch (const SqliteError& e) {
            throw mapError(e);
        }
    }
    m_result = nullptr;
}

void SessionImpl::cancel() {
    std::lock_guard<std::mutex> lock(m_dbLock);
    if (!m_running) return;
    m_cancelled = true;
    if (m_db) sqlite3_interrupt(m_db);
}

namespace {

SqlError cancelled() {
    return SqlError(3617, "The query was canceled.");
}

}  // namespace

SessionImpl::Flow SessionImpl::run(const Stmt& s) {
    if (m_cancelled) throw cancelled();
    switch (s.kind) {
        case StmtKind::Block:
            for (const StmtPtr& inner : static_cast<const BlockStmt&>(s).body) {
                Flow f = run(*inner);
                if (f != Flow::Normal) return f;
            }
            return Flow::Normal;
        case StmtKind::If: {
            const auto& st = static_cast<const IfStmt&>(s);
            if (condition(*st.condition)) return run(*st.then);
            if (st.otherwise) return run(*st.otherwise);
            return Flow::Normal;
        }
        case StmtKind::While: {
            const auto& st = static_cast<const WhileStmt&>(s);
            while (condition(*st.condition)) {
                Flow f = run(*st.body);
                if (f == Flow::Break) break;
                if (f == Flow::Return) return f;
            }
            return Flow::Normal;
        }
        case StmtKind::Break:
            return Flow::Break;
        case StmtKind::Continue:
            return Flow::Continue;
        case StmtKind::Return:
            return Flow::Return;
        case StmtKind::Use:
            if (m_tranCount > 0)
                throw SqlError(50000, "USE cannot switch databases inside a transaction on this server.");
            switchDatabase(static_cast<const NameStmt&>(s).names[0]);
            return Flow::Normal;
        case StmtKind::Transaction:
            runTransaction(static_cast<const TransactionStmt&>(s).action);
            return Flow::Normal;
        case StmtKind::CreateDatabase:
        case StmtKind::DropDatabase:
            runServerStatement(s);
            return Flow::Normal;
        case StmtKind::Exec:
        case StmtKind::ExecString:
            // A procedure or dynamic batch is not atomic as a whole: each of
            // its statements is, and those before a failure stay.
            try {
                runStatement(s);
            } catch (const SqliteError& e) {
                throw mapError(e);
            }
            return Flow::Normal;
        default:
            return runLeaf(s);
    }
}

SqlError SessionImpl::mapError(const SqliteError& e) {
    std::string msg = e.what();
    int number;
    std::string text;
    if (decodeError(msg, number, text)) return SqlError(number, text);
    if ((e.code() & 0xFF) == SQLITE_INTERRUPT || m_cancelled) return cancelled();
    // SQLite's own bounds on a statement: its parser's stack and the
    // depth of an expression.
    if (msg == "parser stack overflow" || msg.rfind("Expression tree is too large", 0) == 0)
        return nestedTooDeeply();
    auto after = [&](const std::string& prefix) -> std::optional<std::string> {
        if (msg.rfind(prefix, 0) != 0) return std::nullopt;
        std::string rest = msg.substr(prefix.size());
        if (rest.rfind("main.", 0) == 0) rest = rest.substr(5);
        return rest;
    };
    if (auto t = after("no such table: ")) return SqlError(208, "Invalid object name '" + *t + "'.");
    if (auto t = after("no such column: ")) {
        std::string c = *t;
        size_t dot = c.rfind('.');
        if (dot != std::string::npos) c = c.substr(dot + 1);
        return SqlError(207, "Invalid column name '" + c + "'.");
    }
    if (auto t = after("ambiguous column name: "))
        return SqlError(209, "Ambiguous column name '" + *t + "'.");
    if (auto t = after("no such function: "))
        return SqlError(195, "'" + *t + "' is not a recognized built-in function name.");
    if (auto t = after("UNIQUE constraint failed: ")) {
        // "T.a, T.b": find the unique index over exactly these columns.
        std::string list = *t;
        std::string table = list.substr(0, list.find('.'));
        std::vector<std::string> cols;
        size_t pos = 0;
        while (pos < list.size()) {
            size_t comma = list.find(", ", pos);
            std::string part = list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
            cols.push_back(part.substr(part.find('.') + 1));
            if (comma == std::string::npos) break;
            pos = comma + 2;
        }
        TablePtr info = findTable(table);
        if (info) {
            for (const IndexInfo& ix : info->indexes) {
                if (ix.columns.size() != cols.size()) continue;
                bool same = true;
                for (size_t i = 0; i < cols.size(); ++i)
                    same = same && equalsIgnoreCase(ix.columns[i].name, cols[i]);
                if (!same) continue;
                if (ix.kind == "PK")
                    return SqlError(2627, "Violation of PRIMARY KEY constraint '" + ix.name +
                                              "'. Cannot insert duplicate key in object 'dbo." + info->name +
                                              "'.");
                if (ix.kind == "UQ")
                    return SqlError(2627, "Violation of UNIQUE KEY constraint '" + ix.name +
                                              "'. Cannot insert duplicate key in object 'dbo." + info->name +
                                              "'.");
                return SqlError(2601, "Cannot insert duplicate key row in object 'dbo." + info->name +
                                          "' with unique index '" + ix.name + "'.");
            }
        }
        return SqlError(2627, "Cannot insert duplicate key in object 'dbo." + table + "'.");
    }
    if ((e.code() & 0xFF) == SQLITE_BUSY || (e.code() & 0xFF) == SQLITE_LOCKED) return lockTimeout();
    if (msg.find("values for") != std::string::npos && msg.find("columns") != std::string::npos)
        return SqlError(121,
                        "The select list for the INSERT statement contains more items than the insert list. "
                        "The number of SELECT values must match the number of INSERT columns.");
    if (msg.find("syntax error") != std::string::npos || msg.find("near \"") != std::string::npos)
        return SqlError(102, "Incorrect syntax near '" + msg + "'.");
    return SqlError(50000, msg);
}

SessionImpl::Flow SessionImpl::runLeaf(const Stmt& s) {
    // A batch of one statement needs no savepoint: the batch's own
    // transaction is rolled back when it fails.
    bool savepoint = !(m_singleStatement && m_execDepth == 0);
    // Statements that only change the schema may hold their SQLite schema
    // changes back; any other first carries out what is held back.
    static const StmtKind schemaOnly[] = {StmtKind::CreateTable,  StmtKind::AlterTable, StmtKind::CreateIndex,
                                          StmtKind::CreateModule, StmtKind::Declare,    StmtKind::SetOption};
    bool outer = m_execDepth == 0;
    if (outer && m_implicitTransactions && m_spanBatches && m_tranCount == 0 && opensImplicitTransaction(s))
        runTransaction("BEGIN");
    if (outer) {
        m_deferring = std::find(std::begin(schemaOnly), std::end(schemaOnly), s.kind) != std::end(schemaOnly);
        if (!m_deferring) flushSchema();
        m_leafPendingStart = m_pendingSchema.size();
        m_flushedInLeaf = false;
    }
    ++m_execDepth;
    std::string sp = "sp" + std::to_string(m_execDepth);
    if (savepoint) Query(cached("SAVEPOINT " + sp)).run();
    m_writeRules.clear();
    m_identities.clear();
    auto undo = [&] {
        if (savepoint && m_db)
            sqlite3_exec(m_db, ("ROLLBACK TO " + sp + "; RELEASE " + sp).c_str(), nullptr, nullptr, nullptr);
        --m_execDepth;
        if (outer) {
            if (m_flushedInLeaf) {
                m_pendingSchema = std::move(m_flushedEarlier);
                m_newTables = std::move(m_flushedEarlierTables);
            } else {
                m_pendingSchema.resize(std::min(m_pendingSchema.size(), m_leafPendingStart));
                std::erase_if(m_newTables, [&](const auto& t) { return t.second >= m_leafPendingStart; });
            }
            m_flushedInLeaf = false;
            m_deferring = false;
        }
        catalogChanged();
    };
    try {
        runStatement(s);
        finishIdentities();
        if (savepoint) Query(cached("RELEASE " + sp)).run();
    } catch (const SqliteError& e) {
        SqlError mapped = mapError(e);
        undo();
        throw mapped;
    } catch (...) {
        undo();
        throw;
    }
    --m_execDepth;
    if (outer) {
        m_deferring = false;
        m_flushedInLeaf = false;
    }
    return Flow::Normal;
}

void SessionImpl::runStatement(const Stmt& s) {
    requireSchemaRight(s);
    switch (s.kind) {
        case StmtKind::Select:
            runSelect(static_cast<const SelectStmt&>(s));
            break;
        case StmtKind::Insert:
            runInsert(static_cast<const InsertStmt&>(s));
            break;
        case StmtKind::Update:
            runUpdate(static_cast<const UpdateStmt&>(s));
            break;
        case StmtKind::Delete:
            runDelete(static_cast<const DeleteStmt&>(s));
            break;
        case StmtKind::Truncate:
            runTruncate(static_cast<const TruncateStmt&>(s));
            break;
        case StmtKind::CreateTable:
            runCreateTable(static_cast<const CreateTableStmt&>(s));
            break;
        case StmtKind::AlterTable:
            runAlterTable(static_cast<const AlterTableStmt&>(s));
            break;
        case StmtKind::CreateIndex:
            runCreateIndex(static_cast<const CreateIndexStmt&>(s));
            break;
        case StmtKind::DropObject:
            runDropObject(static_cast<const DropObjectStmt&>(s));
            break;
        case StmtKind::CreateModule:
            runCreateModule(static_cast<const CreateModuleStmt&>(s));
            break;
        case StmtKind::CreateLogin:
            runCreateLogin(static_cast<const LoginStmt&>(s));
            break;
        case StmtKind::AlterLogin:
            runAlterLogin(static_cast<const LoginStmt&>(s));
            break;
        case StmtKind::DropLogin:
            runDropLogin(static_cast<const NameStmt&>(s));
            break;
        case StmtKind::CreateUser:
            runCreateUser(static_cast<const CreateUserStmt&>(s));
            break;
        case StmtKind::DropUser:
            runDropUser(static_cast<const NameStmt&>(s));
            break;
        case StmtKind::Exec:
            runExec(static_cast<const ExecStmt&>(s));
            break;
        case StmtKind::ExecString:
            runExecString(static_cast<const ExecStringStmt&>(s));
            break;
        case StmtKind::Declare:
            runDeclare(static_cast<const DeclareStmt&>(s));
            break;
        case StmtKind::SetVariable: {
            const auto& st = static_cast<const SetVariableStmt&>(s);
            if (!m_vars.count(st.name))
                throw SqlError(137, "Must declare the scalar variable \"" + st.name + "\".");
            if (st.op == "=") {
                assign(st.name, evaluate(*st.value));
            } else {
                auto target = std::make_unique<Expr>();
                target->kind = ExprKind::Variable;
                target->text = st.name;
                Expr bin;
                bin.kind = ExprKind::BinaryOp;
                bin.text = st.op.substr(0, 1);
                bin.args.push_back(std::move(target));
                // The value expression is owned by the statement; evaluate it
                // first and combine through a literal.
                Value rhs = evaluate(*st.value);
                auto lit = std::make_unique<Expr>();
                lit->kind = ExprKind::Variable;
                lit->text = "@@t7_rhs";
                m_vars["@@t7_rhs"] = Variable{TypeSpec{}, rhs};
                bin.args.push_back(std::move(lit));
                Value v;
                try {
                    v = evaluate(bin);
                } catch (...) {
                    m_vars.erase("@@t7_rhs");
                    throw;
                }
                m_vars.erase("@@t7_rhs");
                assign(st.name, v);
            }
            break;
        }
        case StmtKind::SetOption:
            runSetOption(static_cast<const SetOptionStmt&>(s));
            break;
        case StmtKind::SetIdentityInsert:
            runSetIdentityInsert(static_cast<const SetIdentityInsertStmt&>(s));
            break;
        case StmtKind::Print: {
            Value v = evaluate(*static_cast<const ExprStmt&>(s).value);
            if (m_result) m_result->messages.push_back(v.toText());
            break;
        }
        case StmtKind::Transaction:
            throw SqlError(
                50000, "Explicit transactions are not supported by this server; each statement is atomic.");
        default:
            throw SqlError(102, "Incorrect syntax.");
    }
}

void SessionImpl::runSetOption(const SetOptionStmt& s) {
    // NOCOUNT, ANSI_NULLS and the like: the engine always behaves as with the defaults.
    for (const std::string& option : s.options) {
        if (option == "IMPLICIT_TRANSACTIONS" || option == "ANSI_DEFAULTS") {
            m_implicitTransactions = s.value == "ON";
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

void SessionImpl::runTransaction(const std::string& action) {
    if (action == "BEGIN") {
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
        if (m_tranCount == 0)
            throw SqlError(3902, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
        if (m_tranCount == 1) {
            execSql(m_db, "RELEASE usertran");
            endUserTransaction(BatchResult::TransactionChange::Commit);
        } else {
            --m_tranCount;
        }
    } else {
        if (m_tranCount == 0)
            throw SqlError(3903, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
        endUserTransaction(BatchResult::TransactionChange::Rollback);
        dropPendingSchema();
        execSql(m_db, "ROLLBACK TO usertran; RELEASE usertran");
        catalogChanged();
        m_catalogVersion = -1;
    }
}

Value SessionImpl::evaluate(const Expr& e) {
    Translator t(*this);
    std::string sql = "SELECT " + t.expr(e);
    Query q = prepare(sql);
    t.bindAll(q);
    if (!q.step()) return Value::null();
    return q.value(0);
}

bool SessionImpl::condition(const Expr& e) {
    Translator t(*this);
    std::string sql = "SELECT CASE WHEN " + t.expr(e) + " THEN 1 ELSE 0 END";
    try {
        Query q = prepare(sql);
        t.bindAll(q);
        return q.step() && q.integer(0) == 1;
    } catch (const SqliteError& err) {
        throw mapError(err);
    }
}

void SessionImpl::assign(const std::string& var, const Value& v) {
    auto it = m_vars.find(var);
    if (it == m_vars.end()) throw SqlError(137, "Must declare the scalar variable \"" + var + "\".");
    it->second.value = it->second.type.name.empty() ? v : convertValue(v, it->second.type, ConvertMode::Cast);
}

void SessionImpl::runDeclare(const DeclareStmt& s) {
    for (const DeclareItem& item : s.items) {
        if (m_vars.count(item.name))
            throw SqlError(
                134, "The variable name '" + item.name +
                         "' has already been declared. Variable names must be unique within a query batch "
                         "or stored procedure.");
        if (!isKnownType(item.type.name))
            throw SqlError(
                2715, "Column, parameter, or variable #1: Cannot find data type " + item.type.name + ".");
        m_vars[item.name] = Variable{normalizeType(item.type, false), Value::null()};
        if (item.init) assign(item.name, evaluate(*item.init));
    }
}

std::vector<int> SessionImpl::decimalScales(Translator& t, const Select& sel, const Query& q) {
    // From the select list; for a * from the tables the columns come from.
    std::vector<int> scales = t.decimalScales(sel);
    if (!scales.empty() || sel.items.empty()) return scales;
    bool any = false;
    scales.assign(static_cast<size_t>(q.columns()), -1);
    for (int i = 0; i < q.columns(); ++i) {
        const char* table = sqlite3_column_table_name(q.handle(), i);
        const char* column = sqlite3_column_origin_name(q.handle(), i);
        if (!table || !column) continue;
        TablePtr info = findTable(table);
        if (!info) continue;
        for (const ColumnInfo& c : info->columns) {
            if (c.type.scale > 0 && typeClass(c.type.name) == TypeClass::Decimal && c.type.name[0] != 'm' &&
                c.type.name[0] != 's' && equalsIgnoreCase(c.name, column)) {
                scales[static_cast<size_t>(i)] = c.type.scale;
                any = true;
            }
        }
    }
    if (!any) scales.clear();
    return scales;
}

void SessionImpl::runSelect(const SelectStmt& s) {
    const Select& sel = *s.select;
    bool assigns = false, plain = false;
    for (const SelectItem& it : sel.items) (it.assignTo.empty() ? plain : assigns) = true;
    if (assigns && plain)
        throw SqlError(141,
                       "A SELECT statement that assigns a value to a variable must not be combined with "
                       "data-retrieval operations.");
    Translator t(*this);
    std::string sql = t.select(sel);
    Query q = prepare(sql);
    t.bindAll(q);
    if (assigns) {
        std::vector<Value> last;
        long long rows = 0;
        while (q.step()) {
            last.clear();
            for (int i = 0; i < q.columns(); ++i) last.push_back(q.value(i));
            ++rows;
        }
        if (rows > 0)
            for (size_t i = 0; i < sel.items.size(); ++i) assign(sel.items[i].assignTo, last[i]);
        m_rowcount = rows;
        return;
    }
    ResultSet rs;
    std::vector<int> scales = decimalScales(t, sel, q);
    for (int i = 0; i < q.columns(); ++i) {
        std::string name = sqlite3_column_name(q.handle(), i);
        if (name.rfind("_t7_anon", 0) == 0) name.clear();
        rs.columns.push_back(name);
    }
    // The kinds of the values each column held: 0 while all were NULL,
    // SQLITE_FLOAT where integers and reals mix, SQLITE_TEXT for any other mix.
    std::vector<int> kinds(rs.columns.size(), 0);
    while (q.step()) {
        std::vector<std::optional<std::string>> row;
        row.reserve(static_cast<size_t>(q.columns()));
        for (int i = 0; i < q.columns(); ++i) {
            int kind = sqlite3_column_type(q.handle(), i);
            if (kind == SQLITE_NULL) {
                row.emplace_back(std::nullopt);
                continue;
            }
            int& seen = kinds[static_cast<size_t>(i)];
            if (seen == 0 || seen == kind)
                seen = kind;
            else if ((seen == SQLITE_INTEGER || seen == SQLITE_FLOAT) &&
                     (kind == SQLITE_INTEGER || kind == SQLITE_FLOAT))
                seen = SQLITE_FLOAT;
            else
                seen = SQLITE_TEXT;
            if (scales.empty() || scales[static_cast<size_t>(i)] <= 0)
                row.emplace_back(q.value(i).toText());
            else
                row.emplace_back(decimalText(q.value(i), scales[static_cast<size_t>(i)]));
        }
        rs.rows.push_back(std::move(row));
    }
    rs.types = resultTypes(q, sel, rs, kinds);
    m_rowcount = static_cast<long long>(rs.rows.size());
    if (m_result) {
        countRows(m_rowcount, static_cast<int>(m_result->resultSets.size()));
        m_result->resultSets.push_back(std::move(rs));
    }
}

void SessionImpl::countRows(long long rows, int resultSet) {
    if (m_result) m_result->counts.push_back({rows, resultSet});
}

namespace {

ColumnType columnType(const TypeSpec& declared, bool nullable) {
    TypeSpec t = normalizeType(declared, false);
    ColumnType c;
    c.name = t.name == "sysname" ? "nvarchar" : t.name;
    c.length = t.length;
    c.precision = t.precision;
    c.scale = t.scale;
    c.nullable = nullable;
    if (c.name == "date") c.name = "datetime";  // kept as a datetime at midnight
    return c;
}

// A column computed by an expression: its type where the expression says
// it, else what its values are.
ColumnType inferredType(const Expr* e, const std::vector<std::vector<std::optional<std::string>>>& rows,
                        size_t column, const std::vector<int>& kinds) {
    if (e && e->kind == ExprKind::Cast && isKnownType(e->type.name)) return columnType(e->type, true);
    if (e && e->kind == ExprKind::Function) {
        std::string f = toLowerAscii(e->text);
        if (f == "getdate" || f == "current_timestamp" || f == "getutcdate")
            return columnType({"datetime"}, true);
        if (f == "newid") return columnType({"uniqueidentifier"}, true);
    }
    ColumnType c;
    int kind = kinds[column];
    if (kind == SQLITE_INTEGER) {
        c.name = "int";
        for (const auto& row : rows) {
            if (!row[column]) continue;
            long long v = std::strtoll(row[column]->c_str(), nullptr, 10);
            if (v < INT32_MIN || v > INT32_MAX) c.name = "bigint";
        }
    } else if (kind == SQLITE_FLOAT) {
        c.name = "float";
    } else if (kind == SQLITE_BLOB) {
        c.name = "varbinary";
        c.length = 1;
        for (const auto& row : rows)
            if (row[column])
                c.length = std::max<int>(c.length, static_cast<int>(row[column]->size() / 2 - 1));
        if (c.length > 8000) c.length = -1;
    } else {
        c.name = kind == 0 ? "int" : "nvarchar";
        c.length = kind == 0 ? 0 : 1;
        if (kind != 0) {
            for (const auto& row : rows) {
                if (!row[column]) continue;
                int chars = 0;
                for (unsigned char ch : *row[column]) chars += (ch & 0xC0) != 0x80;
                c.length = std::max(c.length, chars);
            }
            if (c.length > 4000) c.length = -1;
        }
    }
    return c;
}

}  // namespace

std::vector<ColumnType> SessionImpl::resultTypes(const Query& q, const Select& sel, const ResultSet& rs,
                                                 const std::vector<int>& kinds) {
    bool itemsMatch = sel.items.size() == rs.columns.size();
    for (const SelectItem& it : sel.items)
        itemsMatch = itemsMatch && it.expr && it.expr->kind != ExprKind::Star;
    std::vector<ColumnType> types;
    for (size_t i = 0; i < rs.columns.size(); ++i) {
        int col = static_cast<int>(i);
        const char* table = sqlite3_column_table_name(q.handle(), col);
        const char* origin = sqlite3_column_origin_name(q.handle(), col);
        const ColumnInfo* info = nullptr;
        TablePtr t;
        if (table && origin && std::string_view(table).rfind("_t7", 0) != 0) {
            t = findTable(table);
            if (t) {
                int c = t->findColumn(origin);
                if (c >= 0) info = &t->columns[static_cast<size_t>(c)];
            }
        }
        if (info && isKnownType(info->type.name)) {
            types.push_back(columnType(info->type, !info->notNull));
        } else {
            types.push_back(inferredType(itemsMatch ? sel.items[i].expr.get() : nullptr, rs.rows, i, kinds));
        }
    }
    return types;
}

int SessionImpl::addWriteRule(const ColumnInfo& c, const TableInfo& t, bool update) {
    WriteRule w;
    w.type = c.type;
    w.notNull = c.notNull;
    w.column = c.name;
    w.table = t.name;
    w.update = update;
    m_writeRules.push_back(std::move(w));
    return static_cast<int>(m_writeRules.size() - 1);
}

void SessionImpl::finishIdentities() {
    for (const IdentityState& st : m_identities) {
        if (!st.used) continue;
        Query q(cached("UPDATE main._t7_columns SET ident_current = ? WHERE table_id = ? AND colid = ?"));
        q.bind(1, st.last).bind(2, st.tableId).bind(3, static_cast<long long>(st.colid));
        q.run();
        m_lastIdentity = Value::integer(st.last);
    }
}

void SessionImpl::runInsert(const InsertStmt& s) {
    TablePtr t = requireTable(s.table);
    requireWrite("INSERT", *t);
    const std::vector<std::string>* columns = &s.columns;
    std::vector<std::string> baseColumns;
    if (t->isView) {
        UpdatableView view = updatableView(*t);
        baseColumns = view.baseColumns(s.columns);
        columns = &baseColumns;
        t = view.base;
    }
    ensureForeignKeyTriggers(*t, kInsertRows);
    int ident = t->identityColumn();
    bool identityInsert = ident >= 0 && equalsIgnoreCase(m_identityInsertTable, t->name);
    // Which table column each given value goes to.
    std::vector<int> target;
    if (columns->empty()) {
        if (identityInsert)
            throw SqlError(
                8101, "An explicit value for the identity column in table '" + t->name +
                          "' can only be specified when a column list is used and IDENTITY_INSERT is ON.");
        for (size_t i = 0; i < t->columns.size(); ++i)
            if (!t->columns[i].identity) target.push_back(static_cast<int>(i));
    } else {
        for (const std::string& c : *columns) {
            int i = t->findColumn(c);
            if (i < 0) throw SqlError(207, "Invalid column name '" + c + "'.");
            if (std::find(target.begin(), target.end(), i) != target.end())
                throw SqlError(
                    264, "The column name '" + c +
                             "' is specified more than once in the SET clause or column list of an "
                             "INSERT. A column cannot be assigned more than one value in the same clause. "
                             "Modify the clause to make sure that a column is updated only once. If this "
                             "statement updates or inserts columns into a view, column aliasing can "
                             "conceal the duplication in your code.");
            target.push_back(i);
        }
    }
    bool explicitIdentity = ident >= 0 && std::find(target.begin(), target.end(), ident) != target.end();
    if (explicitIdentity && !identityInsert)
        throw SqlError(544, "Cannot insert explicit value for identity column in table '" + t->name +
                                "' when IDENTITY_INSERT is set to OFF.");
    if (identityInsert && !explicitIdentity)
        throw SqlError(
            545, "Explicit value must be specified for identity column in table '" + t->name +
                     "' either when IDENTITY_INSERT is set to ON or when a replication user is inserting "
                     "into a NOT FOR REPLICATION identity column.");
    int identIndex = -1;
    if (ident >= 0 && !explicitIdentity) {
        const ColumnInfo& c = t->columns[static_cast<size_t>(ident)];
        Query q(cached("SELECT ident_current FROM main._t7_columns WHERE table_id = ? AND colid = ?"));
        q.bind(1, t->id).bind(2, static_cast<long long>(c.colid));
        IdentityState st;
        st.tableId = t->id;
        st.colid = c.colid;
        st.step = c.step;
        st.next = q.step() && !q.isNull(0) ? q.integer(0) + c.step : c.seed;
        m_identities.push_back(st);
        identIndex = static_cast<int>(m_identities.size() - 1);
    }
    Translator tr(*this);
    // A write rule per column that gets a value; the numbering follows the
    // columns, so statements of one shape keep one text.
    std::vector<int> rules(t->columns.size(), -1);
    auto rule = [&](size_t i) {
        if (rules[i] < 0) rules[i] = addWriteRule(t->columns[i], *t, false);
        return std::to_string(rules[i]);
    };
    // Where each table column's value stands among the given ones, or -1.
    std::vector<int> valueAt(t->columns.size(), -1);
    for (size_t k = 0; k < target.size(); ++k) valueAt[static_cast<size_t>(target[k])] = static_cast<int>(k);
    // A nullable column without a default that gets no value is left out:
    // SQLite fills it with NULL, as the statement would.
    std::vector<size_t> written;
    for (size_t i = 0; i < t->columns.size(); ++i) {
        const ColumnInfo& c = t->columns[i];
        if (valueAt[i] >= 0 || c.identity || c.notNull || !c.defaultText.empty()) written.push_back(i);
    }
    if (written.empty()) written.push_back(0);
    auto defaultFor = [&](size_t i) {
        const ColumnInfo& c = t->columns[i];
        if (c.identity && !explicitIdentity) return "_t7_nextid(" + std::to_string(identIndex) + ")";
        if (!c.defaultText.empty()) {
            ExprPtr d = parseExpression(c.defaultText);
            return "_t7_w(" + rule(i) + ", " + tr.expr(*d) + ")";
        }
        if (!c.notNull) return std::string("NULL");
        return "_t7_w(" + rule(i) + ", NULL)";
    };
    std::string cols;
    for (size_t i : written) {
        if (!cols.empty()) cols += ", ";
        cols += quoteIdent(t->columns[i].name);
    }
    std::string sql;
    if (s.select) {
        std::string inner = tr.select(*s.select);
        std::string cte = "WITH _t7s(";
        for (size_t k = 0; k < target.size(); ++k) cte += (k ? ", c" : "c") + std::to_string(k);
        cte += ") AS (" + inner + ") ";
        sql = cte + "INSERT INTO " + quoteIdent(t->name) + "(" + cols + ") SELECT ";
        bool first = true;
        for (size_t i : written) {
            if (!first) sql += ", ";
            first = false;
            if (valueAt[i] >= 0)
                sql += "_t7_w(" + rule(i) + ", c" + std::to_string(valueAt[i]) + ")";
            else
                sql += defaultFor(i);
        }
        sql += " FROM _t7s";
    } else {
        sql = "INSERT INTO " + quoteIdent(t->name) + "(" + cols + ") VALUES ";
        std::vector<std::vector<ExprPtr>> none;
        const auto& rows = s.defaultValues ? none : s.rows;
        size_t count = s.defaultValues ? 1 : rows.size();
        for (size_t r = 0; r < count; ++r) {
            if (!s.defaultValues) {
                if (rows[r].size() > target.size())
                    throw SqlError(109,
                                   "There are more columns in the INSERT statement than values specified in "
                                   "the VALUES clause. The number of values in the VALUES clause must match "
                                   "the number of columns specified in the INSERT statement.");
                if (rows[r].size() < target.size())
                    throw SqlError(110,
                                   "There are fewer columns in the INSERT statement than values specified in "
                                   "the VALUES clause. The number of values in the VALUES clause must match "
                                   "the number of columns specified in the INSERT statement.");
            }
            if (r) sql += ", ";
            sql += "(";
            bool first = true;
            for (size_t i : written) {
                if (!first) sql += ", ";
                first = false;
                if (s.defaultValues || valueAt[i] < 0) {
                    sql += defaultFor(i);
                    continue;
                }
                const Expr& v = *rows[r][static_cast<size_t>(valueAt[i])];
                if (v.kind == ExprKind::Default)
                    sql += defaultFor(i);
                else
                    sql += "_t7_w(" + rule(i) + ", " + tr.expr(v) + ")";
            }
            sql += ")";
        }
    }
    Query q = prepare(sql);
    tr.bindAll(q);
    q.run();
    m_rowcount = sqlite3_changes(m_db);
    countRows(m_rowcount);
    if (explicitIdentity) {
        const ColumnInfo& c = t->columns[static_cast<size_t>(ident)];
        Query mx(m_db, std::string("SELECT ") + (c.step > 0 ? "max(" : "min(") + quoteIdent(c.name) +
                           ") FROM " + quoteIdent(t->name));
        if (mx.step() && !mx.isNull(0)) {
            long long v = mx.integer(0);
            Query cur(cached("SELECT ident_current FROM main._t7_columns WHERE table_id = ? AND colid = ?"));
            cur.bind(1, t->id).bind(2, static_cast<long long>(c.colid));
            bool has = cur.step() && !cur.isNull(0);
            // Before any value was generated the seed is where counting starts.
            long long now = has ? cur.integer(0) : c.seed - c.step;
            if (c.step > 0 ? v > now : v < now) {
                Query up(
                    cached("UPDATE main._t7_columns SET ident_current = ? WHERE table_id = ? AND colid = ?"));
                up.bind(1, v).bind(2, t->id).bind(3, static_cast<long long>(c.colid));
                up.run();
            }
        }
    }
}

namespace {

// Finds the FROM entry that names the target of an UPDATE or DELETE.
const TableRef* findTarget(const std::vector<TableRefPtr>& from, const std::string& name) {
    std::vector<const TableRef*> stack;
    for (const auto& t : from) stack.push_back(t.get());
    const TableRef* byName = nullptr;
    while (!stack.empty()) {
        const TableRef* t = stack.back();
        stack.pop_back();
        if (t->join != JoinKind::None) {
            stack.push_back(t->right.get());
            stack.push_back(t->left.get());
            continue;
        }
        if (t->derived) continue;
        if (!t->alias.empty() && equalsIgnoreCase(t->alias, name)) return t;
        if (!byName && equalsIgnoreCase(t->name.last(), name)) byName = t;
    }
    return byName;
}

}  // namespace

void SessionImpl::runUpdate(const UpdateStmt& s) {
    std::string targetName = s.table.last();
    const TableRef* target = s.from.empty() ? nullptr : findTarget(s.from, targetName);
    TablePtr t = target ? requireTable(target->name) : requireTable(s.table);
    requireWrite("UPDATE", *t);
    if (t->isView) return updateView(s, *t);
    ensureForeignKeyTriggers(*t, kUpdateRows);
    Translator tr(*this);
    std::string alias = target ? (target->alias.empty() ? target->name.last() : target->alias) : t->name;
    // Variables assigned in SET (SET @v = col) are read back after the update.
    std::vector<std::pair<std::string, std::string>> varAssign;
    std::vector<std::string> setSql;
    std::vector<std::string> setCols;
    auto scopeFrom = [&]() {
        if (!s.from.empty()) {
            tr.pushScope(s.from);
            if (!target) tr.pushTable(t->name, t);
        } else {
            tr.pushTable(t->name, t);
        }
    };
    scopeFrom();
    for (const Assignment& a : s.sets) {
        if (!a.variable.empty() && a.column.empty()) {
            if (!m_vars.count(a.variable))
                throw SqlError(137, "Must declare the scalar variable \"" + a.variable + "\".");
            varAssign.emplace_back(a.variable, tr.expr(*a.value));
            continue;
        }
        int i = t->findColumn(a.column);
        if (i < 0) throw SqlError(207, "Invalid column name '" + a.column + "'.");
        const ColumnInfo& c = t->columns[static_cast<size_t>(i)];
        if (c.identity) throw SqlError(8102, "Cannot update identity column '" + c.name + "'.");
        int rule = addWriteRule(c, *t, true);
        std::string value;
        if (a.value->kind == ExprKind::Default) {
            if (c.defaultText.empty()) {
                value = "NULL";
            } else {
                ExprPtr d = parseExpression(c.defaultText);
                value = tr.expr(*d);
            }
        } else {
            value = tr.expr(*a.value);
        }
        setCols.push_back(quoteIdent(c.name));
        setSql.push_back("_t7_w(" + std::to_string(rule) + ", " + value + ")");
        if (!a.variable.empty()) varAssign.emplace_back(a.variable, "NULL");
    }
    std::string where;
    if (s.where) where = tr.expr(*s.where);
    std::string sql;
    if (s.from.empty() && !s.top && varAssign.empty()) {
        sql = "UPDATE " + quoteIdent(t->name) + " SET ";
        for (size_t i = 0; i < setCols.size(); ++i) sql += (i ? ", " : "") + setCols[i] + " = " + setSql[i];
        if (!where.empty()) sql += " WHERE " + where;
    } else {
        std::string inner = "SELECT " + quoteIdent(alias) + ".rowid AS _t7rid";
        for (size_t i = 0; i < setSql.size(); ++i) inner += ", " + setSql[i] + " AS v" + std::to_string(i);
        inner += " FROM ";
        if (s.from.empty())
            inner += quoteIdent(t->name);
        else
            inner += (target ? std::string() : quoteIdent(t->name) + ", ") + tr.fromList(s.from);
        if (!where.empty()) inner += " WHERE " + where;
        if (s.top) inner += " LIMIT " + tr.expr(*s.top);
        if (!varAssign.empty()) {
            // SET @v = expr: evaluated over the rows being updated; the last row wins.
            std::string vsql = "SELECT ";
            for (size_t i = 0; i < varAssign.size(); ++i) vsql += (i ? ", " : "") + varAssign[i].second;
            vsql += inner.substr(inner.find(" FROM "));
            Query vq = prepare(vsql);
            tr.bindAll(vq);
            std::vector<Value> last;
            while (vq.step()) {
                last.clear();
                for (int i = 0; i < vq.columns(); ++i) last.push_back(vq.value(i));
            }
            if (!last.empty())
                for (size_t i = 0; i < varAssign.size(); ++i)
                    if (varAssign[i].second != "NULL") assign(varAssign[i].first, last[i]);
        }
        if (setSql.empty()) {
            tr.popScope();
            return;
        }
        sql = "UPDATE " + quoteIdent(t->name) + " SET ";
        for (size_t i = 0; i < setCols.size(); ++i)
            sql += (i ? ", " : "") + setCols[i] + " = _t7u.v" + std::to_string(i);
        sql += " FROM (" + inner + ") AS _t7u WHERE " + quoteIdent(t->name) + ".rowid = _t7u._t7rid";
    }
    tr.popScope();
    Query q = prepare(sql);
    tr.bindAll(q);
    q.run();
    m_rowcount = sqlite3_changes(m_db);
    countRows(m_rowcount);
}

void SessionImpl::runDelete(const DeleteStmt& s) {
    const TableRef* target = s.from.empty() ? nullptr : findTarget(s.from, s.table.last());
    TablePtr t = target ? requireTable(target->name) : requireTable(s.table);
    requireWrite("DELETE", *t);
    if (t->isView) return deleteFromView(s, *t);
    ensureForeignKeyTriggers(*t, kDeleteRows);
    Translator tr(*this);
    std::string sql = "DELETE FROM " + quoteIdent(t->name);
    if (s.from.empty() && !s.top) {
        tr.pushTable(t->name, t);
        if (s.where) sql += " WHERE " + tr.expr(*s.where);
        tr.popScope();
    } else {
        std::string alias = target ? (target->alias.empty() ? target->name.last() : target->alias) : t->name;
        tr.pushScope(s.from);
        if (!target) tr.pushTable(t->name, t);
        std::string inner = "SELECT " + quoteIdent(alias) + ".rowid FROM ";
        if (s.from.empty())
            inner += quoteIdent(t->name);
        else
            inner += (target ? std::string() : quoteIdent(t->name) + ", ") + tr.fromList(s.from);
        if (s.where) inner += " WHERE " + tr.expr(*s.where);
        if (s.top) inner += " LIMIT " + tr.expr(*s.top);
        tr.popScope();
        sql += " WHERE rowid IN (" + inner + ")";
    }
    Query q = prepare(sql);
    tr.bindAll(q);
    q.run();
    m_rowcount = sqlite3_changes(m_db);
    countRows(m_rowcount);
}

void SessionImpl::runTruncate(const TruncateStmt& s) {
    TablePtr t = requireTable(s.table);
    requireAlter(t->name);
    Query ref(cached("SELECT 1 FROM main._t7_fkeys WHERE ref_table_id = ? AND table_id <> ?"));
    ref.bind(1, t->id).bind(2, t->id);
    if (ref.step())
        throw SqlError(4712, "Cannot truncate table '" + t->name +
                                 "' because it is being referenced by a FOREIGN KEY constraint.");
    execSql(m_db, "DELETE FROM " + quoteIdent(t->name));
    Query q(cached("UPDATE main._t7_columns SET ident_current = NULL WHERE table_id = ?"));
    q.bind(1, t->id);
    q.run();
}

void SessionImpl::runSetIdentityInsert(const SetIdentityInsertStmt& s) {
    TablePtr t = requireTable(s.table);
    requireAlter(t->name);
    if (t->identityColumn() < 0)
        throw SqlError(8106, "Table '" + t->name +
                                 "' does not have the identity property. Cannot perform SET operation.");
    if (s.on) {
        if (!m_identityInsertTable.empty() && !equalsIgnoreCase(m_identityInsertTable, t->name))
            throw SqlError(8107, "IDENTITY_INSERT is already ON for table '" + m_dbName + ".dbo." +
                                     m_identityInsertTable + "'. Cannot perform SET operation for table '" +
                                     t->name + "'.");
        m_identityInsertTable = t->name;
    } else if (equalsIgnoreCase(m_identityInsertTable, t->name)) {
        m_identityInsertTable.clear();
    }
}

void SessionImpl::runExecString(const ExecStringStmt& s) {
    Value text = evaluate(*s.text);
    if (!text.isNull()) runText(text.toText());
}

SessionImpl::NestLevel::NestLevel(SessionImpl& s) : m_s(s) {
    if (m_s.m_nestLevel == 32)
        throw SqlError(
            217, "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32).");
    ++m_s.m_nestLevel;
}

void SessionImpl::runText(const std::string& sql) {
    // Dynamic SQL is a batch of its own, with its own variables.
    NestLevel nest(*this);
    std::vector<StmtPtr> stmts = parseBatch(sql);
    auto saved = std::move(m_vars);
    m_vars.clear();
    // Dynamic SQL runs with the caller's own rights, even in a procedure.
    int moduleDepth = m_moduleDepth;
    m_moduleDepth = 0;
    try {
        for (const StmtPtr& st : stmts)
            if (run(*st) == Flow::Return) break;
    } catch (...) {
        m_vars = std::move(saved);
        m_moduleDepth = moduleDepth;
        throw;
    }
    m_vars = std::move(saved);
    m_moduleDepth = moduleDepth;
}

void SessionImpl::runExec(const ExecStmt& s) {
    std::string name = toLowerAscii(s.proc.last());
    if (name == "sp_addrolemember") return roleMember(s, true);
    if (name == "sp_droprolemember") return roleMember(s, false);
    if (name == "sp_addsrvrolemember") return serverRoleMember(s, true);
    if (name == "sp_dropsrvrolemember") return serverRoleMember(s, false);
    if (name == "sp_addlogin") return runAddLogin(s);
    if (name == "sp_executesql") {
        // Only the statement itself; parameterised calls are not supported.
        if (s.args.size() != 1 || (!s.args[0].param.empty() && s.args[0].param != "@statement"))
            throw SqlError(50000, "sp_executesql with parameters is not supported by this server.");
        Value text = evaluate(*s.args[0].value);
        if (!text.isNull()) runText(text.toText());
        return;
    }
    runProcedure(s.proc.last(), s);
}

void SessionImpl::runProcedure(const std::string& name, const ExecStmt& s) {
    NestLevel nest(*this);
    std::string definition;
    {
        // Done with before the body runs: the body may call this procedure.
        Query q(cached("SELECT definition FROM main._t7_objects WHERE name = ? AND xtype = 'P'"));
        q.bind(1, name);
        if (!q.step()) throw SqlError(2812, "Could not find stored procedure '" + name + "'.");
        definition = q.text(0);
    }
    std::vector<StmtPtr> parsed = parseBatch(definition);
    if (parsed.empty() || parsed[0]->kind != StmtKind::CreateModule)
        throw SqlError(2812, "Could not find stored procedure '" + name + "'.");
    const auto& proc = static_cast<const CreateModuleStmt&>(*parsed[0]);
    requireExecute(name);
    // Arguments are evaluated in the caller's scope.
    std::unordered_map<std::string, Variable> locals;
    std::vector<bool> given(proc.params.size(), false);
    for (size_t i = 0; i < s.args.size(); ++i) {
        const ExecArg& a = s.args[i];
        size_t p = i;
        if (!a.param.empty()) {
            p = proc.params.size();
            for (size_t k = 0; k < proc.params.size(); ++k)
                if (proc.params[k].name == a.param) p = k;
            if (p == proc.params.size())
                throw SqlError(8145, a.param + " is not a parameter for procedure " + name + ".");
        } else if (p >= proc.params.size()) {
            throw SqlError(8144, "Procedure or function " + name + " has too many arguments specified.");
        }
        if (a.value->kind == ExprKind::Default) continue;
        TypeSpec type = normalizeType(proc.params[p].type, false);
        locals[proc.params[p].name] =
            Variable{type, convertValue(evaluate(*a.value), type, ConvertMode::Cast)};
        given[p] = true;
    }
    auto saved = std::move(m_vars);
    m_vars.clear();
    try {
        for (size_t p = 0; p < proc.params.size(); ++p) {
            TypeSpec type = normalizeType(proc.params[p].type, false);
            if (given[p]) {
                m_vars[proc.params[p].name] = locals[proc.params[p].name];
            } else if (proc.params[p].defaultValue) {
                m_vars[proc.params[p].name] = Variable{type, Value::null()};
                assign(proc.params[p].name, evaluate(*proc.params[p].defaultValue));
            } else {
                throw SqlError(201, "Procedure or function '" + name + "' expects parameter '" +
                                        proc.params[p].name + "', which was not supplied.");
            }
        }
        std::vector<StmtPtr> body = parseBatch(proc.bodyText);
        ++m_moduleDepth;
        try {
            for (const StmtPtr& st : body)
                if (run(*st) == Flow::Return) break;
        } catch (...) {
            --m_moduleDepth;
            throw;
        }
        --m_moduleDepth;
    } catch (...) {
        m_vars = std::move(saved);
        throw;
    }
    auto procVars = std::move(m_vars);
    m_vars = std::move(saved);
    for (size_t i = 0; i < s.args.size(); ++i) {
        const ExecArg& a = s.args[i];
        if (!a.output || a.value->kind != ExprKind::Variable) continue;
        std::string pname = a.param.empty() && i < proc.params.size() ? proc.params[i].name : a.param;
        auto it = procVars.find(pname);
        if (it != procVars.end()) assign(a.value->text, it->second.value);
    }
    if (!s.returnVariable.empty()) assign(s.returnVariable, Value::integer(0));
}

}  // namespace sqlengine
