// CREATE DATABASE and DROP DATABASE: the master catalog and the files
// change together.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "sqlengine/Functions.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"
#include "sqlengine/Parser.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

namespace {

std::string databaseStatementName(const Stmt& s) {
    return s.kind == StmtKind::CreateDatabase ? "CREATE DATABASE" : "DROP DATABASE";
}

SqlError cannotDropDatabase(const std::string& name) {
    return sqlError<Msg::CannotDropMissing>("drop", "database", name);
}

SqlError fileExists(const std::string& shown) {
    return sqlError<Msg::FileExists>(shown);
}

// Whether a connection other than ours has the database open: each keeps
// a lock on the file for as long as it is open, and leaving WAL needs them
// all gone.
bool inUseElsewhere(const std::filesystem::path& file) {
    try {
        DbHandle db = openConnection(file, false);
        sqlite3_busy_timeout(db, 0);
        execSql(db, "PRAGMA journal_mode=DELETE");
        return false;
    } catch (const SqliteError& e) {
        int primary = e.code() & 0xFF;
        return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
    }
}

}  // namespace

void SessionImpl::runServerStatement(const Stmt& s) {
    if (m_tranCount > 0) throw sqlError<Msg::NotInMultiStatementTransaction>(databaseStatementName(s));
    if (s.kind == StmtKind::CreateDatabase)
        requireServerRole(kDbcreator, statementPermissionDenied("CREATE DATABASE", "master"));
    // What the batch or script did so far stays done, as with USE.
    commit();
    // Files made by CREATE and files set aside by DROP, to undo or finish.
    std::vector<std::filesystem::path> created;
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> setAside;
    try {
        // The first statement writes: the wait for master's lock is a
        // wait, not a failure on a stale snapshot.
        execSql(m_db, "BEGIN; UPDATE " + m_mst + "._t7_server SET value = value WHERE key IS NULL");
        m_inTransaction = true;
        if (s.kind == StmtKind::CreateDatabase)
            runCreateDatabase(static_cast<const CreateDatabaseStmt&>(s), created);
        else
            runDropDatabase(static_cast<const NameStmt&>(s), setAside);
        m_inTransaction = false;
        execSql(m_db, "COMMIT");
    } catch (...) {
        if (m_db) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_inTransaction = false;
        std::error_code ec;
        for (const auto& file : created) std::filesystem::remove(file, ec);
        for (const auto& [file, aside] : setAside) std::filesystem::rename(aside, file, ec);
        begin();
        try {
            throw;
        } catch (const SqliteError& e) {
            throw mapError(e);
        }
    }
    std::error_code ec;
    for (const auto& aside : setAside) std::filesystem::remove(aside.second, ec);
    begin();
}

void SessionImpl::runCreateDatabase(const CreateDatabaseStmt& s,
                                    std::vector<std::filesystem::path>& created) {
    if (databaseExists(s.name)) throw sqlError<Msg::DatabaseExists>(s.name);
    bool named = s.data && !s.data->fileName.empty();
    std::filesystem::path data = named ? m_core->clientFile(s.data->fileName) : m_core->defaultFile(s.name);
    std::string shown = named ? s.data->fileName : utf8Name(data);
    std::filesystem::path log;
    std::string shownLog;
    if (s.log && !s.log->fileName.empty()) {
        log = m_core->clientFile(s.log->fileName);
        shownLog = s.log->fileName;
    } else {
        log = data.parent_path() / pathOfUtf8(utf8Name(data.stem()) + "_log.ldf");
        shownLog = utf8Name(log);
    }
    if (std::filesystem::exists(data)) throw fileExists(shown);
    if (std::filesystem::exists(log)) throw fileExists(shownLog);
    std::error_code ec;
    if (!std::filesystem::is_directory(data.parent_path(), ec))
        throw createFileError("3(The system cannot find the path specified.)", shown);
    try {
        created.push_back(data);
        created.push_back(pathOfUtf8(utf8Name(data) + "-wal"));
        created.push_back(pathOfUtf8(utf8Name(data) + "-shm"));
        DbHandle db = openConnection(data, true);
        execSql(db, "BEGIN");
        createDatabaseCatalog(db);
        // The login that creates a database owns it, as its dbo.
        if (!m_sysadmin) {
            Query owner(db, "UPDATE _t7_users SET login = ? WHERE uid = 1");
            owner.bind(1, m_login);
            owner.run();
        }
        execSql(db, "COMMIT");
    } catch (const SqliteError& e) {
        throw sqlError<Msg::CreateFileError>(shown);
    }
    created.push_back(log);
    createPrivateFile(log);
    std::ofstream(log, std::ios::binary) << std::string(512, '\0');
    Query q(m_db,
            "INSERT INTO " + m_mst + "._t7_databases(name, filename, logname, crdate) VALUES (?, ?, ?, ?)");
    q.bind(1, s.name)
        .bind(2, utf8Name(std::filesystem::absolute(data)))
        .bind(3, utf8Name(std::filesystem::absolute(log)));
    q.bind(4, currentDateTime());
    q.run();
}

void SessionImpl::runDropDatabase(
    const NameStmt& s, std::vector<std::pair<std::filesystem::path, std::filesystem::path>>& setAside) {
    for (const std::string& name : s.names) {
        std::string stored, path;
        if (!databaseExists(name, &stored, &path)) throw cannotDropDatabase(name);
        if (!m_sysadmin && !(m_serverRoles & kDbcreator) && !databaseOwnedBy(pathOfUtf8(path), m_login))
            throw cannotDropDatabase(name);
        if (equalsIgnoreCase(stored, "master") || equalsIgnoreCase(stored, m_dbName) || inUseElsewhere(pathOfUtf8(path)))
            throw sqlError<Msg::DatabaseInUse>(stored);
        Query log(m_db, "SELECT logname FROM " + m_mst + "._t7_databases WHERE name = ?");
        log.bind(1, stored);
        std::string logPath = log.step() ? log.text(0) : std::string();
        Query q(m_db, "DELETE FROM " + m_mst + "._t7_databases WHERE name = ?");
        q.bind(1, stored);
        q.run();
        // Set aside, not removed: should the catalog change not commit,
        // the files come back.
        std::error_code ec;
        for (const std::string& p : {path, path + "-wal", path + "-shm", logPath}) {
            if (p.empty() || !std::filesystem::exists(pathOfUtf8(p), ec)) continue;
            std::filesystem::path aside = pathOfUtf8(p + ".dropped");
            std::filesystem::rename(pathOfUtf8(p), aside, ec);
            if (ec) throw sqlError<Msg::DatabaseInUse>(stored);
            setAside.emplace_back(pathOfUtf8(p), aside);
        }
    }
}

}  // namespace sqlengine
