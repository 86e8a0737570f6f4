// INSERT, UPDATE and DELETE through a view, as SQL Server allows them: the
// view reads one base table without aggregates, DISTINCT, GROUP BY, TOP or
// UNION, and the columns written are plain columns of that table. UPDATE and
// DELETE reach the base rows that the view shows (its WHERE included)
// through their rowids.
#include <vector>

#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"
#include "sqlengine/Parser.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

namespace {

bool isAggregate(const std::string& function) {
    return function == "count" || function == "sum" || function == "avg" || function == "min" ||
           function == "max" || function == "count_big" || function == "stdev" || function == "var";
}

// Any aggregate in the tree; walked with a list, as the tree may be tall.
bool hasAggregate(const Expr& root) {
    std::vector<const Expr*> pending{&root};
    while (!pending.empty()) {
        const Expr* e = pending.back();
        pending.pop_back();
        if (e->kind == ExprKind::Function && isAggregate(e->text) && !e->over) return true;
        for (const ExprPtr& a : e->args)
            if (a) pending.push_back(a.get());
    }
    return false;
}

}  // namespace

std::vector<std::string> UpdatableView::baseColumns(const std::vector<std::string>& written) const {
    std::vector<std::string> out;
    auto column = [&](size_t i) {
        const Expr& e = *items[i];
        if (e.kind != ExprKind::Column) throw sqlError<Msg::ViewHasDerivedField>(name);
        out.push_back(e.name.last());
    };
    if (written.empty()) {
        for (size_t i = 0; i < items.size(); ++i) column(i);
        return out;
    }
    for (const std::string& w : written) {
        size_t i = 0;
        while (i < names.size() && !equalsIgnoreCase(names[i], w)) ++i;
        if (i == names.size()) throw sqlError<Msg::InvalidColumnName>(w);
        column(i);
    }
    return out;
}

UpdatableView SessionImpl::updatableView(const TableInfo& view) {
    UpdatableView v;
    v.name = view.name;
    Query q(cached("SELECT definition FROM main._t7_objects WHERE id = ?"));
    q.bind(1, view.id);
    if (q.step()) v.parsed = parseBatch(q.text(0));
    const auto* create = v.parsed.size() == 1 && v.parsed[0]->kind == StmtKind::CreateModule
                             ? static_cast<const CreateModuleStmt*>(v.parsed[0].get())
                             : nullptr;
    if (!create || !create->select) throw sqlError<Msg::ViewNotUpdatable>(view.name);
    const Select& s = *create->select;
    v.select = create->select;
    if (!s.compound.empty()) throw sqlError<Msg::ViewHasUnion>(view.name);
    bool aggregates = s.distinct || !s.groupBy.empty() || s.having;
    for (const SelectItem& item : s.items) aggregates = aggregates || hasAggregate(*item.expr);
    if (aggregates) throw sqlError<Msg::ViewHasAggregates>(view.name);
    const TableRef* from = s.from.size() == 1 ? s.from[0].get() : nullptr;
    if (!from || from->join != JoinKind::None || from->derived)
        throw sqlError<Msg::ViewAffectsMultipleTables>(view.name);
    TablePtr base = findTable(from->name.last());
    if (s.top || !base || base->isView) throw sqlError<Msg::ViewNotUpdatable>(view.name);
    v.base = base;
    v.baseAlias = from->alias.empty() ? from->name.last() : from->alias;
    for (size_t i = 0; i < s.items.size(); ++i) {
        const SelectItem& item = s.items[i];
        if (item.expr->kind == ExprKind::Star) {
            // v.* or *: the base table's columns, as the view was made.
            for (const ColumnInfo& c : base->columns) {
                auto col = std::make_unique<Expr>();
                col->kind = ExprKind::Column;
                col->name.parts = {c.name};
                v.names.push_back(c.name);
                v.items.push_back(col.get());
                v.starColumns.push_back(std::move(col));
            }
            continue;
        }
        v.names.push_back(Translator::itemName(item));
        v.items.push_back(item.expr.get());
    }
    for (size_t i = 0; i < create->viewColumns.size() && i < v.names.size(); ++i)
        v.names[i] = create->viewColumns[i];
    return v;
}

std::string SessionImpl::viewRows(Translator& tr, const UpdatableView& v) {
    // The view's rows with the rowid of each, under the view's name and
    // column names, for the statement's WHERE and SET to read.
    std::string inner = tr.select(*v.select);
    inner.insert(7, quoteIdent(v.baseAlias) + ".rowid AS _t7rid, ");  // after "SELECT "
    std::string sql = "WITH " + quoteIdent(v.name) + "(_t7rid";
    for (const std::string& n : v.names) sql += ", " + quoteIdent(n);
    return sql + ") AS (" + inner + ") ";
}

void SessionImpl::updateView(const UpdateStmt& s, const TableInfo& view) {
    if (!s.from.empty()) throw sqlError<Msg::ViewNotUpdatable>(view.name);
    UpdatableView v = updatableView(view);
    TableInfo& base = *v.base;
    ensureForeignKeyTriggers(base, kUpdateRows);
    Translator tr(*this);
    std::string rows = viewRows(tr, v);
    tr.pushTable(view.name, std::make_shared<TableInfo>(view));
    std::vector<std::string> written;
    for (const Assignment& a : s.sets) {
        if (a.column.empty()) throw sqlError<Msg::ViewNotUpdatable>(view.name);
        written.push_back(a.column);
    }
    std::vector<std::string> columns = v.baseColumns(written);
    std::string set, values;
    for (size_t i = 0; i < s.sets.size(); ++i) {
        int c = base.findColumn(columns[i]);
        if (c < 0) throw sqlError<Msg::InvalidColumnName>(columns[i]);
        const ColumnInfo& col = base.columns[static_cast<size_t>(c)];
        if (col.identity) throw sqlError<Msg::IdentityNotUpdatable>(col.name);
        std::string value =
            s.sets[i].value->kind == ExprKind::Default
                ? (col.defaultText.empty() ? "NULL" : tr.expr(*parseExpression(col.defaultText)))
                : tr.expr(*s.sets[i].value);
        std::string n = std::to_string(i);
        values += ", _t7_w(" + std::to_string(addWriteRule(col, base, true)) + ", " + value + ") AS v" + n;
        set += (i ? ", " : "") + quoteIdent(col.name) + " = _t7u.v" + n;
    }
    std::string sql = "UPDATE " + quoteIdent(base.name) + " SET " + set + " FROM (" + rows + "SELECT _t7rid" +
                      values + " FROM " + quoteIdent(view.name);
    if (s.where) sql += " WHERE " + tr.expr(*s.where);
    if (s.top) sql += " LIMIT " + tr.expr(*s.top);
    sql += ") AS _t7u WHERE " + quoteIdent(base.name) + ".rowid = _t7u._t7rid";
    tr.popScope();
    Query q = prepare(sql);
    tr.bindAll(q);
    q.run();
    m_rowcount = sqlite3_changes(m_db);
}

void SessionImpl::deleteFromView(const DeleteStmt& s, const TableInfo& view) {
    if (!s.from.empty()) throw sqlError<Msg::ViewNotUpdatable>(view.name);
    UpdatableView v = updatableView(view);
    ensureForeignKeyTriggers(*v.base, kDeleteRows);
    Translator tr(*this);
    std::string sql = "DELETE FROM " + quoteIdent(v.base->name) + " WHERE rowid IN (" + viewRows(tr, v) +
                      "SELECT _t7rid FROM " + quoteIdent(view.name);
    tr.pushTable(view.name, std::make_shared<TableInfo>(view));
    if (s.where) sql += " WHERE " + tr.expr(*s.where);
    if (s.top) sql += " LIMIT " + tr.expr(*s.top);
    tr.popScope();
    sql += ")";
    Query q = prepare(sql);
    tr.bindAll(q);
    q.run();
    m_rowcount = sqlite3_changes(m_db);
}

}  // namespace sqlengine
