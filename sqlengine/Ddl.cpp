// Schema statements and the server-level statements (databases, logins,
// users), with the catalog kept in the hidden _t7_* tables.
#include <cstdio>
#include <fstream>
#include <set>

#include "sqlengine/Functions.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Parser.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

namespace {

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

std::string SessionImpl::objectName(const QualifiedName& name) {
    const auto& p = name.parts;
    if (p.size() >= 3 && !p[p.size() - 3].empty() && !equalsIgnoreCase(p[p.size() - 3], m_dbName))
        throw SqlError(
            117, "The object name '" + p.back() + "' contains more than the maximum number of prefixes.");
    if (p.size() >= 2 && !p[p.size() - 2].empty() && !equalsIgnoreCase(p[p.size() - 2], "dbo"))
        throw SqlError(2760, "The specified schema name \"" + p[p.size() - 2] +
                                 "\" either does not exist or you do not have permission to use it.");
    const std::string& n = p.back();
    if (n.empty() || n[0] == '#') throw SqlError(50000, "Temporary tables are not supported by this server.");
    // The engine's own tables are out of reach, under any statement.
    if (isInternalName(n)) throw SqlError(208, "Invalid object name '" + n + "'.");
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
        if (taken.step())
            throw SqlError(2714, "There is already an object named '" + name + "' in the database.");
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
    std::string key = toUpperAscii(name);
    auto it = m_tables.find(key);
    if (it != m_tables.end()) return it->second;
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
    m_tables[key] = t;
    return t;
}

TablePtr SessionImpl::requireTable(const QualifiedName& name) {
    std::string n = objectName(name);
    TablePtr t = findTable(n);
    if (!t) throw SqlError(208, "Invalid object name '" + n + "'.");
    return t;
}

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

void SessionImpl::addColumn(TableInfo& t, const ColumnDef& def, bool newTable) {
    if (t.findColumn(def.name) >= 0)
        throw SqlError(2705, "Column names in each table must be unique. Column name '" + def.name +
                                 "' in table '" + t.name + "' is specified more than once.");
    if (!isKnownType(def.type.name))
        throw SqlError(2715, "Column, parameter, or variable #" + std::to_string(t.columns.size() + 1) +
                                 ": Cannot find data type " + def.type.name + ".");
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
            throw SqlError(2749,
                           "Identity column '" + c.name +
                               "' must be of data type int, bigint, smallint, tinyint, or decimal or numeric "
                               "with a scale of 0, and constrained to be nonnullable.");
        if (t.identityColumn() >= 0)
            throw SqlError(2744, "Multiple identity columns specified for table '" + t.name +
                                     "'. Only one identity column per table is allowed.");
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
            if (any.step())
                throw SqlError(
                    4901,
                    "ALTER TABLE only allows columns to be added that can contain nulls, or have a "
                    "DEFAULT definition specified, or the column being added is an identity or "
                    "timestamp column, or alternatively if none of the previous conditions are "
                    "satisfied the table must be empty to allow addition of this column. Column '" +
                        c.name + "' cannot be added to non-empty table '" + t.name +
                        "' because it does not satisfy these conditions.");
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
    if (!newTable && c.identity && !fresh) {
        // Existing rows are numbered in their stored order.
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
            Query up(
                cached("UPDATE main._t7_columns SET ident_current = ? WHERE table_id = ? AND colid = ?"));
            up.bind(1, last).bind(2, t.id).bind(3, static_cast<long long>(c.colid));
            up.run();
        }
    }
    for (ConstraintDef k : def.constraints) {
        if (k.kind == ConstraintKind::Default && !newTable) {
            // A new NOT NULL column takes its default in the existing rows.
            addConstraint(t, std::move(k), newTable);
            if (c.notNull && !fresh) {
                ExprPtr d = parseExpression(t.columns.back().defaultText);
                Translator tr(*this);
                int rule = addWriteRule(t.columns.back(), t, true);
                std::string sql = "UPDATE " + quoteIdent(t.name) + " SET " + quoteIdent(c.name) +
                                  " = _t7_w(" + std::to_string(rule) + ", " + tr.expr(*d) + ")";
                Query up(m_db, sql);
                tr.bindAll(up);
                up.run();
            }
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
    tr.pushTable(t.name, m_tables[toUpperAscii(t.name)]);
    std::string cond = tr.expr(*e);
    for (const char* op : {"INSERT", "UPDATE"}) {
        std::string msg = encodeError(
            547, std::string("The ") + op + " statement conflicted with the CHECK constraint \"" + name +
                     "\". The conflict occurred in database \"" + m_dbName + "\", table \"dbo." + t.name +
                     "\"" + (column.empty() ? "" : ", column '" + column + "'") + ".");
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
    std::vector<IndexColumn> cols = splitColumns(q.text(1)), refs = splitColumns(q.text(3));
    std::string onDelete = q.text(4), onUpdate = q.text(5), name = q.text(6), child = q.text(7),
                parent = q.text(8);
    std::string id = std::to_string(cid);
    auto match = [&](const std::string& childRow, const std::string& parentRow) {
        std::string s;
        for (size_t i = 0; i < cols.size(); ++i) {
            if (i) s += " AND ";
            s += quoteIdent(refs[i].name) + " = " + childRow + quoteIdent(cols[i].name);
            (void)parentRow;
        }
        return s;
    };
    auto childMatch = [&](const std::string& parentRow) {
        std::string s;
        for (size_t i = 0; i < cols.size(); ++i) {
            if (i) s += " AND ";
            s += quoteIdent(cols[i].name) + " = " + parentRow + quoteIdent(refs[i].name);
        }
        return s;
    };
    std::string notNull;
    for (size_t i = 0; i < cols.size(); ++i)
        notNull += (i ? " AND NEW." : "NEW.") + quoteIdent(cols[i].name) + " IS NOT NULL";
    for (const char* op : {"INSERT", "UPDATE"}) {
        std::string trig = "_t7t_" + id + "_c" + op;
        if (!wanted(trig, asChild, std::string(op) == "INSERT" ? kInsertRows : kUpdateRows)) continue;
        std::string msg = encodeError(
            547, std::string("The ") + op + " statement conflicted with the FOREIGN KEY constraint \"" +
                     name + "\". The conflict occurred in database \"" + m_dbName + "\", table \"dbo." +
                     parent + "\", column '" + refs[0].name + "'.");
        physical("CREATE TRIGGER " + quoteIdent(trig) + " BEFORE " + op + " ON " + quoteIdent(child) +
                 " WHEN " + notNull + " AND NOT EXISTS (SELECT 1 FROM " + quoteIdent(parent) + " WHERE " +
                 match("NEW.", "") + ") BEGIN SELECT RAISE(ABORT, " + quoteString(msg) + "); END");
    }
    std::string changed;
    for (size_t i = 0; i < refs.size(); ++i)
        changed +=
            (i ? " OR OLD." : "OLD.") + quoteIdent(refs[i].name) + " IS NOT NEW." + quoteIdent(refs[i].name);
    for (const char* op : {"DELETE", "UPDATE"}) {
        std::string action = std::string(op) == "DELETE" ? onDelete : onUpdate;
        if (!wanted("_t7t_" + id + "_p" + op, asParent,
                    std::string(op) == "DELETE" ? kDeleteRows : kUpdateRows))
            continue;
        std::string trig = quoteIdent("_t7t_" + id + "_p" + op);
        std::string when = std::string(op) == "UPDATE" ? " WHEN " + changed : "";
        if (action == "CASCADE") {
            std::string body;
            if (std::string(op) == "DELETE") {
                body = "DELETE FROM " + quoteIdent(child) + " WHERE " + childMatch("OLD.") + ";";
            } else {
                body = "UPDATE " + quoteIdent(child) + " SET ";
                for (size_t i = 0; i < cols.size(); ++i)
                    body += (i ? ", " : "") + quoteIdent(cols[i].name) + " = NEW." + quoteIdent(refs[i].name);
                body += " WHERE " + childMatch("OLD.") + ";";
            }
            physical("CREATE TRIGGER " + trig + " AFTER " + op + " ON " + quoteIdent(parent) + when +
                     " BEGIN " + body + " END");
        } else if (action == "SET NULL") {
            std::string body = "UPDATE " + quoteIdent(child) + " SET ";
            for (size_t i = 0; i < cols.size(); ++i)
                body += (i ? ", " : "") + quoteIdent(cols[i].name) + " = NULL";
            body += " WHERE " + childMatch("OLD.") + ";";
            physical("CREATE TRIGGER " + trig + " AFTER " + op + " ON " + quoteIdent(parent) + when +
                     " BEGIN " + body + " END");
        } else {
            std::string msg = encodeError(
                547, std::string("The ") + op + " statement conflicted with the REFERENCE constraint \"" +
                         name + "\". The conflict occurred in database \"" + m_dbName + "\", table \"dbo." +
                         child + "\", column '" + cols[0].name + "'.");
            std::string cond =
                "EXISTS (SELECT 1 FROM " + quoteIdent(child) + " WHERE " + childMatch("OLD.") + ")";
            physical("CREATE TRIGGER " + trig + " BEFORE " + op + " ON " + quoteIdent(parent) + " WHEN " +
                     (when.empty() ? "" : "(" + changed + ") AND ") + cond + " BEGIN SELECT RAISE(ABORT, " +
                     quoteString(msg) + "); END");
        }
    }
}

void SessionImpl::addConstraint(TableInfo& t, ConstraintDef c, bool newTable) {
    switch (c.kind) {
        case ConstraintKind::Default: {
            int i = t.findColumn(c.forColumn);
            if (i < 0)
                throw SqlError(1752, "Column '" + c.forColumn + "' in table '" + t.name +
                                         "' is invalid for creating a default constraint.");
            ColumnInfo& col = t.columns[static_cast<size_t>(i)];
            if (!col.defaultText.empty()) throw SqlError(1781, "Column already has a DEFAULT bound to it.");
            if (c.name.empty()) c.name = constraintName("DF", t, col.name);
            long long id = addObject(c.name, "D", t.id, "(" + c.exprText + ")");
            Query q(
                cached("UPDATE main._t7_columns SET default_id = ?, default_text = ? WHERE table_id = ? AND "
                       "colid = ?"));
            q.bind(1, id).bind(2, c.exprText).bind(3, t.id).bind(4, static_cast<long long>(col.colid));
            q.run();
            col.defaultText = c.exprText;
            col.defaultId = id;
            return;
        }
        case ConstraintKind::PrimaryKey:
        case ConstraintKind::Unique: {
            bool pk = c.kind == ConstraintKind::PrimaryKey;
            for (const IndexColumn& ic : c.columns) {
                int i = t.findColumn(ic.name);
                if (i < 0)
                    throw SqlError(
                        1911, "Column name '" + ic.name + "' does not exist in the target table or view.");
                if (pk && !t.columns[static_cast<size_t>(i)].notNull)
                    throw SqlError(
                        8111,
                        "Cannot define PRIMARY KEY constraint on nullable column in table '" + t.name + "'.");
            }
            bool clustered = c.clustered.value_or(pk);
            for (const IndexInfo& ix : t.indexes) {
                if (pk && ix.kind == "PK")
                    throw SqlError(
                        newTable ? 8110 : 1779,
                        newTable ? "Cannot add multiple PRIMARY KEY constraints to table '" + t.name + "'."
                                 : "Table '" + t.name + "' already has a primary key defined on it.");
                if (clustered && ix.clustered) {
                    if (!c.clustered) {
                        clustered = false;
                    } else {
                        throw SqlError(1902, "Cannot create more than one clustered index on table 'dbo." +
                                                 t.name + "'. Drop the existing clustered index '" + ix.name +
                                                 "' before creating another.");
                    }
                }
            }
            if (c.name.empty()) c.name = constraintName(pk ? "PK" : "UQ", t, "");
            long long id = addObject(c.name, pk ? "PK" : "UQ", t.id, "");
            IndexInfo ix;
            ix.indexId = clustered ? 1 : 2;
            for (const IndexInfo& o : t.indexes)
                ix.indexId = std::max(ix.indexId, o.indexId + (clustered ? 0 : 1));
            if (clustered) ix.indexId = 1;
            ix.name = c.name;
            ix.kind = pk ? "PK" : "UQ";
            ix.unique = true;
            ix.clustered = clustered;
            ix.columns = c.columns;
            ix.constraintId = id;
            ix.sqliteName = "_t7i_" + std::to_string(t.id) + "_" + c.name;
            std::string cols;
            for (size_t i = 0; i < c.columns.size(); ++i)
                cols += (i ? ", " : "") + quoteIdent(c.columns[i].name) +
                        (c.columns[i].descending ? " DESC" : "");
            std::string create = "CREATE UNIQUE INDEX " + quoteIdent(ix.sqliteName) + " ON " +
                                 quoteIdent(t.name) + "(" + cols + ")";
            try {
                // Over rows already there the key may be duplicated: that is
                // found out now, not when the change is carried out.
                if (newTable || isNewTable(t.id))
                    deferSchema(create);
                else
                    physical(create);
            } catch (const SqliteError& e) {
                if (std::string(e.what()).find("UNIQUE") != std::string::npos)
                    throw SqlError(1505,
                                   "The CREATE UNIQUE INDEX statement terminated because a duplicate key was "
                                   "found for the object name 'dbo." +
                                       t.name + "' and the index name '" + c.name + "'.");
                throw;
            }
            Query q(cached(
                "INSERT INTO main._t7_indexes(table_id, index_id, name, kind, is_unique, clustered, columns, "
                "constraint_id, sqlite_name) VALUES (?, ?, ?, ?, 1, ?, ?, ?, ?)"));
            q.bind(1, t.id).bind(2, static_cast<long long>(ix.indexId)).bind(3, ix.name).bind(4, ix.kind);
            q.bind(5, static_cast<long long>(clustered))
                .bind(6, joinColumns(c.columns))
                .bind(7, id)
                .bind(8, ix.sqliteName);
            q.run();
            t.indexes.push_back(ix);
            return;
        }
        case ConstraintKind::Check: {
            if (c.name.empty()) c.name = constraintName("CK", t, c.columns.empty() ? "" : c.columns[0].name);
            long long id = addObject(c.name, "C", t.id, "(" + c.exprText + ")");
            std::string column = c.columns.empty() ? "" : c.columns[0].name;
            Query q(
                cached("INSERT INTO main._t7_checks(constraint_id, table_id, expr, column_name) VALUES (?, "
                       "?, ?, ?)"));
            q.bind(1, id).bind(2, t.id).bind(3, c.exprText).bind(4, column);
            q.run();
            m_tables[toUpperAscii(t.name)] = std::make_shared<TableInfo>(t);
            if (!newTable && !c.noCheck && !isNewTable(t.id)) {
                flushSchema();
                Translator tr(*this);
                tr.inlineOnly = true;
                tr.pushTable(t.name, m_tables[toUpperAscii(t.name)]);
                ExprPtr e = parseExpression(c.exprText);
                Query bad(m_db,
                          "SELECT 1 FROM " + quoteIdent(t.name) + " WHERE NOT (" + tr.expr(*e) + ") LIMIT 1");
                if (bad.step())
                    throw SqlError(547, "The ALTER TABLE statement conflicted with the CHECK constraint \"" +
                                            c.name + "\". The conflict occurred in database \"" + m_dbName +
                                            "\", table \"dbo." + t.name + "\"" +
                                            (column.empty() ? "" : ", column '" + column + "'") + ".");
            }
            createCheckTriggers(id, t, c.exprText, c.name, column);
            return;
        }
        case ConstraintKind::ForeignKey: {
            for (const IndexColumn& ic : c.columns)
                if (t.findColumn(ic.name) < 0)
                    throw SqlError(1769, "Foreign key '" + c.name + "' references invalid column '" +
                                             ic.name + "' in referencing table '" + t.name + "'.");
            std::string refName = objectName(c.refTable);
            TablePtr ref =
                equalsIgnoreCase(refName, t.name) ? std::make_shared<TableInfo>(t) : findTable(refName);
            if (!ref || ref->isView)
                throw SqlError(1767,
                               "Foreign key '" + c.name + "' references invalid table '" + refName + "'.");
            if (c.refColumns.empty()) {
                for (const IndexInfo& ix : ref->indexes)
                    if (ix.kind == "PK")
                        for (const IndexColumn& ic : ix.columns) c.refColumns.push_back(ic.name);
            }
            if (c.refColumns.size() != c.columns.size())
                throw SqlError(
                    8139,
                    "Number of referencing columns in foreign key differs from number of referenced "
                    "columns, table '" +
                        t.name + "'.");
            bool keyFound = false;
            for (const IndexInfo& ix : ref->indexes) {
                if (!ix.unique || ix.columns.size() != c.refColumns.size()) continue;
                std::set<std::string> a, b;
                for (const IndexColumn& ic : ix.columns) a.insert(toUpperAscii(ic.name));
                for (const std::string& r : c.refColumns) b.insert(toUpperAscii(r));
                keyFound = keyFound || a == b;
            }
            if (c.name.empty()) c.name = constraintName("FK", t, c.columns[0].name);
            if (!keyFound)
                throw SqlError(1776, "There are no primary or candidate keys in the referenced table 'dbo." +
                                         ref->name +
                                         "' that match the referencing column list in the foreign key '" +
                                         c.name + "'.");
            long long id = addObject(c.name, "F", t.id, "");
            std::vector<IndexColumn> refs;
            for (const std::string& r : c.refColumns)
                refs.push_back({ref->columns[static_cast<size_t>(ref->findColumn(r))].name, false});
            std::vector<IndexColumn> cols;
            for (const IndexColumn& ic : c.columns)
                cols.push_back({t.columns[static_cast<size_t>(t.findColumn(ic.name))].name, false});
            Query q(cached(
                "INSERT INTO main._t7_fkeys(constraint_id, table_id, columns, ref_table_id, ref_columns, "
                "on_delete, on_update) VALUES (?, ?, ?, ?, ?, ?, ?)"));
            q.bind(1, id)
                .bind(2, t.id)
                .bind(3, joinColumns(cols))
                .bind(4, ref->id)
                .bind(5, joinColumns(refs));
            q.bind(6, c.onDelete).bind(7, c.onUpdate);
            q.run();
            if (!newTable && !c.noCheck && !isNewTable(t.id)) {
                flushSchema();
                std::string cond, notNull;
                for (size_t i = 0; i < cols.size(); ++i) {
                    cond += (i ? " AND p." : "p.") + quoteIdent(refs[i].name) + " = c." +
                            quoteIdent(cols[i].name);
                    notNull += (i ? " AND c." : "c.") + quoteIdent(cols[i].name) + " IS NOT NULL";
                }
                Query bad(m_db, "SELECT 1 FROM " + quoteIdent(t.name) + " c WHERE " + notNull +
                                    " AND NOT EXISTS (SELECT 1 FROM " + quoteIdent(ref->name) + " p WHERE " +
                                    cond + ") LIMIT 1");
                if (bad.step())
                    throw SqlError(547,
                                   "The ALTER TABLE statement conflicted with the FOREIGN KEY constraint \"" +
                                       c.name + "\". The conflict occurred in database \"" + m_dbName +
                                       "\", table \"dbo." + ref->name + "\", column '" + refs[0].name + "'.");
            }
            // Its triggers come with the first write to either table.
            ForeignKeyRef k;
            k.id = id;
            k.child = t.id;
            k.parent = ref->id;
            k.onDelete = c.onDelete;
            k.onUpdate = c.onUpdate;
            t.foreignKeys.push_back(k);
            t.triggersReady = 0;
            if (ref->id != t.id) m_tables.erase(toUpperAscii(ref->name));
            return;
        }
    }
}

void SessionImpl::runCreateTable(const CreateTableStmt& s) {
    std::string name = objectName(s.table);
    auto t = std::make_shared<TableInfo>();
    t->name = name;
    t->id = addObject(name, "U", 0, "");
    if (s.columns.empty()) throw SqlError(102, "Incorrect syntax near ')'.");
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
    m_tables[toUpperAscii(name)] = t;
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
        if (ref.step())
            throw SqlError(3725, "The constraint '" + name + "' is being referenced by table '" +
                                     ref.text(1) + "', foreign key constraint '" + ref.text(0) + "'.");
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
                if (n.step()) m_tables.erase(toUpperAscii(n.text(0)));
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
    if (i < 0)
        throw SqlError(4924, "ALTER TABLE ALTER COLUMN failed because column '" + def.name +
                                 "' does not exist in table '" + t.name + "'.");
    if (!isKnownType(def.type.name))
        throw SqlError(2715,
                       "Column, parameter, or variable #1: Cannot find data type " + def.type.name + ".");
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
                throw SqlError(5074, "The object '" + ix.name + "' is dependent on column '" + c.name + "'.");
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
    for (auto& [key, table] : m_tables) table->triggersReady = 0;
    Query ck(m_db,
             "SELECT c.constraint_id, c.expr, o.name, c.column_name FROM main._t7_checks c JOIN "
             "main._t7_objects o "
             "ON o.id = c.constraint_id WHERE c.table_id = ?");
    ck.bind(1, t.id);
    std::vector<std::tuple<long long, std::string, std::string, std::string>> checks;
    while (ck.step()) checks.emplace_back(ck.integer(0), ck.text(1), ck.text(2), ck.text(3));
    m_tables[toUpperAscii(t.name)] = std::make_shared<TableInfo>(t);
    for (const auto& [id, e, n, col] : checks) createCheckTriggers(id, t, e, n, col);
}

void SessionImpl::runAlterTable(const AlterTableStmt& s) {
    std::string name = objectName(s.table);
    TablePtr found = findTable(name);
    if (!found || found->isView)
        throw SqlError(4902, "Cannot find the object \"" + name +
                                 "\" because it does not exist or you do not have permissions.");
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
            for (const std::string& n : s.names) {
                long long id = 0;
                std::string xt;
                {
                    // Read and let go of the row: a pending read blocks DROP INDEX.
                    Query q(
                        cached("SELECT id, xtype FROM main._t7_objects WHERE name = ? AND parent_obj = ?"));
                    q.bind(1, n).bind(2, t.id);
                    if (!q.step()) throw SqlError(3728, "'" + n + "' is not a constraint.");
                    id = q.integer(0);
                    xt = q.text(1);
                }
                if (xt == "TR") throw SqlError(3728, "'" + n + "' is not a constraint.");
                dropConstraint(t, id, xt, n);
            }
            break;
        case AlterAction::DropColumn:
            for (const std::string& n : s.names) {
                int i = t.findColumn(n);
                if (i < 0)
                    throw SqlError(4924, "ALTER TABLE DROP COLUMN failed because column '" + n +
                                             "' does not exist in table '" + t.name + "'.");
                const ColumnInfo& c = t.columns[static_cast<size_t>(i)];
                auto dependent = [&](const std::string& obj) {
                    throw SqlError(5074, "The object '" + obj + "' is dependent on column '" + c.name + "'.");
                };
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
                    if (toUpperAscii(ck.text(1)).find(toUpperAscii(c.name)) != std::string::npos)
                        dependent(ck.text(0));
                physical("ALTER TABLE " + quoteIdent(t.name) + " DROP COLUMN " + quoteIdent(c.name));
                Query del(cached("DELETE FROM main._t7_columns WHERE table_id = ? AND colid = ?"));
                del.bind(1, t.id).bind(2, static_cast<long long>(c.colid));
                del.run();
                t.columns.erase(t.columns.begin() + i);
            }
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
                if (!q.step()) throw SqlError(4917, "Constraint '" + n + "' does not exist.");
            }
            return;
    }
    bumpVersion(std::move(t));
}

void SessionImpl::runCreateIndex(const CreateIndexStmt& s) {
    std::string name = objectName(s.table);
    TablePtr found = findTable(name);
    if (!found || found->isView)
        throw SqlError(1088, "Cannot find the object \"" + name +
                                 "\" because it does not exist or you do not have permissions.");
    const TableInfo& t = *found;
    for (const IndexInfo& ix : t.indexes) {
        if (equalsIgnoreCase(ix.name, s.name))
            throw SqlError(1913, "The operation failed because an index or statistics with name '" + s.name +
                                     "' already exists on table 'dbo." + t.name + "'.");
        if (s.clustered && ix.clustered)
            throw SqlError(1902, "Cannot create more than one clustered index on table 'dbo." + t.name +
                                     "'. Drop the existing clustered index '" + ix.name +
                                     "' before creating another.");
    }
    std::string cols;
    for (const IndexColumn& c : s.columns) {
        if (t.findColumn(c.name) < 0)
            throw SqlError(1911, "Column name '" + c.name + "' does not exist in the target table or view.");
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
            throw SqlError(
                1505,
                "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for "
                "the object name 'dbo." +
                    t.name + "' and the index name '" + s.name + "'.");
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
    if (ref.step())
        throw SqlError(3726, "Could not drop object 'dbo." + t.name +
                                 "' because it is referenced by a FOREIGN KEY constraint.");
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
                throw SqlError(3701, "Cannot drop the index '" + tname + "." + name +
                                         "', because it does not exist or you do not have permission.");
            }
            if (found->kind != "IX")
                throw SqlError(3723, "An explicit DROP INDEX is not allowed on index '" + tname + "." + name +
                                         "'. It is being used for " +
                                         (found->kind == "PK" ? "PRIMARY KEY" : "UNIQUE KEY") +
                                         " constraint enforcement.");
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
            throw SqlError(3701, std::string("Cannot drop the ") + kind + " '" + name +
                                     "', because it does not exist or you do not have permission.");
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
        if (!t)
            throw SqlError(8197,
                           "The object '" + tname + "' does not exist or is invalid for this operation.");
        parent = t->id;
    }
    std::string existing;
    long long oldId = findObject(name, &existing);
    if (s.alter) {
        bool same =
            oldId && (existing == xtype || (s.type == ObjectType::Function &&
                                            (existing == "IF" || existing == "TF" || existing == "FN")));
        if (!same) throw SqlError(208, "Invalid object name '" + name + "'.");
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

namespace {

std::string databaseStatementName(const Stmt& s) {
    return s.kind == StmtKind::CreateDatabase ? "CREATE DATABASE" : "DROP DATABASE";
}

SqlError cannotDropDatabase(const std::string& name) {
    return SqlError(3701, "Cannot drop the database '" + name +
                              "', because it does not exist or you do not have permission.");
}

SqlError fileExists(const std::string& shown) {
    return SqlError(5170,
                    "Cannot create file '" + shown +
                        "' because it already exists. Change the file path or the file name, and retry the "
                        "operation.");
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
    if (m_tranCount > 0)
        throw SqlError(
            226, databaseStatementName(s) + " statement not allowed within multi-statement transaction.");
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
    if (databaseExists(s.name))
        throw SqlError(1801, "Database '" + s.name + "' already exists. Choose a different database name.");
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
        throw SqlError(
            5123, "CREATE FILE encountered an error while attempting to open or create the physical file '" +
                      shown + "'.");
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
        if (equalsIgnoreCase(stored, "master") || equalsIgnoreCase(stored, m_dbName) ||
            inUseElsewhere(pathOfUtf8(path)))
            throw SqlError(3702, "Cannot drop database \"" + stored + "\" because it is currently in use.");
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
            if (ec)
                throw SqlError(3702,
                               "Cannot drop database \"" + stored + "\" because it is currently in use.");
            setAside.emplace_back(pathOfUtf8(p), aside);
        }
    }
}

// ---- logins and users --------------------------------------------------

void SessionImpl::runCreateLogin(const LoginStmt& s) {
    requireServerRole(kSecurityadmin, noPermission());
    Query exists(m_db, "SELECT 1 FROM " + m_mst + "._t7_logins WHERE name = ?");
    exists.bind(1, s.name);
    if (exists.step()) throw SqlError(15025, "The server principal '" + s.name + "' already exists.");
    std::string db = s.defaultDatabase.value_or("master");
    std::string stored;
    if (!databaseExists(db, &stored))
        throw SqlError(15010, "The database '" + db +
                                  "' does not exist. Supply a valid database name. To see available "
                                  "databases, use sys.databases.");
    bool checkPolicy = s.checkPolicy.value_or(true);
    Query pol(m_db, "SELECT value FROM " + m_mst + "._t7_server WHERE key = 'policy'");
    bool policyOn = !pol.step() || pol.text(0) != "0";
    if (policyOn && checkPolicy) checkPasswordPolicy(*s.password);
    Query sid(m_db, "SELECT coalesce(max(sid), 0) + 1 FROM " + m_mst + "._t7_logins");
    sid.step();
    long long next = sid.integer(0);
    Query q(m_db, "INSERT INTO " + m_mst +
                      "._t7_logins(name, password, default_db, check_policy, disabled, sid, "
                      "createdate) VALUES (?, ?, ?, ?, 0, ?, ?)");
    q.bind(1, s.name)
        .bind(2, hashPassword(*s.password))
        .bind(3, stored)
        .bind(4, static_cast<long long>(checkPolicy));
    q.bind(5, next).bind(6, currentDateTime());
    q.run();
}

void SessionImpl::runAlterLogin(const LoginStmt& s) {
    Query q(m_db, "SELECT name, password, check_policy FROM " + m_mst + "._t7_logins WHERE name = ?");
    q.bind(1, s.name);
    std::string cannot =
        "Cannot alter the login '" + s.name + "', because it does not exist or you do not have permission.";
    if (!q.step()) throw SqlError(15151, cannot);
    std::string name = q.text(0), stored = q.text(1);
    bool checkPolicy = s.checkPolicy.value_or(q.integer(2) != 0);
    bool self = equalsIgnoreCase(name, m_login);
    // securityadmin manages the logins but not the administrators'.
    bool manages =
        m_sysadmin || ((m_serverRoles & kSecurityadmin) && !(serverRoles(m_db, m_mst, name) & kSysadmin));
    if (!manages && !self) throw noPermission();
    if (s.password) {
        if (s.oldPassword && !checkPassword(stored, *s.oldPassword)) throw SqlError(15151, cannot);
        if (!manages && !s.oldPassword) throw SqlError(15151, cannot);
        Query pol(m_db, "SELECT value FROM " + m_mst + "._t7_server WHERE key = 'policy'");
        bool policyOn = !pol.step() || pol.text(0) != "0";
        if (policyOn && checkPolicy) checkPasswordPolicy(*s.password);
        Query up(m_db, "UPDATE " + m_mst + "._t7_logins SET password = ? WHERE name = ?");
        up.bind(1, hashPassword(*s.password)).bind(2, name);
        up.run();
    }
    if (s.defaultDatabase) {
        std::string db;
        if (!databaseExists(*s.defaultDatabase, &db))
            throw SqlError(15010, "The database '" + *s.defaultDatabase +
                                      "' does not exist. Supply a valid database name. "
                                      "To see available databases, use sys.databases.");
        Query up(m_db, "UPDATE " + m_mst + "._t7_logins SET default_db = ? WHERE name = ?");
        up.bind(1, db).bind(2, name);
        up.run();
    }
    if (s.checkPolicy) {
        Query up(m_db, "UPDATE " + m_mst + "._t7_logins SET check_policy = ? WHERE name = ?");
        up.bind(1, static_cast<long long>(*s.checkPolicy)).bind(2, name);
        up.run();
    }
    if (s.enable) {
        Query up(m_db, "UPDATE " + m_mst + "._t7_logins SET disabled = ? WHERE name = ?");
        up.bind(1, static_cast<long long>(!*s.enable)).bind(2, name);
        up.run();
    }
}

void SessionImpl::runDropLogin(const NameStmt& s) {
    const std::string& name = s.names[0];
    Query q(m_db, "SELECT name FROM " + m_mst + "._t7_logins WHERE name = ?");
    q.bind(1, name);
    bool found = q.step();
    bool manages = m_sysadmin || (found && (m_serverRoles & kSecurityadmin) &&
                                  !(serverRoles(m_db, m_mst, q.text(0)) & kSysadmin));
    if (!found || !manages)
        throw SqlError(15151, "Cannot drop the login '" + name +
                                  "', because it does not exist or you do not have permission.");
    if (equalsIgnoreCase(q.text(0), "sa") || equalsIgnoreCase(q.text(0), m_login))
        throw SqlError(15434, "Could not drop login '" + name + "' as the user is currently logged in.");
    Query d(m_db, "DELETE FROM " + m_mst + "._t7_logins WHERE name = ?");
    d.bind(1, name);
    d.run();
    Query r(m_db, "DELETE FROM " + m_mst + "._t7_srvrolemembers WHERE login = ?");
    r.bind(1, name);
    r.run();
}

void SessionImpl::runAddLogin(const ExecStmt& s) {
    // The old way to make a login: no password policy, as before it had one.
    std::vector<std::string> args = procedureArgs(s, "sp_addlogin", {"@loginame", "@passwd", "@defdb"}, 1);
    LoginStmt login(StmtKind::CreateLogin);
    login.name = args[0];
    login.password = args.size() > 1 ? args[1] : std::string();
    if (args.size() > 2 && !args[2].empty()) login.defaultDatabase = args[2];
    login.checkPolicy = false;
    runCreateLogin(login);
}

std::vector<std::string> SessionImpl::procedureArgs(const ExecStmt& s, const std::string& proc,
                                                    const std::vector<std::string>& names, size_t required) {
    std::vector<std::optional<std::string>> given(names.size());
    for (size_t i = 0; i < s.args.size(); ++i) {
        size_t p = i;
        if (!s.args[i].param.empty()) {
            p = names.size();
            for (size_t k = 0; k < names.size(); ++k)
                if (equalsIgnoreCase(names[k], s.args[i].param)) p = k;
            if (p == names.size())
                throw SqlError(8145, s.args[i].param + " is not a parameter for procedure " + proc + ".");
        } else if (p >= names.size()) {
            throw SqlError(8144, "Procedure or function " + proc + " has too many arguments specified.");
        }
        Value v = evaluate(*s.args[i].value);
        if (!v.isNull()) given[p] = v.toText();
    }
    std::vector<std::string> args;
    for (size_t p = 0; p < names.size(); ++p) {
        if (!given[p] && p < required)
            throw SqlError(201, "Procedure or function '" + proc + "' expects parameter '" + names[p] +
                                    "', which was not supplied.");
        args.push_back(given[p].value_or(std::string()));
    }
    while (args.size() > required && args.back().empty()) args.pop_back();
    return args;
}

void SessionImpl::runCreateUser(const CreateUserStmt& s) {
    requireUserAdmin();
    Query exists(cached("SELECT 1 FROM main._t7_users WHERE name = ?"));
    exists.bind(1, s.name);
    if (exists.step())
        throw SqlError(15023,
                       "User, group, or role '" + s.name + "' already exists in the current database.");
    std::string login = s.withoutLogin ? std::string() : (s.login.empty() ? s.name : s.login);
    if (!login.empty()) {
        Query l(m_db, "SELECT name FROM " + m_mst + "._t7_logins WHERE name = ?");
        l.bind(1, login);
        if (!l.step())
            throw SqlError(15007, "'" + login + "' is not a valid login or you do not have permission.");
        login = l.text(0);
        Query mapped(cached("SELECT 1 FROM main._t7_users WHERE login = ?"));
        mapped.bind(1, login);
        if (mapped.step())
            throw SqlError(15063, "The login already has an account under a different user name.");
    }
    Query uid(
        cached("SELECT max(coalesce((SELECT max(uid) FROM main._t7_users WHERE uid < 16384), 4) + 1, 5)"));
    uid.step();
    long long next = uid.integer(0);
    Query q(cached(
        "INSERT INTO main._t7_users(uid, name, login, default_schema, is_role) VALUES (?, ?, ?, ?, 0)"));
    q.bind(1, next).bind(2, s.name);
    if (login.empty())
        q.bindNull(3);
    else
        q.bind(3, login);
    q.bind(4, s.defaultSchema.empty() ? std::string("dbo") : s.defaultSchema);
    q.run();
}

void SessionImpl::runDropUser(const NameStmt& s) {
    requireUserAdmin();
    const std::string& name = s.names[0];
    Query q(cached("SELECT uid, is_role FROM main._t7_users WHERE name = ?"));
    q.bind(1, name);
    if (!q.step() || q.integer(1) != 0 || q.integer(0) < 5)
        throw SqlError(15151, "Cannot drop the user '" + name +
                                  "', because it does not exist or you do not have permission.");
    long long uid = q.integer(0);
    Query a(cached("DELETE FROM main._t7_rolemembers WHERE member_uid = ?"));
    a.bind(1, uid);
    a.run();
    Query b(cached("DELETE FROM main._t7_users WHERE uid = ?"));
    b.bind(1, uid);
    b.run();
}

void SessionImpl::roleMember(const ExecStmt& s, bool add) {
    std::string proc = add ? "sp_addrolemember" : "sp_droprolemember";
    std::vector<std::string> args = procedureArgs(s, proc, {"@rolename", "@membername"}, 2);
    requireRoleAdmin(args[0]);
    Query r(cached("SELECT uid FROM main._t7_users WHERE name = ? AND is_role = 1"));
    r.bind(1, args[0]);
    if (!r.step())
        throw SqlError(15014, "The role '" + args[0] + "' does not exist in the current database.");
    long long role = r.integer(0);
    Query m(cached("SELECT uid FROM main._t7_users WHERE name = ?"));
    m.bind(1, args[1]);
    if (!m.step()) throw SqlError(15410, "User or role '" + args[1] + "' does not exist in this database.");
    long long member = m.integer(0);
    if (member == 1 && add) throw SqlError(15405, "Cannot use the special principal 'dbo'.");
    Query q(cached(add ? "INSERT OR IGNORE INTO main._t7_rolemembers(role_uid, member_uid) VALUES (?, ?)"
                       : "DELETE FROM main._t7_rolemembers WHERE role_uid = ? AND member_uid = ?"));
    q.bind(1, role).bind(2, member);
    q.run();
}

}  // namespace sqlengine
