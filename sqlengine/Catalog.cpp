// The T-SQL catalog: the hidden _t7_* tables of each database, the views
// over them, and the session's cache of table descriptions.
#include <algorithm>
#include <optional>

#include "sqlengine/Functions.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"
#include "sqlengine/Parser.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

std::string joinColumns(const std::vector<IndexColumn>& cols) {
    std::string s;
    for (size_t i = 0; i < cols.size(); ++i) {
        if (i) s += ",";
        s += cols[i].name + (cols[i].descending ? " DESC" : "");
    }
    return s;
}

std::vector<IndexColumn> splitColumns(const std::string& s) {
    std::vector<IndexColumn> out;
    size_t pos = 0;
    while (pos <= s.size() && !s.empty()) {
        size_t comma = s.find(',', pos);
        std::string part = s.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        IndexColumn c;
        if (part.size() > 5 && part.substr(part.size() - 5) == " DESC") {
            c.descending = true;
            part.resize(part.size() - 5);
        }
        c.name = part;
        out.push_back(c);
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    return out;
}

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

// The compatibility views (sysobjects, ...) and the sys schema.
std::string systemViewsSql(const std::string& m) {
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
           m + "._t7_databases;";
}

// INFORMATION_SCHEMA.
std::string informationSchemaViewsSql() {
    return "CREATE TEMP VIEW _t7v_is_tables AS SELECT NULL AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, name AS "
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

std::string catalogViewsSql(const std::string& m) {
    return systemViewsSql(m) + informationSchemaViewsSql();
}

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

TablePtr CatalogCache::find(const std::string& name) const {
    auto it = m_tables.find(toUpperAscii(name));
    return it == m_tables.end() ? nullptr : it->second;
}

void CatalogCache::recheckTriggers() {
    for (auto& [key, table] : m_tables) table->triggersReady = 0;
}

bool CatalogCache::fileChanged(long long dataVersion) {
    if (m_version >= 0 && dataVersion == m_dataVersion && m_dataVersion >= 0) return false;
    m_dataVersion = dataVersion;
    return true;
}

void CatalogCache::storedVersion(long long version) {
    if (version == m_version) return;
    m_tables.clear();
    m_version = version;
}

void CatalogCache::invalidate() {
    m_tables.clear();
    m_version = -1;
}

void CatalogCache::reset() {
    invalidate();
    m_dataVersion = -1;
}

void CatalogCache::changed(const TableInfo* changed) {
    m_versionPending = true;
    // The batch holds the write lock, so the new version is ours.
    if (!changed || m_version < 0) {
        m_tables.clear();
        if (m_version >= 0) ++m_version;
        return;
    }
    ++m_version;
    // Its triggers are looked at again before the next write: the change
    // may have dropped or added some.
    TablePtr& cachedTable = entry(changed->name);
    if (cachedTable.get() != changed) cachedTable = std::make_shared<TableInfo>(*changed);
    cachedTable->triggersReady = 0;
}

void CatalogCache::moduleChanged(const std::string& name) {
    m_versionPending = true;
    forget(name);
    if (m_version >= 0) ++m_version;
}

std::optional<long long> CatalogCache::versionToStore() const {
    if (!m_versionPending) return std::nullopt;
    return m_version;
}

void SessionImpl::refreshCatalog() {
    // Within the batch's transaction: data_version changes only when
    // another connection has committed to this file since our last look,
    // so an unchanged value means the catalog is as this session left it.
    Query d(cached("PRAGMA main.data_version"));
    if (!m_catalog.fileChanged(d.step() ? d.integer(0) : -1)) return;
    Query q(cached("SELECT value FROM main._t7_meta WHERE key = 'version'"));
    m_catalog.storedVersion(q.step() ? q.integer(0) : 0);
}

void SessionImpl::catalogChanged() {
    // Something was rolled back: the version counted in memory may no
    // longer match the file, so the next batch reads it again.
    m_catalog.invalidate();
}

void SessionImpl::bumpVersion(const TableInfo* changed) {
    m_catalog.changed(changed);
}

void SessionImpl::bumpVersion(TableInfo&& changed) {
    auto t = std::make_shared<TableInfo>(std::move(changed));
    m_catalog.put(t->name, t);
    bumpVersion(t.get());
}

void SessionImpl::moduleChanged(const std::string& name) {
    m_catalog.moduleChanged(name);
}

std::string SessionImpl::objectName(const QualifiedName& name) {
    const auto& p = name.parts;
    if (p.size() >= 3 && !p[p.size() - 3].empty() && !equalsIgnoreCase(p[p.size() - 3], m_dbName))
        throw sqlError<Msg::TooManyPrefixes>(p.back());
    if (p.size() >= 2 && !p[p.size() - 2].empty() && !equalsIgnoreCase(p[p.size() - 2], "dbo"))
        throw sqlError<Msg::SchemaNotFound>(p[p.size() - 2]);
    const std::string& n = p.back();
    if (n.empty() || n[0] == '#') throw sqlError<Msg::TemporaryTables>();
    // The engine's own tables are out of reach, under any statement.
    if (isInternalName(n)) throw sqlError<Msg::InvalidObjectName>(n);
    return n;
}

long long SessionImpl::findObject(const std::string& name, std::string* xtype) {
    Query q(cached("SELECT id, xtype FROM main._t7_objects WHERE name = ? ORDER BY parent_obj LIMIT 1"));
    q.bind(1, name);
    if (!q.step()) return 0;
    if (xtype) *xtype = q.text(1);
    return q.integer(0);
}

long long SessionImpl::addObject(const std::string& name, const std::string& xtype, long long parent,
                                 const std::string& definition) {
    // Two cached statements: an INSERT that selects from its own table
    // would make SQLite build a temporary table for every row.
    {
        Query taken(cached("SELECT 1 FROM main._t7_objects WHERE name = ?"));
        taken.bind(1, name);
        if (taken.step()) throw sqlError<Msg::ObjectExists>(name);
    }
    Query q(cached(
        "INSERT INTO main._t7_objects(name, xtype, parent_obj, definition, crdate) VALUES (?, ?, ?, ?, ?)"));
    q.bind(1, name).bind(2, xtype).bind(3, parent);
    if (definition.empty())
        q.bindNull(4);
    else
        q.bind(4, definition);
    q.bind(5, currentDateTime());
    q.run();
    return sqlite3_last_insert_rowid(m_db);
}

TablePtr SessionImpl::findTable(const std::string& name) {
    if (TablePtr cachedTable = m_catalog.find(name)) return cachedTable;
    Query q(cached("SELECT id, name, xtype FROM main._t7_objects WHERE name = ? AND xtype IN ('U','V')"));
    q.bind(1, name);
    if (!q.step()) return nullptr;
    auto t = std::make_shared<TableInfo>();
    t->id = q.integer(0);
    t->name = q.text(1);
    t->isView = q.text(2) == "V";
    Query c(
        cached("SELECT colid, name, type, length, prec, scale, not_null, is_identity, seed, step, collation, "
               "default_id, default_text FROM main._t7_columns WHERE table_id = ? ORDER BY colid"));
    c.bind(1, t->id);
    while (c.step()) {
        ColumnInfo col;
        col.colid = static_cast<int>(c.integer(0));
        col.name = c.text(1);
        col.type.name = c.text(2);
        col.type.length = static_cast<int>(c.integer(3));
        col.type.precision = static_cast<int>(c.integer(4));
        col.type.scale = static_cast<int>(c.integer(5));
        col.notNull = c.integer(6) != 0;
        col.identity = c.integer(7) != 0;
        col.seed = c.integer(8);
        col.step = c.integer(9);
        col.collation = c.text(10);
        col.defaultId = c.integer(11);
        col.defaultText = c.text(12);
        t->columns.push_back(std::move(col));
    }
    Query x(
        cached("SELECT index_id, name, kind, is_unique, clustered, columns, constraint_id, sqlite_name FROM "
               "main._t7_indexes WHERE table_id = ? ORDER BY index_id"));
    x.bind(1, t->id);
    while (x.step()) {
        IndexInfo ix;
        ix.indexId = static_cast<int>(x.integer(0));
        ix.name = x.text(1);
        ix.kind = x.text(2);
        ix.unique = x.integer(3) != 0;
        ix.clustered = x.integer(4) != 0;
        ix.columns = splitColumns(x.text(5));
        ix.constraintId = x.integer(6);
        ix.sqliteName = x.text(7);
        t->indexes.push_back(std::move(ix));
    }
    Query f(
        cached("SELECT constraint_id, table_id, ref_table_id, on_delete, on_update FROM main._t7_fkeys WHERE "
               "table_id = ?1 OR ref_table_id = ?1"));
    f.bind(1, t->id);
    while (f.step()) {
        ForeignKeyRef k;
        k.id = f.integer(0);
        k.child = f.integer(1);
        k.parent = f.integer(2);
        k.onDelete = f.text(3);
        k.onUpdate = f.text(4);
        t->foreignKeys.push_back(std::move(k));
    }
    m_catalog.put(name, t);
    return t;
}

TablePtr SessionImpl::requireTable(const QualifiedName& name) {
    std::string n = objectName(name);
    TablePtr t = findTable(n);
    if (!t) throw sqlError<Msg::InvalidObjectName>(n);
    return t;
}

}  // namespace sqlengine
