#pragma once
// SQLite schema changes held back during a run of DDL statements: each
// change makes SQLite prepare every statement again, so a script's tables,
// indexes and constraint triggers go to SQLite together, just before
// anything needs them. Tables created by the held-back SQL are still empty.
//
// This class keeps the held-back SQL and its bookkeeping; carrying it out
// is the session's (SessionImpl::flushSchema).
#include <string>
#include <utility>
#include <vector>

namespace sqlengine {

class PendingSchema {
public:
    // Whether the running statement may hold its changes back.
    bool deferring() const { return m_deferring; }
    bool empty() const { return m_sql.empty(); }
    // Holds `sql` back; `newTable` is the id of the table it creates, or 0.
    void add(const std::string& sql, long long newTable);
    // Whether the table was created by SQL still held back.
    bool isNewTable(long long id) const;
    void clear();

    // An outermost statement begins; what is held back so far belongs to
    // the statements before it.
    void beginStatement(bool deferring);
    // It failed: what it held back is dropped, and what earlier statements
    // held back is held back again even when it was carried out under the
    // statement's savepoint.
    void undoStatement();
    void endStatement();

    // Hands over the held-back SQL to be carried out. `inStatement`: a
    // statement's savepoint covers the work, so the earlier statements'
    // part is remembered for undoStatement.
    std::string take(bool inStatement);

private:
    std::string m_sql;
    // Tables created by m_sql, with the offset where their CREATE starts.
    std::vector<std::pair<long long, size_t>> m_newTables;
    bool m_deferring = false;
    size_t m_statementStart = 0;
    // Carried out within the running statement: the part of earlier
    // statements, for its undo.
    bool m_takenInStatement = false;
    std::string m_takenEarlier;
    std::vector<std::pair<long long, size_t>> m_takenEarlierTables;
};

}  // namespace sqlengine
