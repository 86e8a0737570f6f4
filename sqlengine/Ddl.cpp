// Schema statements: tables, columns, constraints, indexes, views,
// procedures and triggers, recorded in the hidden _t7_* catalog tables.
#include <cstdio>
#include <fstream>
#include <set>

#include "sqlengine/Functions.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"
#include "sqlengine/Parser.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

namespace {

// The part of a constraint conflict's message that names the column.
std::string columnSuffix(const std::string& column) {
    return column.empty() ? std::string() : ", column '" + column + "'";
}

std::string hex8(long long v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08llX",
                  static_cast<unsigned long long>(v * 2654435761LL) & 0xFFFFFFFFULL);
    return buf;
}

bool caseSensitive(const std::string& collation) {
    return toUpperAscii(collation).find("_CS") != std::string::npos ||
           toUpperAscii(collation).find("_BIN") != std::string::npos;
}

}  // namespace

std::string SessionImpl::columnDecl(const ColumnInfo& c) {
    std::string d = quoteIdent(c.name) + " " + sqliteAffinity(c.type);
    TypeClass k = typeClass(c.type.name);
    if (k == TypeClass::Char || k == TypeClass::Guid)
        d += caseSensitive(c.collation) ? " COLLATE BINARY" : " COLLATE NOCASE";
    return d;
}

std::string SessionImpl::constraintName(const std::string& prefix, const TableInfo& t,
                                        const std::string& column) {
    Query q(cached("SELECT coalesce(max(id), 0) + 1 FROM main._t7_objects"));
    long long next = q.step() ? q.integer(0) : 1;
    std::string n = prefix + "__" + t.name.substr(0, 8) + "__";
    if (!column.empty()) n += column.substr(0, 5) + "__";
    return n + hex8(next + t.id);
}

void SessionImpl::recordColumns(const TableInfo& t, size_t first) {
    // One statement for all of them: a statement per column costs more than
    // the rows themselves.
    constexpr size_t kRowsPerStatement = 64;
    for (size_t at = first; at < t.columns.size(); at += kRowsPerStatement) {
        size_t n = std::min(kRowsPerStatement, t.columns.size() - at);
        std::string sql =
            "INSERT INTO main._t7_columns(table_id, colid, name, type, length, prec, scale, max_length, "
            "not_null, is_identity, seed, step, collation) VALUES ";
        for (size_t i = 0; i < n; ++i)
            sql +=
                i ? ", (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)" : "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
        Query q = prepare(sql);
        for (size_t i = 0; i < n; ++i) {
            const ColumnInfo& c = t.columns[at + i];
            int b = static_cast<int>(i * 13);
            q.bind(b + 1, t.id).bind(b + 2, static_cast<long long>(c.colid)).bindStatic(b + 3, c.name);
            q.bindStatic(b + 4, c.type.name).bind(b + 5, static_cast<long long>(c.type.length));
            q.bind(b + 6, static_cast<long long>(c.type.precision))
                .bind(b + 7, static_cast<long long>(c.type.scale));
            q.bind(b + 8, static_cast<long long>(maxLength(c.type)))
                .bind(b + 9, static_cast<long long>(c.notNull));
            q.bind(b + 10, static_cast<long long>(c.identity)).bind(b + 11, c.seed).bind(b + 12, c.step);
            q.bindStatic(b + 13, c.collation);
        }
        q.run();
    }
}

void SessionImpl::numberRows(const TableInfo& t, const ColumnInfo& c) {
    Query rows(m_db, "SELECT rowid FROM " + quoteIdent(t.name) + " ORDER BY rowid");
    long long v = c.seed, last = 0;
    bool any = false;
    std::vector<long long> ids;
    while (rows.step()) ids.push_back(rows.integer(0));
    for (long long id : ids) {
        Query up(m_db,
                 "UPDATE " + quoteIdent(t.name) + " SET " + quoteIdent(c.name) + " = ? WHERE rowid = ?");
        up.bind(1, v).bind(2, id);
        up.run();
        last = v;
        v += c.step;
        any = true;
    }
    if (any) {
        Query up(cached("UPDATE main._t7_columns SET ident_current = ? WHERE table_id = ? AND colid = ?"));
        up.bind(1, last).bind(2, t.id).bind(3, static_cast<long long>(c.colid));
        up.run();
    }
}

void SessionImpl::fillDefault(TableInfo& t, const ColumnInfo& c) {
    ExprPtr d = parseExpression(c.defaultText);
    Translator tr(*this);
    int rule = addWriteRule(c, t, true);
    std::string sql = "UPDATE " + quoteIdent(t.name) + " SET " + quoteIdent(c.name) + " = _t7_w(" +
                      std::to_string(rule) + ", " + tr.expr(*d) + ")";
    Query up(m_db, sql);
    tr.bindAll(up);
    up.run();
}

void SessionImpl::addColumn(TableInfo& t, const ColumnDef& def, bool newTable) {
    if (t.findColumn(def.name) >= 0) throw sqlError<Msg::DuplicateColumnName>(def.name, t.name);
    if (!isKnownType(def.type.name))
        throw sqlError<Msg::UnknownDataType>(t.columns.size() + 1, def.type.name);
    ColumnInfo c;
    c.name = def.name;
    c.type = normalizeType(def.type, false);
    c.identity = def.identity;
    c.seed = def.seed;
    c.step = def.step;
    c.collation = def.collation;
    bool pk = false;
    for (const ConstraintDef& k : def.constraints) pk = pk || k.kind == ConstraintKind::PrimaryKey;
    if (def.identity) {
        TypeClass k = typeClass(c.type.name);
        if (!(k == TypeClass::Integer || (k == TypeClass::Decimal && c.type.scale == 0)) ||
            def.nullable.value_or(false))
            throw sqlError<Msg::InvalidIdentityType>(c.name);
        if (t.identityColumn() >= 0) throw sqlError<Msg::TooManyIdentityColumns>(t.name);
    }
    c.notNull = def.nullable ? !*def.nullable : (def.identity || pk);
    c.colid = t.columns.empty() ? 1 : t.columns.back().colid + 1;
    // A table whose creation is still held back has no rows yet.
    bool fresh = !newTable && isNewTable(t.id);
    if (!newTable) {
        bool hasDefault = false;
        for (const ConstraintDef& k : def.constraints)
            hasDefault = hasDefault || k.kind == ConstraintKind::Default;
        if (c.notNull && !hasDefault && !c.identity && !fresh) {
            flushSchema();
            Query any(m_db, "SELECT 1 FROM " + quoteIdent(t.name) + " LIMIT 1");
            if (any.step()) throw sqlError<Msg::ColumnNeedsNullOrDefault>(c.name, t.name);
        }
        std::string add = "ALTER TABLE " + quoteIdent(t.name) + " ADD COLUMN " + columnDecl(c);
        if (fresh)
            deferSchema(add);
        else
            physical(add);
    }
    t.columns.push_back(c);
    // A new table's columns are recorded together (see runCreateTable).
    if (!newTable) recordColumns(t, t.columns.size() - 1);
    // Existing rows are numbered in their stored order.
    if (!newTable && c.identity && !fresh) numberRows(t, c);
    for (ConstraintDef k : def.constraints) {
        if (k.kind == ConstraintKind::Default && !newTable) {
            // A new NOT NULL column takes its default in the existing rows.
            addConstraint(t, std::move(k), newTable);
            if (c.notNull && !fresh) fillDefault(t, t.columns.back());
            continue;
        }
        addConstraint(t, std::move(k), newTable);
    }
}

void SessionImpl::createCheckTriggers(long long cid, const TableInfo& t, const std::string& exprText,
                                      const std::string& name, const std::string& column) {
    ExprPtr e = parseExpression(exprText);
    Translator tr(*this);
    tr.inlineOnly = true;
    tr.columnPrefix = "NEW.";
    tr.pushTable(t.name, m_catalog.entry(t.name));
    std::string cond = tr.expr(*e);
    for (const char* op : {"INSERT", "UPDATE"}) {
        std::string msg = encodeError(sqlError<Msg::ConstraintConflict>(
            op, "CHECK", name, m_dbName, "dbo." + t.name, columnSuffix(column)));
        deferSchema("CREATE TRIGGER " + quoteIdent("_t7t_" + std::to_string(cid) + "_" + op) + " BEFORE " +
                    op + " ON " + quoteIdent(t.name) + " WHEN NOT (" + cond + ") BEGIN SELECT RAISE(ABORT, " +
                    quoteString(msg) + "); END");
    }
}

void SessionImpl::ensureForeignKeyTriggers(TableInfo& t, unsigned writes) {
    unsigned missing = writes & ~t.triggersReady;
    if (!missing) return;
    t.triggersReady |= missing;
    if (t.foreignKeys.empty()) return;
    std::vector<std::string> existing;
    {
        Query q(cached("SELECT name FROM main.sqlite_master WHERE type = 'trigger' AND tbl_name = ?"));
        q.bind(1, t.name);
        while (q.step()) existing.push_back(q.text(0));
    }
    std::vector<std::string> follow;
    for (const ForeignKeyRef& k : t.foreignKeys) {
        createForeignKeyTriggers(k.id, t.id, missing, existing);
        // A cascading key writes to the child table in turn, whose own keys
        // then need their triggers too.
        bool cascades = k.parent == t.id && k.child != t.id &&
                        (((missing & kDeleteRows) && k.onDelete != "NO ACTION" && !k.onDelete.empty()) ||
                         ((missing & kUpdateRows) && k.onUpdate != "NO ACTION" && !k.onUpdate.empty()));
        if (cascades) {
            Query n(cached("SELECT name FROM main._t7_objects WHERE id = ?"));
            n.bind(1, k.child);
            if (n.step()) follow.push_back(n.text(0));
        }
    }
    for (const std::string& child : follow)
        if (TablePtr c = findTable(child)) ensureForeignKeyTriggers(*c, kUpdateRows | kDeleteRows);
}

namespace {

// The SQLite triggers that carry out a foreign key: on the child table they
// refuse rows without a parent, on the parent table they cascade, set NULL
// or refuse the change of a referenced row.
struct ForeignKeyTriggers {
    std::string id, name, child, parent, database;
    std::vector<IndexColumn> cols, refs;

    // The child row's columns against the parent's (the trigger's table).
    std::string parentMatch(const std::string& childRow) const {
        std::string s;
        for (size_t i = 0; i < cols.size(); ++i)
            s += (i ? " AND " : "") + quoteIdent(refs[i].name) + " = " + childRow + quoteIdent(cols[i].name);
        return s;
    }
    std::string childMatch(const std::string& parentRow) const {
        std::string s;
        for (size_t i = 0; i < cols.size(); ++i)
            s += (i ? " AND " : "") + quoteIdent(cols[i].name) + " = " + parentRow + quoteIdent(refs[i].name);
        return s;
    }
    std::string childTrigger(const std::string& op) const {
        std::string notNull;
        for (size_t i = 0; i < cols.size(); ++i)
            notNull += (i ? " AND NEW." : "NEW.") + quoteIdent(cols[i].name) + " IS NOT NULL";
        std::string msg = encodeError(sqlError<Msg::ConstraintConflict>(
            op, "FOREIGN KEY", name, database, "dbo." + parent, columnSuffix(refs[0].name)));
        return "CREATE TRIGGER " + quoteIdent("_t7t_" + id + "_c" + op) + " BEFORE " + op + " ON " +
               quoteIdent(child) + " WHEN " + notNull + " AND NOT EXISTS (SELECT 1 FROM " +
               quoteIdent(parent) + " WHERE " + parentMatch("NEW.") + ") BEGIN SELECT RAISE(ABORT, " +
               quoteString(msg) + "); END";
    }
    // The child rows' change for ON DELETE / ON UPDATE CASCADE or SET NULL.
    std::string childUpdate(const std::string& op, bool setNull) const {
        if (op == "DELETE" && !setNull)
            return "DELETE FROM " + quoteIdent(child) + " WHERE " + childMatch("OLD.") + ";";
        std::string body = "UPDATE " + quoteIdent(child) + " SET ";
        for (size_t i = 0; i < cols.size(); ++i)
            body += (i ? ", " : "") + quoteIdent(cols[i].name) + " = " +
                    (setNull ? std::string("NULL") : "NEW." + quoteIdent(refs[i].name));
        return body + " WHERE " + childMatch("OLD.") + ";";
    }
    std::string parentTrigger(const std::string& op, const std::string& action) const {
        std::string changed;
        for (size_t i = 0; i < refs.size(); ++i)
            changed += (i ? " OR OLD." : "OLD.") + quoteIdent(refs[i].name) + " IS NOT NEW." +
                       quoteIdent(refs[i].name);
        std::string trig = quoteIdent("_t7t_" + id + "_p" + op);
        bool update = op == "UPDATE";
        if (action == "CASCADE" || action == "SET NULL")
            return "CREATE TRIGGER " + trig + " AFTER " + op + " ON " + quoteIdent(parent) +
                   (update ? " WHEN " + changed : "") + " BEGIN " + childUpdate(op, action == "SET NULL") +
                   " END";
        std::string msg = encodeError(sqlError<Msg::ConstraintConflict>(
            op, "REFERENCE", name, database, "dbo." + child, columnSuffix(cols[0].name)));
        std::string cond =
            "EXISTS (SELECT 1 FROM " + quoteIdent(child) + " WHERE " + childMatch("OLD.") + ")";
        return "CREATE TRIGGER " + trig + " BEFORE " + op + " ON " + quoteIdent(parent) + " WHEN " +
               (update ? "(" + changed + ") AND " : "") + cond + " BEGIN SELECT RAISE(ABORT, " +
               quoteString(msg) + "); END";
    }
};

}  // namespace

void SessionImpl::createForeignKeyTriggers(long long cid, long long table, unsigned writes,
                                           const std::vector<std::string>& existing) {
    Query q(cached(
        "SELECT f.table_id, f.columns, f.ref_table_id, f.ref_columns, f.on_delete, f.on_update, o.name, "
        "c.name, p.name FROM main._t7_fkeys f JOIN main._t7_objects o ON o.id = f.constraint_id JOIN "
        "main._t7_objects c ON c.id = f.table_id JOIN main._t7_objects p ON p.id = f.ref_table_id WHERE "
        "f.constraint_id = ?"));
    q.bind(1, cid);
    if (!q.step()) return;
    bool asChild = q.integer(0) == table, asParent = q.integer(2) == table;
    auto wanted = [&](const std::string& trig, bool side, unsigned write) {
        return side && (writes & write) &&
               std::find(existing.begin(), existing.end(), trig) == existing.end();
    };
    ForeignKeyTriggers fk{
        std::to_string(cid),    q.text(6), q.text(7), q.text(8), m_dbName, splitColumns(q.text(1)),
        splitColumns(q.text(3))};
    std::string onDelete = q.text(4), onUpdate = q.text(5);
    for (std::string op : {"INSERT", "UPDATE"})
        if (wanted("_t7t_" + fk.id + "_c" + op, asChild, op == "INSERT" ? kInsertRows : kUpdateRows))
            physical(fk.childTrigger(op));
    for (std::string op : {"DELETE", "UPDATE"})
        if (wanted("_t7t_" + fk.id + "_p" + op, asParent, op == "DELETE" ? kDeleteRows : kUpdateRows))
            physical(fk.parentTrigger(op, op == "DELETE" ? onDelete : onUpdate));
}

void SessionImpl::addConstraint(TableInfo& t, ConstraintDef c, bool newTable) {
    switch (c.kind) {
        case ConstraintKind::Default:
            return addDefault(t, c);
        case ConstraintKind::PrimaryKey:
        case ConstraintKind::Unique:
            return addKey(t, c, newTable);
        case ConstraintKind::Check:
            return addCheck(t, c, newTable);
        case ConstraintKind::ForeignKey:
            return addForeignKey(t, c, newTable);
    }
}

void SessionImpl::addDefault(TableInfo& t, ConstraintDef& c) {
    int i = t.findColumn(c.forColumn);
    if (i < 0) throw sqlError<Msg::InvalidDefaultColumn>(c.forColumn, t.name);
    ColumnInfo& col = t.columns[static_cast<size_t>(i)];
    if (!col.defaultText.empty()) throw sqlError<Msg::DefaultAlreadyBound>();
    if (c.name.empty()) c.name = constraintName("DF", t, col.name);
    long long id = addObject(c.name, "D", t.id, "(" + c.exprText + ")");
    Query q(
        cached("UPDATE main._t7_columns SET default_id = ?, default_text = ? WHERE table_id = ? AND "
               "colid = ?"));
    q.bind(1, id).bind(2, c.exprText).bind(3, t.id).bind(4, static_cast<long long>(col.colid));
    q.run();
    col.defaultText = c.exprText;
    col.defaultId = id;
}

void SessionImpl::addKey(TableInfo& t, ConstraintDef& c, bool newTable) {
    bool pk = c.kind == ConstraintKind::PrimaryKey;
    for (const IndexColumn& ic : c.columns) {
        int i = t.findColumn(ic.name);
        if (i < 0) throw sqlError<Msg::IndexColumnNotFound>(ic.name);
        if (pk && !t.columns[static_cast<size_t>(i)].notNull)
            throw sqlError<Msg::NullablePrimaryKeyColumn>(t.name);
    }
    bool clustered = c.clustered.value_or(pk);
    for (const IndexInfo& ix : t.indexes) {
        if (pk && ix.kind == "PK")
            throw newTable ? sqlError<Msg::MultiplePrimaryKeys>(t.name)
                           : sqlError<Msg::PrimaryKeyExists>(t.name);
        if (clustered && ix.clustered) {
            // Only a key that asks for CLUSTERED is refused; by default it
            // gives way to the clustered index already there.
            if (c.clustered) throw sqlError<Msg::SecondClusteredIndex>("dbo." + t.name, ix.name);
            clustered = false;
        }
    }
    if (c.name.empty()) c.name = constraintName(pk ? "PK" : "UQ", t, "");
    IndexInfo ix;
    ix.indexId = clustered ? 1 : 2;
    for (const IndexInfo& o : t.indexes) ix.indexId = std::max(ix.indexId, o.indexId + (clustered ? 0 : 1));
    if (clustered) ix.indexId = 1;
    ix.name = c.name;
    ix.kind = pk ? "PK" : "UQ";
    ix.unique = true;
    ix.clustered = clustered;
    ix.columns = c.columns;
    ix.constraintId = addObject(c.name, ix.kind, t.id, "");
    ix.sqliteName = "_t7i_" + std::to_string(t.id) + "_" + c.name;
    createKeyIndex(t, ix, newTable);
    t.indexes.push_back(ix);
}

void SessionImpl::createKeyIndex(const TableInfo& t, const IndexInfo& ix, bool newTable) {
    std::string cols;
    for (size_t i = 0; i < ix.columns.size(); ++i)
        cols += (i ? ", " : "") + quoteIdent(ix.columns[i].name) + (ix.columns[i].descending ? " DESC" : "");
    std::string create =
        "CREATE UNIQUE INDEX " + quoteIdent(ix.sqliteName) + " ON " + quoteIdent(t.name) + "(" + cols + ")";
    try {
        // Over rows already there the key may be duplicated: that is
        // found out now, not when the change is carried out.
        if (newTable || isNewTable(t.id))
            deferSchema(create);
        else
            physical(create);
    } catch (const SqliteError& e) {
        if (std::string(e.what()).find("UNIQUE") != std::string::npos)
            throw sqlError<Msg::DuplicateKeyForUniqueIndex>("dbo." + t.name, ix.name);
        throw;
    }
    Query q(
        cached("INSERT INTO main._t7_indexes(table_id, index_id, name, kind, is_unique, clustered, columns, "
               "constraint_id, sqlite_name) VALUES (?, ?, ?, ?, 1, ?, ?, ?, ?)"));
    q.bind(1, t.id).bind(2, static_cast<long long>(ix.indexId)).bind(3, ix.name).bind(4, ix.kind);
    q.bind(5, static_cast<long long>(ix.clustered))
        .bind(6, joinColumns(ix.columns))
        .bind(7, ix.constraintId)
        .bind(8, ix.sqliteName);
    q.run();
}

void SessionImpl::addCheck(TableInfo& t, ConstraintDef& c, bool newTable) {
    if (c.name.empty()) c.name = constraintName("CK", t, c.columns.empty() ? "" : c.columns[0].name);
    long long id = addObject(c.name, "C", t.id, "(" + c.exprText + ")");
    std::string column = c.columns.empty() ? "" : c.columns[0].name;
    Query q(
        cached("INSERT INTO main._t7_checks(constraint_id, table_id, expr, column_name) VALUES (?, "
               "?, ?, ?)"));
    q.bind(1, id).bind(2, t.id).bind(3, c.exprText).bind(4, column);
    q.run();
    m_catalog.put(t.name, std::make_shared<TableInfo>(t));
    if (!newTable && !c.noCheck && !isNewTable(t.id)) {
        flushSchema();
        Translator tr(*this);
        tr.inlineOnly = true;
        tr.pushTable(t.name, m_catalog.entry(t.name));
        ExprPtr e = parseExpression(c.exprText);
        Query bad(m_db, "SELECT 1 FROM " + quoteIdent(t.name) + " WHERE NOT (" + tr.expr(*e) + ") LIMIT 1");
        if (bad.step())
            throw sqlError<Msg::ConstraintConflict>("ALTER TABLE", "CHECK", c.name, m_dbName, "dbo." + t.name,
                                                    columnSuffix(column));
    }
    createCheckTriggers(id, t, c.exprText, c.name, column);
}

void SessionImpl::addForeignKey(TableInfo& t, ConstraintDef& c, bool newTable) {
    for (const IndexColumn& ic : c.columns)
        if (t.findColumn(ic.name) < 0) throw sqlError<Msg::ForeignKeyInvalidColumn>(c.name, ic.name, t.name);
    std::string refName = objectName(c.refTable);
    TablePtr ref = equalsIgnoreCase(refName, t.name) ? std::make_shared<TableInfo>(t) : findTable(refName);
    if (!ref || ref->isView) throw sqlError<Msg::ForeignKeyInvalidTable>(c.name, refName);
    if (c.refColumns.empty()) {
        for (const IndexInfo& ix : ref->indexes)
            if (ix.kind == "PK")
                for (const IndexColumn& ic : ix.columns) c.refColumns.push_back(ic.name);
    }
    if (c.refColumns.size() != c.columns.size()) throw sqlError<Msg::ForeignKeyColumnCount>(t.name);
    bool keyFound = false;
    for (const IndexInfo& ix : ref->indexes) {
        if (!ix.unique || ix.columns.size() != c.refColumns.size()) continue;
        std::set<std::string> a, b;
        for (const IndexColumn& ic : ix.columns) a.insert(toUpperAscii(ic.name));
        for (const std::string& r : c.refColumns) b.insert(toUpperAscii(r));
        keyFound = keyFound || a == b;
    }
    if (c.name.empty()) c.name = constraintName("FK", t, c.columns[0].name);
    if (!keyFound) throw sqlError<Msg::NoCandidateKey>("dbo." + ref->name, c.name);
    long long id = addObject(c.name, "F", t.id, "");
    std::vector<IndexColumn> refs;
    for (const std::string& r : c.refColumns)
        refs.push_back({ref->columns[static_cast<size_t>(ref->findColumn(r))].name, false});
    std::vector<IndexColumn> cols;
    for (const IndexColumn& ic : c.columns)
        cols.push_back({t.columns[static_cast<size_t>(t.findColumn(ic.name))].name, false});
    Query q(
        cached("INSERT INTO main._t7_fkeys(constraint_id, table_id, columns, ref_table_id, ref_columns, "
               "on_delete, on_update) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    q.bind(1, id).bind(2, t.id).bind(3, joinColumns(cols)).bind(4, ref->id).bind(5, joinColumns(refs));
    q.bind(6, c.onDelete).bind(7, c.onUpdate);
    q.run();
    if (!newTable && !c.noCheck && !isNewTable(t.id)) checkForeignKeyRows(t, *ref, cols, refs, c.name);
    // Its triggers come with the first write to either table.
    ForeignKeyRef k;
    k.id = id;
    k.child = t.id;
    k.parent = ref->id;
    k.onDelete = c.onDelete;
    k.onUpdate = c.onUpdate;
    t.foreignKeys.push_back(k);
    t.triggersReady = 0;
    if (ref->id != t.id) m_catalog.forget(ref->name);
}

void SessionImpl::checkForeignKeyRows(const TableInfo& t, const TableInfo& ref,
                                      const std::vector<IndexColumn>& cols,
                                      const std::vector<IndexColumn>& refs, const std::string& name) {
    flushSchema();
    std::string cond, notNull;
    for (size_t i = 0; i < cols.size(); ++i) {
        cond += (i ? " AND p." : "p.") + quoteIdent(refs[i].name) + " = c." + quoteIdent(cols[i].name);
        notNull += (i ? " AND c." : "c.") + quoteIdent(cols[i].name) + " IS NOT NULL";
    }
    Query bad(m_db, "SELECT 1 FROM " + quoteIdent(t.name) + " c WHERE " + notNull +
                        " AND NOT EXISTS (SELECT 1 FROM " + quoteIdent(ref.name) + " p WHERE " + cond +
                        ") LIMIT 1");
    if (bad.step())
        throw sqlError<Msg::ConstraintConflict>("ALTER TABLE", "FOREIGN KEY", name, m_dbName,
                                                "dbo." + ref.name, columnSuffix(refs[0].name));
}

void SessionImpl::runCreateTable(const CreateTableStmt& s) {
    std::string name = objectName(s.table);
    auto t = std::make_shared<TableInfo>();
    t->name = name;
    t->id = addObject(name, "U", 0, "");
    if (s.columns.empty()) throw sqlError<Msg::SyntaxErrorNear>(")");
    // Columns first (without constraints), then every constraint, so that
    // table-level constraints may name any column.
    std::vector<ConstraintDef> constraints;
    std::string decl;
    for (const ColumnDef& c : s.columns) {
        ColumnDef plain;
        plain.name = c.name;
        plain.type = c.type;
        plain.nullable = c.nullable;
        plain.identity = c.identity;
        plain.seed = c.seed;
        plain.step = c.step;
        plain.collation = c.collation;
        bool pkHere = false;
        for (const ConstraintDef& k : c.constraints) pkHere = pkHere || k.kind == ConstraintKind::PrimaryKey;
        if (pkHere && !c.nullable) plain.nullable = false;
        for (const ConstraintDef& k : s.constraints)
            if (k.kind == ConstraintKind::PrimaryKey)
                for (const IndexColumn& ic : k.columns)
                    if (equalsIgnoreCase(ic.name, c.name) && !c.nullable) plain.nullable = false;
        addColumn(*t, plain, true);
        decl += (decl.empty() ? "" : ", ") + columnDecl(t->columns.back());
    }
    recordColumns(*t, 0);
    std::string create = "CREATE TABLE " + quoteIdent(name) + " (" + decl + ")";
    // SQLite reserves names beginning with sqlite_: its refusal comes now.
    if (name.size() >= 7 && equalsIgnoreCase(name.substr(0, 7), "sqlite_"))
        physical(create);
    else
        deferSchema(create, t->id);
    m_catalog.put(name, t);
    for (const ColumnDef& c : s.columns) {
        for (const ConstraintDef& k : c.constraints) {
            ConstraintDef copy;
            copy.kind = k.kind;
            copy.name = k.name;
            copy.clustered = k.clustered;
            copy.columns = k.columns;
            copy.refTable = k.refTable;
            copy.refColumns = k.refColumns;
            copy.onDelete = k.onDelete;
            copy.onUpdate = k.onUpdate;
            copy.exprText = k.exprText;
            copy.forColumn = k.forColumn;
            addConstraint(*t, std::move(copy), true);
        }
    }
    for (const ConstraintDef& k : s.constraints) {
        ConstraintDef copy;
        copy.kind = k.kind;
        copy.name = k.name;
        copy.clustered = k.clustered;
        copy.columns = k.columns;
        copy.refTable = k.refTable;
        copy.refColumns = k.refColumns;
        copy.onDelete = k.onDelete;
        copy.onUpdate = k.onUpdate;
        copy.exprText = k.exprText;
        copy.forColumn = k.forColumn;
        addConstraint(*t, std::move(copy), true);
    }
    bumpVersion(t.get());
}

void SessionImpl::dropConstraint(TableInfo& t, long long id, const std::string& xtype,
                                 const std::string& name) {
    if (xtype == "PK" || xtype == "UQ") {
        Query ref(cached(
            "SELECT o.name, c.name FROM main._t7_fkeys f JOIN main._t7_objects o ON o.id = f.constraint_id "
            "JOIN main._t7_objects c ON c.id = f.table_id JOIN main._t7_indexes x ON x.table_id = "
            "f.ref_table_id AND x.constraint_id = ? WHERE f.ref_table_id = ? AND upper(f.ref_columns) = "
            "upper(x.columns)"));
        ref.bind(1, id).bind(2, t.id);
        if (ref.step()) throw sqlError<Msg::ConstraintReferenced>(name, ref.text(1), ref.text(0));
        for (const IndexInfo& ix : t.indexes)
            if (ix.constraintId == id) physical("DROP INDEX " + quoteIdent(ix.sqliteName));
        Query q(cached("DELETE FROM main._t7_indexes WHERE table_id = ? AND constraint_id = ?"));
        q.bind(1, t.id).bind(2, id);
        q.run();
        std::erase_if(t.indexes, [&](const IndexInfo& ix) { return ix.constraintId == id; });
    } else if (xtype == "F" || xtype == "C") {
        for (const char* suffix : {"_INSERT", "_UPDATE", "_cINSERT", "_cUPDATE", "_pDELETE", "_pUPDATE"})
            physical("DROP TRIGGER IF EXISTS " + quoteIdent("_t7t_" + std::to_string(id) + suffix));
        for (const ForeignKeyRef& k : t.foreignKeys)
            if (k.id == id && k.parent != t.id) {
                Query n(cached("SELECT name FROM main._t7_objects WHERE id = ?"));
                n.bind(1, k.parent);
                if (n.step()) m_catalog.forget(n.text(0));
            }
        std::erase_if(t.foreignKeys, [&](const ForeignKeyRef& k) { return k.id == id; });
        Query a(cached("DELETE FROM main._t7_fkeys WHERE constraint_id = ?"));
        a.bind(1, id);
        a.run();
        Query b(cached("DELETE FROM main._t7_checks WHERE constraint_id = ?"));
        b.bind(1, id);
        b.run();
    } else if (xtype == "D") {
        Query q(cached(
            "UPDATE main._t7_columns SET default_id = NULL, default_text = NULL WHERE default_id = ?"));
        q.bind(1, id);
        q.run();
        for (ColumnInfo& c : t.columns) {
            if (c.defaultId == id) {
                c.defaultId = 0;
                c.defaultText.clear();
            }
        }
    }
    Query q(cached("DELETE FROM main._t7_objects WHERE id = ?"));
    q.bind(1, id);
    q.run();
}

void SessionImpl::alterColumn(TableInfo& t, const ColumnDef& def) {
    int i = t.findColumn(def.name);
    if (i < 0) throw sqlError<Msg::AlterColumnNotFound>("ALTER COLUMN", def.name, t.name);
    if (!isKnownType(def.type.name)) throw sqlError<Msg::UnknownDataType>(1, def.type.name);
    ColumnInfo old = t.columns[static_cast<size_t>(i)];
    ColumnInfo c = old;
    c.type = normalizeType(def.type, false);
    c.notNull = def.nullable ? !*def.nullable : false;
    if (!def.collation.empty()) c.collation = def.collation;
    if (old.identity) c.notNull = true;
    for (const IndexInfo& ix : t.indexes)
        for (const IndexColumn& ic : ix.columns)
            if (equalsIgnoreCase(ic.name, c.name) &&
                (c.type.name != old.type.name || c.type.length < old.type.length))
                throw sqlError<Msg::ObjectDependsOnColumn>(ix.name, c.name);
    // Existing values must fit the new type.
    m_writeRules.clear();
    int rule = addWriteRule(c, t, true);
    physical("UPDATE " + quoteIdent(t.name) + " SET " + quoteIdent(c.name) + " = _t7_w(" +
             std::to_string(rule) + ", " + quoteIdent(c.name) + ")");
    Query q(
        cached("UPDATE main._t7_columns SET type = ?, length = ?, prec = ?, scale = ?, max_length = ?, "
               "not_null = ?, "
               "collation = ? WHERE table_id = ? AND colid = ?"));
    q.bind(1, c.type.name)
        .bind(2, static_cast<long long>(c.type.length))
        .bind(3, static_cast<long long>(c.type.precision));
    q.bind(4, static_cast<long long>(c.type.scale)).bind(5, static_cast<long long>(maxLength(c.type)));
    q.bind(6, static_cast<long long>(c.notNull))
        .bind(7, c.collation)
        .bind(8, t.id)
        .bind(9, static_cast<long long>(c.colid));
    q.run();
    t.columns[static_cast<size_t>(i)] = c;
    bool affinityChanged = std::string(sqliteAffinity(old.type)) != sqliteAffinity(c.type);
    bool collationChanged = caseSensitive(old.collation) != caseSensitive(c.collation);
    if (affinityChanged || collationChanged) rebuildTable(t);
}

void SessionImpl::rebuildTable(const TableInfo& t) {
    // SQLite cannot change a column's declaration in place: copy the rows
    // into a new table, then put back the indexes and constraint triggers.
    std::string decl;
    for (const ColumnInfo& c : t.columns) decl += (decl.empty() ? "" : ", ") + columnDecl(c);
    std::string tmp = "_t7_rebuild_" + std::to_string(t.id);
    flushSchema();
    std::string cols;
    for (const ColumnInfo& c : t.columns) cols += (cols.empty() ? "" : ", ") + quoteIdent(c.name);
    execSql(m_db, "PRAGMA legacy_alter_table = ON");
    try {
        execSql(m_db, "CREATE TABLE " + quoteIdent(tmp) + " (" + decl + "); INSERT INTO " + quoteIdent(tmp) +
                          " (rowid, " + cols + ") SELECT rowid, " + cols + " FROM " + quoteIdent(t.name) +
                          "; DROP TABLE " + quoteIdent(t.name) + "; ALTER TABLE " + quoteIdent(tmp) +
                          " RENAME TO " + quoteIdent(t.name));
    } catch (...) {
        execSql(m_db, "PRAGMA legacy_alter_table = OFF");
        throw;
    }
    execSql(m_db, "PRAGMA legacy_alter_table = OFF");
    for (const IndexInfo& ix : t.indexes) {
        std::string c;
        for (const IndexColumn& ic : ix.columns)
            c += (c.empty() ? "" : ", ") + quoteIdent(ic.name) + (ic.descending ? " DESC" : "");
        execSql(m_db, std::string("CREATE ") + (ix.unique ? "UNIQUE " : "") + "INDEX " +
                          quoteIdent(ix.sqliteName) + " ON " + quoteIdent(t.name) + "(" + c + ")");
    }
    Query f(m_db, "SELECT constraint_id FROM main._t7_fkeys WHERE table_id = ? OR ref_table_id = ?");
    f.bind(1, t.id).bind(2, t.id);
    std::vector<long long> fks;
    while (f.step()) fks.push_back(f.integer(0));
    // The keys' triggers are made again by the next write that needs them.
    for (long long id : fks)
        for (const char* suffix : {"_cINSERT", "_cUPDATE", "_pDELETE", "_pUPDATE"})
            physical("DROP TRIGGER IF EXISTS " + quoteIdent("_t7t_" + std::to_string(id) + suffix));
    m_catalog.recheckTriggers();
    Query ck(m_db,
             "SELECT c.constraint_id, c.expr, o.name, c.column_name FROM main._t7_checks c JOIN "
             "main._t7_objects o "
             "ON o.id = c.constraint_id WHERE c.table_id = ?");
    ck.bind(1, t.id);
    std::vector<std::tuple<long long, std::string, std::string, std::string>> checks;
    while (ck.step()) checks.emplace_back(ck.integer(0), ck.text(1), ck.text(2), ck.text(3));
    m_catalog.put(t.name, std::make_shared<TableInfo>(t));
    for (const auto& [id, e, n, col] : checks) createCheckTriggers(id, t, e, n, col);
}

void SessionImpl::dropConstraintNamed(TableInfo& t, const std::string& n) {
    long long id = 0;
    std::string xt;
    {
        // Read and let go of the row: a pending read blocks DROP INDEX.
        Query q(cached("SELECT id, xtype FROM main._t7_objects WHERE name = ? AND parent_obj = ?"));
        q.bind(1, n).bind(2, t.id);
        if (!q.step()) throw sqlError<Msg::NotAConstraint>(n);
        id = q.integer(0);
        xt = q.text(1);
    }
    if (xt == "TR") throw sqlError<Msg::NotAConstraint>(n);
    dropConstraint(t, id, xt, n);
}

void SessionImpl::dropColumn(TableInfo& t, const std::string& n) {
    int i = t.findColumn(n);
    if (i < 0) throw sqlError<Msg::AlterColumnNotFound>("DROP COLUMN", n, t.name);
    const ColumnInfo& c = t.columns[static_cast<size_t>(i)];
    auto dependent = [&](const std::string& obj) { throw sqlError<Msg::ObjectDependsOnColumn>(obj, c.name); };
    if (c.defaultId) {
        Query d(cached("SELECT name FROM main._t7_objects WHERE id = ?"));
        d.bind(1, c.defaultId);
        if (d.step()) dependent(d.text(0));
    }
    for (const IndexInfo& ix : t.indexes)
        for (const IndexColumn& ic : ix.columns)
            if (equalsIgnoreCase(ic.name, c.name)) dependent(ix.name);
    Query f(
        cached("SELECT o.name, f.columns, f.ref_columns, f.table_id FROM main._t7_fkeys f JOIN "
               "main._t7_objects o ON o.id = f.constraint_id WHERE f.table_id = ? OR "
               "f.ref_table_id = ?"));
    f.bind(1, t.id).bind(2, t.id);
    while (f.step()) {
        auto cols = splitColumns(f.integer(3) == t.id ? f.text(1) : f.text(2));
        for (const IndexColumn& ic : cols)
            if (equalsIgnoreCase(ic.name, c.name)) dependent(f.text(0));
    }
    Query ck(
        cached("SELECT o.name, c.expr FROM main._t7_checks c JOIN main._t7_objects o ON o.id = "
               "c.constraint_id WHERE c.table_id = ?"));
    ck.bind(1, t.id);
    while (ck.step())
        if (toUpperAscii(ck.text(1)).find(toUpperAscii(c.name)) != std::string::npos) dependent(ck.text(0));
    physical("ALTER TABLE " + quoteIdent(t.name) + " DROP COLUMN " + quoteIdent(c.name));
    Query del(cached("DELETE FROM main._t7_columns WHERE table_id = ? AND colid = ?"));
    del.bind(1, t.id).bind(2, static_cast<long long>(c.colid));
    del.run();
    t.columns.erase(t.columns.begin() + i);
}

void SessionImpl::runAlterTable(const AlterTableStmt& s) {
    std::string name = objectName(s.table);
    TablePtr found = findTable(name);
    if (!found || found->isView) throw sqlError<Msg::ObjectNotFoundForAlter>(name);
    TableInfo t = *found;
    switch (s.action) {
        case AlterAction::AddColumns:
        case AlterAction::AddConstraints:
            for (const ColumnDef& c : s.columns) addColumn(t, c, false);
            for (const ConstraintDef& k : s.constraints) {
                // The constraint is rebuilt from its source text, not from
                // the parsed expression of the statement.
                ConstraintDef copy = k;
                copy.expr.reset();
                addConstraint(t, std::move(copy), false);
            }
            break;
        case AlterAction::DropConstraint:
            for (const std::string& n : s.names) dropConstraintNamed(t, n);
            break;
        case AlterAction::DropColumn:
            for (const std::string& n : s.names) dropColumn(t, n);
            break;
        case AlterAction::AlterColumn:
            alterColumn(t, s.columns[0]);
            break;
        case AlterAction::CheckConstraint:
            for (const std::string& n : s.names) {
                Query q(
                    cached("SELECT 1 FROM main._t7_objects WHERE name = ? AND parent_obj = ? AND xtype IN "
                           "('F','C')"));
                q.bind(1, n).bind(2, t.id);
                if (!q.step()) throw sqlError<Msg::ConstraintNotFound>(n);
            }
            return;
    }
    bumpVersion(std::move(t));
}

void SessionImpl::runCreateIndex(const CreateIndexStmt& s) {
    std::string name = objectName(s.table);
    TablePtr found = findTable(name);
    if (!found || found->isView) throw objectNotFoundOrDenied(name);
    const TableInfo& t = *found;
    for (const IndexInfo& ix : t.indexes) {
        if (equalsIgnoreCase(ix.name, s.name)) throw sqlError<Msg::IndexExists>(s.name, "dbo." + t.name);
        if (s.clustered && ix.clustered) throw sqlError<Msg::SecondClusteredIndex>("dbo." + t.name, ix.name);
    }
    std::string cols;
    for (const IndexColumn& c : s.columns) {
        if (t.findColumn(c.name) < 0) throw sqlError<Msg::IndexColumnNotFound>(c.name);
        cols += (cols.empty() ? "" : ", ") + quoteIdent(c.name) + (c.descending ? " DESC" : "");
    }
    std::string sqliteName = "_t7i_" + std::to_string(t.id) + "_" + s.name;
    try {
        std::string create = std::string("CREATE ") + (s.unique ? "UNIQUE " : "") + "INDEX " +
                             quoteIdent(sqliteName) + " ON " + quoteIdent(t.name) + "(" + cols + ")";
        if (isNewTable(t.id))
            deferSchema(create);
        else
            physical(create);
    } catch (const SqliteError& e) {
        if (std::string(e.what()).find("UNIQUE") != std::string::npos)
            throw sqlError<Msg::DuplicateKeyForUniqueIndex>("dbo." + t.name, s.name);
        throw;
    }
    int indexId = s.clustered ? 1 : 2;
    for (const IndexInfo& ix : t.indexes)
        if (!s.clustered) indexId = std::max(indexId, ix.indexId + 1);
    Query q(
        cached("INSERT INTO main._t7_indexes(table_id, index_id, name, kind, is_unique, clustered, columns, "
               "constraint_id, sqlite_name) VALUES (?, ?, ?, 'IX', ?, ?, ?, 0, ?)"));
    q.bind(1, t.id)
        .bind(2, static_cast<long long>(indexId))
        .bind(3, s.name)
        .bind(4, static_cast<long long>(s.unique));
    q.bind(5, static_cast<long long>(s.clustered)).bind(6, joinColumns(s.columns)).bind(7, sqliteName);
    q.run();
    TableInfo changed = t;
    IndexInfo ix;
    ix.indexId = indexId;
    ix.name = s.name;
    ix.kind = "IX";
    ix.unique = s.unique;
    ix.clustered = s.clustered;
    ix.columns = s.columns;
    ix.sqliteName = sqliteName;
    changed.indexes.push_back(std::move(ix));
    bumpVersion(std::move(changed));
}

void SessionImpl::dropTable(const TableInfo& t) {
    Query ref(cached("SELECT 1 FROM main._t7_fkeys WHERE ref_table_id = ? AND table_id <> ?"));
    ref.bind(1, t.id).bind(2, t.id);
    if (ref.step()) throw sqlError<Msg::TableReferenced>("dbo." + t.name);
    // Triggers this table's foreign keys put on their parent tables.
    Query f(cached("SELECT constraint_id FROM main._t7_fkeys WHERE table_id = ?"));
    f.bind(1, t.id);
    std::vector<long long> fks;
    while (f.step()) fks.push_back(f.integer(0));
    for (long long id : fks)
        for (const char* suffix : {"_pDELETE", "_pUPDATE"})
            physical("DROP TRIGGER IF EXISTS " + quoteIdent("_t7t_" + std::to_string(id) + suffix));
    physical("DROP TABLE " + quoteIdent(t.name));
    std::string id = std::to_string(t.id);
    execSql(m_db, "DELETE FROM main._t7_fkeys WHERE table_id = " + id +
                      "; DELETE FROM main._t7_checks WHERE table_id = " + id +
                      "; DELETE FROM main._t7_indexes WHERE table_id = " + id +
                      "; DELETE FROM main._t7_columns WHERE table_id = " + id +
                      "; DELETE FROM main._t7_objects WHERE id = " + id + " OR parent_obj = " + id);
    if (equalsIgnoreCase(m_identityInsertTable, t.name)) m_identityInsertTable.clear();
}

void SessionImpl::runDropObject(const DropObjectStmt& s) {
    static const char* kinds[] = {"table", "view", "procedure", "trigger", "function", "index", "default"};
    const char* kind = kinds[static_cast<int>(s.type)];
    for (size_t i = 0; i < s.names.size(); ++i) {
        std::string name = objectName(s.names[i]);
        if (s.type == ObjectType::Index) {
            std::string tname = objectName(s.onTables[i]);
            TablePtr t = findTable(tname);
            const IndexInfo* found = nullptr;
            if (t)
                for (const IndexInfo& ix : t->indexes)
                    if (equalsIgnoreCase(ix.name, name)) found = &ix;
            if (!found) {
                if (s.ifExists) continue;
                throw sqlError<Msg::CannotDropMissing>("drop", "index", tname + "." + name);
            }
            if (found->kind != "IX")
                throw sqlError<Msg::IndexUsedByConstraint>(
                    tname + "." + name, found->kind == "PK" ? "PRIMARY KEY" : "UNIQUE KEY");
            physical("DROP INDEX " + quoteIdent(found->sqliteName));
            Query q(cached("DELETE FROM main._t7_indexes WHERE table_id = ? AND index_id = ?"));
            q.bind(1, t->id).bind(2, static_cast<long long>(found->indexId));
            q.run();
            continue;
        }
        static const char* xtypes[] = {"U", "V", "P", "TR", "FN", "", "D"};
        std::string xtype;
        long long id = findObject(name, &xtype);
        bool match = id && (xtype == xtypes[static_cast<int>(s.type)] ||
                            (s.type == ObjectType::Function && (xtype == "IF" || xtype == "TF")));
        if (!match) {
            if (s.ifExists) continue;
            throw sqlError<Msg::CannotDropMissing>("drop", kind, name);
        }
        if (s.type == ObjectType::Table) {
            dropTable(*findTable(name));
        } else {
            if (s.type == ObjectType::View) physical("DROP VIEW IF EXISTS " + quoteIdent(name));
            Query q(cached("DELETE FROM main._t7_objects WHERE id = ?"));
            q.bind(1, id);
            q.run();
            if (s.type == ObjectType::View) {
                Query c(cached("DELETE FROM main._t7_columns WHERE table_id = ?"));
                c.bind(1, id);
                c.run();
            }
        }
    }
    bumpVersion();
}

void SessionImpl::runCreateModule(const CreateModuleStmt& s) {
    std::string name = objectName(s.name);
    static const char* xtypes[] = {"U", "V", "P", "TR", "FN"};
    std::string xtype = xtypes[static_cast<int>(s.type)];
    if (s.type == ObjectType::Function) {
        std::string up = toUpperAscii(s.definition);
        size_t r = up.find("RETURNS");
        if (r != std::string::npos) {
            std::string rest = up.substr(r + 7);
            size_t a = rest.find_first_not_of(" \t\r\n");
            if (a != std::string::npos && rest.compare(a, 5, "TABLE") == 0)
                xtype = "IF";
            else if (a != std::string::npos && rest[a] == '@')
                xtype = "TF";
        }
    }
    long long parent = 0;
    if (s.type == ObjectType::Trigger) {
        std::string tname = objectName(s.onTable);
        TablePtr t = findTable(tname);
        if (!t) throw sqlError<Msg::InvalidObjectForOperation>(tname);
        parent = t->id;
    }
    std::string existing;
    long long oldId = findObject(name, &existing);
    if (s.alter) {
        bool same =
            oldId && (existing == xtype || (s.type == ObjectType::Function &&
                                            (existing == "IF" || existing == "TF" || existing == "FN")));
        if (!same) throw sqlError<Msg::InvalidObjectName>(name);
        if (s.type == ObjectType::View) physical("DROP VIEW IF EXISTS " + quoteIdent(name));
        Query q(cached("DELETE FROM main._t7_objects WHERE id = ?"));
        q.bind(1, oldId);
        q.run();
    }
    long long id = addObject(name, xtype, parent, s.definition);
    if (s.type == ObjectType::View) {
        Translator tr(*this);
        tr.inlineOnly = true;
        std::string sel = tr.select(*s.select);
        std::string cols;
        if (!s.viewColumns.empty()) {
            cols = "(";
            for (size_t i = 0; i < s.viewColumns.size(); ++i)
                cols += (i ? ", " : "") + quoteIdent(s.viewColumns[i]);
            cols += ")";
        }
        physical("CREATE VIEW " + quoteIdent(name) + cols + " AS " + sel);
        // Validate the view now, as the server does when it compiles it.
        Query probe(m_db, "SELECT * FROM " + quoteIdent(name) + " LIMIT 0");
        probe.run();
        (void)id;
    }
    if (s.type == ObjectType::View)
        bumpVersion();
    else
        moduleChanged(name);
}

// ---- databases ---------------------------------------------------------

// ---- logins and users --------------------------------------------------

}  // namespace sqlengine
