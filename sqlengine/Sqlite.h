#pragma once
// Small RAII helpers over the SQLite C API. Failures raise SqliteError with
// SQLite's code and message; the session maps them to SQL Server errors.
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "sqlengine/Values.h"

namespace sqlengine {

class SqliteError : public std::runtime_error {
public:
    SqliteError(int code, const std::string& message) : std::runtime_error(message), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};

[[noreturn]] void throwSqlite(sqlite3* db, int rc);

// File names as SQLite, the catalog and messages hold them: UTF-8 on every
// system (a path's string() is the ANSI code page on Windows, which loses
// the Chinese in a folder's name).
inline std::string utf8Name(const std::filesystem::path& file) {
    const std::u8string text = file.u8string();
    return std::string(text.begin(), text.end());
}
inline std::filesystem::path pathOfUtf8(const std::string& name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

// An open connection, closed when its owner goes. It converts to the raw
// handle, which stays owned here.
class DbHandle {
public:
    DbHandle() = default;
    explicit DbHandle(sqlite3* db) : m_db(db) {}
    operator sqlite3*() const { return m_db.get(); }
    sqlite3* get() const { return m_db.get(); }
    void reset(sqlite3* db = nullptr) { m_db.reset(db); }

private:
    struct Close {
        void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
    };
    std::unique_ptr<sqlite3, Close> m_db;
};

// A prepared statement kept for reuse, finalized when its owner goes.
struct StatementFinalizer {
    void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};
using StmtHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Runs statements without results.
void execSql(sqlite3* db, const std::string& sql);

// A prepared statement, finalized on destruction unless borrowed from a cache.
class Query {
public:
    Query(sqlite3* db, const std::string& sql);
    explicit Query(sqlite3_stmt* cached) : Query(cached, false) {}  // reset, not finalized
    Query(sqlite3_stmt* stmt, bool owned);
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;
    ~Query();

    Query& bind(int index, const Value& v);
    Query& bind(int index, const std::string& s);
    // The caller keeps the text unchanged until the statement has run.
    Query& bindStatic(int index, const std::string& s);
    Query& bind(int index, long long v);
    Query& bindNull(int index);
    // True while a row is available.
    bool step();
    void run() {
        while (step()) {
        }
    }
    int columns() const { return sqlite3_column_count(m_stmt); }
    bool isNull(int i) const { return sqlite3_column_type(m_stmt, i) == SQLITE_NULL; }
    long long integer(int i) const { return sqlite3_column_int64(m_stmt, i); }
    std::string text(int i) const;
    Value value(int i) const;
    sqlite3_stmt* handle() const { return m_stmt; }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_owned = true;
};

Value valueOf(sqlite3_value* v);
void resultValue(sqlite3_context* ctx, const Value& v);

std::string quoteIdent(const std::string& name);
std::string quoteString(const std::string& text);

}  // namespace sqlengine
