#include "sqlengine/Sqlite.h"

namespace sqlengine {

void throwSqlite(sqlite3* db, int rc) {
    std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    throw SqliteError(db ? sqlite3_extended_errcode(db) : rc, msg);
}

void execSql(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        throw SqliteError(sqlite3_extended_errcode(db), msg);
    }
}

Query::Query(sqlite3* db, const std::string& sql) : m_db(db) {
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK) throwSqlite(db, rc);
}

Query::Query(sqlite3_stmt* stmt, bool owned) : m_db(sqlite3_db_handle(stmt)), m_stmt(stmt), m_owned(owned) {}

Query::~Query() {
    if (m_owned) {
        sqlite3_finalize(m_stmt);
    } else {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

Query& Query::bind(int index, const Value& v) {
    switch (v.kind) {
        case Value::Kind::Null:
            sqlite3_bind_null(m_stmt, index);
            break;
        case Value::Kind::Int:
            sqlite3_bind_int64(m_stmt, index, v.i);
            break;
        case Value::Kind::Real:
            sqlite3_bind_double(m_stmt, index, v.r);
            break;
        case Value::Kind::Text:
            sqlite3_bind_text(m_stmt, index, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
            break;
        case Value::Kind::Blob:
            sqlite3_bind_blob(m_stmt, index, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
            break;
    }
    return *this;
}

Query& Query::bind(int index, const std::string& s) {
    sqlite3_bind_text(m_stmt, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    return *this;
}

Query& Query::bindStatic(int index, const std::string& s) {
    sqlite3_bind_text(m_stmt, index, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
    return *this;
}

Query& Query::bind(int index, long long v) {
    sqlite3_bind_int64(m_stmt, index, v);
    return *this;
}

Query& Query::bindNull(int index) {
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

bool Query::step() {
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    std::string msg = sqlite3_errmsg(m_db);
    int code = sqlite3_extended_errcode(m_db);
    sqlite3_reset(m_stmt);
    throw SqliteError(code, msg);
}

std::string Query::text(int i) const {
    const unsigned char* t = sqlite3_column_text(m_stmt, i);
    return t ? std::string(reinterpret_cast<const char*>(t),
                           static_cast<size_t>(sqlite3_column_bytes(m_stmt, i)))
             : std::string();
}

Value Query::value(int i) const {
    return valueOf(sqlite3_column_value(m_stmt, i));
}

Value valueOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            return Value::integer(sqlite3_value_int64(v));
        case SQLITE_FLOAT:
            return Value::real(sqlite3_value_double(v));
        case SQLITE_TEXT: {
            const unsigned char* t = sqlite3_value_text(v);
            return Value::text(
                std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_value_bytes(v))));
        }
        case SQLITE_BLOB: {
            Value b;
            b.kind = Value::Kind::Blob;
            const void* p = sqlite3_value_blob(v);
            b.s.assign(static_cast<const char*>(p), static_cast<size_t>(sqlite3_value_bytes(v)));
            return b;
        }
        default:
            return Value::null();
    }
}

void resultValue(sqlite3_context* ctx, const Value& v) {
    switch (v.kind) {
        case Value::Kind::Null:
            sqlite3_result_null(ctx);
            break;
        case Value::Kind::Int:
            sqlite3_result_int64(ctx, v.i);
            break;
        case Value::Kind::Real:
            sqlite3_result_double(ctx, v.r);
            break;
        case Value::Kind::Text:
            sqlite3_result_text(ctx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
            break;
        case Value::Kind::Blob:
            sqlite3_result_blob(ctx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
            break;
    }
}

std::string quoteIdent(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string quoteString(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

}  // namespace sqlengine
