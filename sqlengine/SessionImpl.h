#pragma once
// The session: one login connected to one database at a time. It parses a
// batch, translates each statement to SQLite SQL over the database file and
// keeps the T-SQL catalog (types, lengths, identity, constraints) in hidden
// tables of that file.
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "sqlengine/Ast.h"
#include "sqlengine/Engine.h"
#include "sqlengine/Sqlite.h"
#include "sqlengine/Values.h"

namespace sqlengine {

// What the server and its sessions share.
struct ServerCore {
    std::filesystem::path folder;
    std::filesystem::path masterPath;
    std::filesystem::path dataFolder;
    PathMapper mapper;
};

// Opens a SQLite connection with the engine's settings and functions.
sqlite3* openConnection(const std::filesystem::path& file, bool create);
// Creates the hidden catalog tables of a new database file.
void createDatabaseCatalog(sqlite3* db);
void createMasterCatalog(sqlite3* db);
std::string hashPassword(const std::string& password);
bool checkPassword(const std::string& stored, const std::string& password);
// Password policy: raises SqlError 15118 for a weak password.
void checkPasswordPolicy(const std::string& password);

struct ColumnInfo {
    int colid = 0;
    std::string name;
    TypeSpec type;
    bool notNull = false;
    bool identity = false;
    long long seed = 1, step = 1;
    std::string collation;
    std::string defaultText;
    long long defaultId = 0;
};

struct IndexInfo {
    int indexId = 0;
    std::string name;
    std::string kind;  // PK, UQ, IX
    bool unique = false, clustered = false;
    std::vector<IndexColumn> columns;
    long long constraintId = 0;
    std::string sqliteName;
};

// A foreign key the table takes part in, as child, parent or both.
struct ForeignKeyRef {
    long long id = 0;
    long long child = 0, parent = 0;
    std::string onDelete, onUpdate;
};

// The SQLite triggers that enforce foreign keys are made when a statement
// first writes to one of their tables, not with the key: most keys of a
// schema script are never exercised in the session that creates them.
enum ForeignKeyWrite : unsigned { kInsertRows = 1, kUpdateRows = 2, kDeleteRows = 4 };

struct TableInfo {
    long long id = 0;
    std::string name;
    bool isView = false;
    std::vector<ColumnInfo> columns;
    std::vector<IndexInfo> indexes;
    std::vector<ForeignKeyRef> foreignKeys;
    // ForeignKeyWrite bits whose triggers are known to exist.
    unsigned triggersReady = 0;
    int findColumn(const std::string& name) const;
    int identityColumn() const;
};
using TablePtr = std::shared_ptr<TableInfo>;

struct Variable {
    TypeSpec type;
    Value value;
};

// Per-statement descriptions used by the engine's SQL functions.
struct WriteRule {
    TypeSpec type;
    bool notNull = false;
    std::string column, table;
    bool update = false;
};

struct IdentityState {
    long long tableId = 0;
    int colid = 0;
    long long step = 1;
    long long next = 1;
    long long last = 0;
    bool used = false;
};

class SessionImpl : public Session {
public:
    SessionImpl(std::shared_ptr<ServerCore> core, std::string login, const std::string& database);
    ~SessionImpl() override;

    BatchResult executeBatch(std::string_view batch) override;
    void useDatabase(const std::string& name) override;
    void beginScript() override { m_inScript = true; }
    void endScript() override;
    std::string currentDatabase() const override { return m_dbName; }
    void cancel() override;

    // Used by the SQL functions.
    std::vector<WriteRule> m_writeRules;
    std::vector<IdentityState> m_identities;
    std::string m_dbName;

private:
    friend class Translator;

public:
    int tranCount() const { return m_tranCount; }

private:
    enum class Flow { Normal, Break, Continue, Return };

    std::shared_ptr<ServerCore> m_core;
    std::string m_login;
    bool m_sysadmin = false;
    sqlite3* m_db = nullptr;
    // cancel() comes from another thread: it interrupts m_db while a batch
    // runs; m_dbLock guards m_db being replaced meanwhile.
    std::mutex m_dbLock;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_cancelled{false};
    std::string m_mst = "main";  // schema of the master catalog on this connection
    bool m_inTransaction = false;
    // Within a script the transaction outlives the batch (see endScript).
    bool m_inScript = false;
    int m_savepointDepth = 0;
    // Prepared statements by their SQL text, the catalog's own and the
    // translated ones; emptied between batches once it holds more than
    // kCachedStatements.
    static constexpr size_t kCachedStatements = 400;
    std::unordered_map<std::string, sqlite3_stmt*> m_cache;

    // SQLite schema changes held back during a run of DDL statements: each
    // change makes SQLite prepare every statement again, so a script's
    // tables, indexes and constraint triggers go to SQLite together, just
    // before anything needs them (see flushSchema). Tables created by the
    // held-back SQL are still empty; the offset is where their CREATE starts.
    std::string m_pendingSchema;
    std::vector<std::pair<long long, size_t>> m_newTables;
    bool m_deferring = false;
    // What was held back before the running statement, for its undo when a
    // flush within it carried that out under the statement's savepoint.
    size_t m_leafPendingStart = 0;
    bool m_flushedInLeaf = false;
    std::string m_flushedEarlier;
    std::vector<std::pair<long long, size_t>> m_flushedEarlierTables;

    long long m_catalogVersion = -1;
    // The catalog changed in this transaction; the stored version is
    // raised once, when it commits (see commit()).
    bool m_versionPending = false;
    // PRAGMA data_version of this database and of master as last seen; -1
    // until read (see refreshCatalog and checkRunning).
    long long m_dataVersion = -1;
    long long m_masterDataVersion = -1;
    std::unordered_map<std::string, TablePtr> m_tables;

    std::unordered_map<std::string, Variable> m_vars;
    std::string m_identityInsertTable;
    Value m_lastIdentity;
    long long m_rowcount = 0;
    BatchResult* m_result = nullptr;
    int m_execDepth = 0;
    bool m_singleStatement = false;
    int m_tranCount = 0;

    // connection and transactions
    void open(const std::string& database);
    void close();
    void begin(bool write = false);
    void commit();
    // Commits the batch's work, unless a script goes on.
    void endBatch();
    sqlite3_stmt* cached(const std::string& sql);
    // A translated statement: kept prepared for the next statement of the
    // same shape, or prepared afresh while the kept one is still running.
    Query prepare(const std::string& sql);
    void checkRunning();
    void refreshCatalog();
    void catalogChanged();
    std::string userName();

    // running
    Flow run(const Stmt& s);
    Flow runLeaf(const Stmt& s);
    void runStatement(const Stmt& s);
    SqlError mapError(const SqliteError& e);
    Value evaluate(const Expr& e);
    bool condition(const Expr& e);
    void assign(const std::string& var, const Value& v);
    void runSelect(const SelectStmt& s);
    // The T-SQL types of a query's result columns.
    std::vector<ColumnType> resultTypes(const Query& q, const Select& sel, const ResultSet& rs,
                                        const std::vector<int>& kinds);
    void countRows(long long rows, int resultSet = -1);
    void runInsert(const InsertStmt& s);
    void runUpdate(const UpdateStmt& s);
    void runDelete(const DeleteStmt& s);
    void runTruncate(const TruncateStmt& s);
    void runExec(const ExecStmt& s);
    void runProcedure(const std::string& name, const ExecStmt& s);
    void runExecString(const ExecStringStmt& s);
    void runText(const std::string& sql);
    void runTransaction(const std::string& action);
    void runDeclare(const DeclareStmt& s);
    void runSetIdentityInsert(const SetIdentityInsertStmt& s);
    void finishIdentities();
    int addWriteRule(const ColumnInfo& c, const TableInfo& t, bool update);

    // held-back schema changes
    void flushSchema();
    void deferSchema(const std::string& sql, long long newTable = 0);
    void physical(const std::string& sql);
    bool isNewTable(long long id) const;
    void dropPendingSchema();

    // catalog
    TablePtr findTable(const std::string& name);
    TablePtr requireTable(const QualifiedName& name);
    std::string objectName(const QualifiedName& name);
    long long findObject(const std::string& name, std::string* xtype = nullptr);
    long long addObject(const std::string& name, const std::string& xtype, long long parent,
                        const std::string& definition);
    void bumpVersion(const TableInfo* changed = nullptr);
    void bumpVersion(TableInfo&& changed);
    // A procedure, function, trigger or view changed: no cached table
    // but one of that name can be affected.
    void moduleChanged(const std::string& name);

    // DDL
    void runCreateTable(const CreateTableStmt& s);
    void runAlterTable(const AlterTableStmt& s);
    void runCreateIndex(const CreateIndexStmt& s);
    void runDropObject(const DropObjectStmt& s);
    void runCreateModule(const CreateModuleStmt& s);
    void addConstraint(TableInfo& t, ConstraintDef c, bool newTable);
    void addColumn(TableInfo& t, const ColumnDef& c, bool newTable);
    // Writes the catalog rows of t's columns from position `first` on.
    void recordColumns(const TableInfo& t, size_t first);
    void dropConstraint(TableInfo& t, long long id, const std::string& xtype, const std::string& name);
    void dropTable(const TableInfo& t);
    void createCheckTriggers(long long cid, const TableInfo& t, const std::string& expr,
                             const std::string& name, const std::string& column);
    // Makes the triggers of foreign key `cid` for the writes in `writes`
    // (ForeignKeyWrite bits, from the side of `table`) unless they exist.
    void createForeignKeyTriggers(long long cid, long long table, unsigned writes,
                                  const std::vector<std::string>& existing);
    void ensureForeignKeyTriggers(TableInfo& t, unsigned writes);
    std::string columnDecl(const ColumnInfo& c);
    std::string constraintName(const std::string& prefix, const TableInfo& t, const std::string& column);
    void alterColumn(TableInfo& t, const ColumnDef& c);
    void rebuildTable(const TableInfo& t);

    // server level
    void runCreateDatabase(const CreateDatabaseStmt& s);
    void runDropDatabase(const NameStmt& s);
    void runCreateLogin(const LoginStmt& s);
    void runAlterLogin(const LoginStmt& s);
    void runDropLogin(const NameStmt& s);
    void runCreateUser(const CreateUserStmt& s);
    void runDropUser(const NameStmt& s);
    void roleMember(const ExecStmt& s, bool add);
    void switchDatabase(const std::string& name);
    bool databaseExists(const std::string& name, std::string* stored = nullptr, std::string* path = nullptr);
};

// Translates T-SQL expressions and queries to SQLite SQL. Variables become
// numbered parameters unless `inlineOnly` is set (views, triggers).
class Translator {
public:
    Translator(SessionImpl& s) : m_s(s) {}
    std::string sql;
    std::vector<Value> params;
    bool inlineOnly = false;
    std::string columnPrefix;  // "NEW." inside constraint triggers

    void expr(const Expr& e, std::string& out);
    std::string expr(const Expr& e) {
        std::string out;
        expr(e, out);
        return out;
    }
    std::string select(const Select& s);
    // An ORDER BY or GROUP BY item.
    void orderItem(const Expr& e, std::string& out);
    std::string fromList(const std::vector<TableRefPtr>& from);
    void pushScope(const std::vector<TableRefPtr>& from);
    void pushTable(const std::string& alias, TablePtr t);
    void popScope() { m_scopes.pop_back(); }
    std::string tableSql(const QualifiedName& name, TablePtr* info);
    std::string param(const Value& v);
    void bindAll(Query& q) const;
    // Column name for a select item without alias: "" for expressions.
    static std::string itemName(const SelectItem& item);

private:
    enum class Kind { Unknown, String, Number };
    struct Entry {
        std::string alias;
        TablePtr table;
    };
    SessionImpl& m_s;
    std::vector<std::vector<Entry>> m_scopes;

    Kind kindOf(const Expr& e);
    const ColumnInfo* findColumn(const Expr& col);
    void function(const Expr& e, std::string& out);
    bool isDateTime(const Expr& e);
    void operand(const Expr& e, const Expr& other, std::string& out);
    void tableRef(const TableRef& t, std::string& out);
    void addEntries(const TableRef& t, std::vector<Entry>& entries);
    std::string literalOrParam(const Value& v);
};

}  // namespace sqlengine
