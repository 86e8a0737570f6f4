// SELECT, INSERT, UPDATE, DELETE and TRUNCATE on tables (views: Views.cpp).
#include <algorithm>
#include <optional>

#include "sqlengine/Functions.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"
#include "sqlengine/Parser.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

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
    if (assigns && plain) throw sqlError<Msg::AssignmentWithRetrieval>();
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

namespace {

// Which table column each value of an INSERT goes to.
std::vector<int> insertTargets(const TableInfo& t, const std::vector<std::string>& columns,
                               bool identityInsert) {
    std::vector<int> target;
    if (columns.empty()) {
        if (identityInsert) throw sqlError<Msg::IdentityNeedsColumnList>(t.name);
        for (size_t i = 0; i < t.columns.size(); ++i)
            if (!t.columns[i].identity) target.push_back(static_cast<int>(i));
        return target;
    }
    for (const std::string& c : columns) {
        int i = t.findColumn(c);
        if (i < 0) throw sqlError<Msg::InvalidColumnName>(c);
        if (std::find(target.begin(), target.end(), i) != target.end())
            throw sqlError<Msg::ColumnSpecifiedTwice>(c);
        target.push_back(i);
    }
    return target;
}

}  // namespace

// The SQL of one INSERT: the values given, and what the columns without
// one get.
struct InsertWriter {
    SessionImpl& session;
    Translator& tr;
    const TableInfo& t;
    bool explicitIdentity;
    int identIndex;
    // A write rule per column that gets a value; the numbering follows the
    // columns, so statements of one shape keep one text.
    std::vector<int> rules;
    // Where each table column's value stands among the given ones, or -1.
    std::vector<int> valueAt;
    // The columns the statement names: a nullable column without a default
    // that gets no value is left out, and SQLite fills it with NULL.
    std::vector<size_t> written;

    InsertWriter(SessionImpl& s, Translator& translator, const TableInfo& table,
                 const std::vector<int>& target, bool explicitId, int identity)
        : session(s),
          tr(translator),
          t(table),
          explicitIdentity(explicitId),
          identIndex(identity),
          rules(table.columns.size(), -1),
          valueAt(table.columns.size(), -1) {
        for (size_t k = 0; k < target.size(); ++k)
            valueAt[static_cast<size_t>(target[k])] = static_cast<int>(k);
        for (size_t i = 0; i < t.columns.size(); ++i) {
            const ColumnInfo& c = t.columns[i];
            if (valueAt[i] >= 0 || c.identity || c.notNull || !c.defaultText.empty()) written.push_back(i);
        }
        if (written.empty()) written.push_back(0);
    }
    std::string write(size_t i, const std::string& value) {
        if (rules[i] < 0) rules[i] = session.addWriteRule(t.columns[i], t, false);
        return "_t7_w(" + std::to_string(rules[i]) + ", " + value + ")";
    }
    std::string defaultFor(size_t i) {
        const ColumnInfo& c = t.columns[i];
        if (c.identity && !explicitIdentity) return "_t7_nextid(" + std::to_string(identIndex) + ")";
        if (!c.defaultText.empty()) return write(i, tr.expr(*parseExpression(c.defaultText)));
        if (!c.notNull) return std::string("NULL");
        return write(i, "NULL");
    }
    std::string head() const {
        std::string cols;
        for (size_t i : written) cols += (cols.empty() ? "" : ", ") + quoteIdent(t.columns[i].name);
        return "INSERT INTO " + quoteIdent(t.name) + "(" + cols + ") ";
    }
    std::string fromSelect(const Select& select, size_t values) {
        std::string cte = "WITH _t7s(";
        for (size_t k = 0; k < values; ++k) cte += (k ? ", c" : "c") + std::to_string(k);
        cte += ") AS (" + tr.select(select) + ") ";
        std::string sql = cte + head() + "SELECT ";
        for (size_t n = 0; n < written.size(); ++n) {
            size_t i = written[n];
            sql += (n ? ", " : "") +
                   (valueAt[i] >= 0 ? write(i, "c" + std::to_string(valueAt[i])) : defaultFor(i));
        }
        return sql + " FROM _t7s";
    }
    // One row of VALUES; `row` is null for DEFAULT VALUES.
    std::string row(const std::vector<ExprPtr>* row) {
        std::string sql = "(";
        for (size_t n = 0; n < written.size(); ++n) {
            size_t i = written[n];
            if (n) sql += ", ";
            const Expr* v = row && valueAt[i] >= 0 ? (*row)[static_cast<size_t>(valueAt[i])].get() : nullptr;
            sql += !v || v->kind == ExprKind::Default ? defaultFor(i) : write(i, tr.expr(*v));
        }
        return sql + ")";
    }
};

void SessionImpl::runWrite(Translator& tr, const std::string& sql) {
    Query q = prepare(sql);
    tr.bindAll(q);
    q.run();
    m_rowcount = sqlite3_changes(m_db);
    countRows(m_rowcount);
}

int SessionImpl::startIdentity(const TableInfo& t, const ColumnInfo& c) {
    Query q(cached("SELECT ident_current FROM main._t7_columns WHERE table_id = ? AND colid = ?"));
    q.bind(1, t.id).bind(2, static_cast<long long>(c.colid));
    IdentityState st;
    st.tableId = t.id;
    st.colid = c.colid;
    st.step = c.step;
    st.next = q.step() && !q.isNull(0) ? q.integer(0) + c.step : c.seed;
    m_identities.push_back(st);
    return static_cast<int>(m_identities.size() - 1);
}

void SessionImpl::raiseIdentityCurrent(const TableInfo& t, const ColumnInfo& c) {
    Query mx(m_db, std::string("SELECT ") + (c.step > 0 ? "max(" : "min(") + quoteIdent(c.name) + ") FROM " +
                       quoteIdent(t.name));
    if (!mx.step() || mx.isNull(0)) return;
    long long v = mx.integer(0);
    Query cur(cached("SELECT ident_current FROM main._t7_columns WHERE table_id = ? AND colid = ?"));
    cur.bind(1, t.id).bind(2, static_cast<long long>(c.colid));
    bool has = cur.step() && !cur.isNull(0);
    // Before any value was generated the seed is where counting starts.
    long long now = has ? cur.integer(0) : c.seed - c.step;
    if (c.step > 0 ? v > now : v < now) {
        Query up(cached("UPDATE main._t7_columns SET ident_current = ? WHERE table_id = ? AND colid = ?"));
        up.bind(1, v).bind(2, t.id).bind(3, static_cast<long long>(c.colid));
        up.run();
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
    std::vector<int> target = insertTargets(*t, *columns, identityInsert);
    bool explicitIdentity = ident >= 0 && std::find(target.begin(), target.end(), ident) != target.end();
    if (explicitIdentity && !identityInsert) throw sqlError<Msg::IdentityInsertOff>(t->name);
    if (identityInsert && !explicitIdentity) throw sqlError<Msg::IdentityValueRequired>(t->name);
    int identIndex =
        ident >= 0 && !explicitIdentity ? startIdentity(*t, t->columns[static_cast<size_t>(ident)]) : -1;
    Translator tr(*this);
    InsertWriter w(*this, tr, *t, target, explicitIdentity, identIndex);
    std::string sql;
    if (s.select) {
        sql = w.fromSelect(*s.select, target.size());
    } else if (s.defaultValues) {
        sql = w.head() + "VALUES " + w.row(nullptr);
    } else {
        sql = w.head() + "VALUES ";
        for (size_t r = 0; r < s.rows.size(); ++r) {
            if (s.rows[r].size() > target.size()) throw sqlError<Msg::MoreColumnsThanValues>();
            if (s.rows[r].size() < target.size()) throw sqlError<Msg::FewerColumnsThanValues>();
            sql += (r ? ", " : "") + w.row(&s.rows[r]);
        }
    }
    runWrite(tr, sql);
    if (explicitIdentity) raiseIdentityCurrent(*t, t->columns[static_cast<size_t>(ident)]);
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

void SessionImpl::assignFromRows(Translator& tr, const std::vector<std::pair<std::string, std::string>>& vars,
                                 const std::string& from) {
    // Evaluated over the rows being updated; the last row wins.
    std::string sql = "SELECT ";
    for (size_t i = 0; i < vars.size(); ++i) sql += (i ? ", " : "") + vars[i].second;
    Query q = prepare(sql + from);
    tr.bindAll(q);
    std::vector<Value> last;
    while (q.step()) {
        last.clear();
        for (int i = 0; i < q.columns(); ++i) last.push_back(q.value(i));
    }
    if (last.empty()) return;
    for (size_t i = 0; i < vars.size(); ++i)
        if (vars[i].second != "NULL") assign(vars[i].first, last[i]);
}

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
            if (!m_vars.count(a.variable)) throw sqlError<Msg::UndeclaredVariable>(a.variable);
            varAssign.emplace_back(a.variable, tr.expr(*a.value));
            continue;
        }
        int i = t->findColumn(a.column);
        if (i < 0) throw sqlError<Msg::InvalidColumnName>(a.column);
        const ColumnInfo& c = t->columns[static_cast<size_t>(i)];
        if (c.identity) throw sqlError<Msg::IdentityNotUpdatable>(c.name);
        int rule = addWriteRule(c, *t, true);
        std::string value = a.value->kind != ExprKind::Default ? tr.expr(*a.value)
                            : c.defaultText.empty()            ? std::string("NULL")
                                                               : tr.expr(*parseExpression(c.defaultText));
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
        if (!varAssign.empty()) assignFromRows(tr, varAssign, inner.substr(inner.find(" FROM ")));
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
    runWrite(tr, sql);
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
    runWrite(tr, sql);
}

void SessionImpl::runTruncate(const TruncateStmt& s) {
    TablePtr t = requireTable(s.table);
    requireAlter(t->name);
    Query ref(cached("SELECT 1 FROM main._t7_fkeys WHERE ref_table_id = ? AND table_id <> ?"));
    ref.bind(1, t->id).bind(2, t->id);
    if (ref.step()) throw sqlError<Msg::TruncateReferencedTable>(t->name);
    execSql(m_db, "DELETE FROM " + quoteIdent(t->name));
    Query q(cached("UPDATE main._t7_columns SET ident_current = NULL WHERE table_id = ?"));
    q.bind(1, t->id);
    q.run();
}

void SessionImpl::runSetIdentityInsert(const SetIdentityInsertStmt& s) {
    TablePtr t = requireTable(s.table);
    requireAlter(t->name);
    if (t->identityColumn() < 0) throw sqlError<Msg::NoIdentityProperty>(t->name);
    if (s.on) {
        if (!m_identityInsertTable.empty() && !equalsIgnoreCase(m_identityInsertTable, t->name))
            throw sqlError<Msg::IdentityInsertAlreadyOn>(m_dbName + ".dbo." + m_identityInsertTable, t->name);
        m_identityInsertTable = t->name;
    } else if (equalsIgnoreCase(m_identityInsertTable, t->name)) {
        m_identityInsertTable.clear();
    }
}

}  // namespace sqlengine
