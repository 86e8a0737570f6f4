// Schema changes held back until a statement needs them, so that a
// script's DDL reaches SQLite in one piece (see SessionImpl.h).
#include "sqlengine/PendingSchema.h"

#include <algorithm>
#include <optional>

#include "sqlengine/Functions.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"
#include "sqlengine/Parser.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

void PendingSchema::add(const std::string& sql, long long newTable) {
    if (newTable) m_newTables.emplace_back(newTable, m_sql.size());
    m_sql += sql;
    m_sql += ";\n";
}

bool PendingSchema::isNewTable(long long id) const {
    for (const auto& [table, offset] : m_newTables)
        if (table == id) return true;
    return false;
}

void PendingSchema::clear() {
    m_sql.clear();
    m_newTables.clear();
    m_takenInStatement = false;
}

void PendingSchema::beginStatement(bool deferring) {
    m_deferring = deferring;
    m_statementStart = m_sql.size();
    m_takenInStatement = false;
}

void PendingSchema::undoStatement() {
    if (m_takenInStatement) {
        m_sql = std::move(m_takenEarlier);
        m_newTables = std::move(m_takenEarlierTables);
    } else {
        m_sql.resize(std::min(m_sql.size(), m_statementStart));
        std::erase_if(m_newTables, [&](const auto& t) { return t.second >= m_statementStart; });
    }
    endStatement();
}

void PendingSchema::endStatement() {
    m_takenInStatement = false;
    m_deferring = false;
}

std::string PendingSchema::take(bool inStatement) {
    if (inStatement && !m_takenInStatement) {
        m_takenInStatement = true;
        m_takenEarlier = m_sql.substr(0, m_statementStart);
        m_takenEarlierTables.clear();
        for (const auto& t : m_newTables)
            if (t.second < m_statementStart) m_takenEarlierTables.push_back(t);
    }
    std::string sql;
    sql.swap(m_sql);
    m_newTables.clear();
    return sql;
}

void SessionImpl::deferSchema(const std::string& sql, long long newTable) {
    if (!m_pending.deferring()) return physical(sql);
    m_pending.add(sql, newTable);
}

void SessionImpl::physical(const std::string& sql) {
    flushSchema();
    execSql(m_db, sql);
}

bool SessionImpl::isNewTable(long long id) const {
    return m_pending.isNewTable(id);
}

void SessionImpl::dropPendingSchema() {
    m_pending.clear();
}

void SessionImpl::flushSchema() {
    if (m_pending.empty()) return;
    std::string sql = m_pending.take(m_execDepth > 0);
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

}  // namespace sqlengine
