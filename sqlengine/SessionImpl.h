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
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "sqlengine/Ast.h"
#include "sqlengine/Engine.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/PendingSchema.h"
#include "sqlengine/Sqlite.h"
#include "sqlengine/Values.h"

namespace sqlengine {

// What the server and its sessions share.
struct ServerCore {
    std::filesystem::path folder;
    std::filesystem::path masterPath;
    std::filesystem::path dataFolder;
    PathMapper mapper;
    // Where database files may lie: the server's folder and the folders
    // the mapper gives the client's drives.
    std::vector<std::filesystem::path> allowedFolders;

    // A FILENAME as the client wrote it, mapped; raises SqlError 5105 or
    // 5123 for a name that is no file name or would lie elsewhere.
    std::filesystem::path clientFile(const std::string& clientPath) const;
    // The data file of a database created without FILENAME.
    std::filesystem::path defaultFile(const std::string& database) const;
    bool isAllowed(const std::filesystem::path& file) const;
};

// How long a statement waits for another connection's lock (SQL Server's
// error 1222 when it runs out).
constexpr int kLockTimeoutMs = 10000;

// Opens a SQLite connection with the engine's settings and functions.
DbHandle openConnection(const std::filesystem::path& file, bool create);
// Creates the hidden catalog tables of a new database file.
void createDatabaseCatalog(sqlite3* db);
void createMasterCatalog(sqlite3* db);
std::string hashPassword(const std::string& password);
bool checkPassword(const std::string& stored, const std::string& password);
// Password policy: raises SqlError 15118 for a weak password.
void checkPasswordPolicy(const std::string& password);

// Security (Security.cpp).
enum ServerRole : unsigned { kSysadmin = 1, kDbcreator = 2, kSecurityadmin = 4 };
enum DatabaseRight : unsigned {
    kDbOwner = 1,
    kDdlAdmin = 2,
    kDataReader = 4,
    kDataWriter = 8,
    kAccessAdmin = 16,
    kSecurityAdminDb = 32
};
extern const char* const kServerRoleTable;
unsigned serverRoles(sqlite3* db, const std::string& schema, const std::string& login);
// Whether `login` is an owner (db_owner) of the database in `file`.
bool databaseOwnedBy(const std::filesystem::path& file, const std::string& login);
std::vector<std::filesystem::path> allowedFolders(const std::filesystem::path& serverFolder,
                                                  const PathMapper* mapper);
// Creates an empty file readable by its owner only.
void createPrivateFile(const std::filesystem::path& file);
// Raises SqlError 17113 when databases are there but master is not.
void refuseLostMaster(const ServerCore& core);
bool startsWithIgnoreCase(const std::string& text, const std::string& prefix);
// The engine's own tables and names (_t7*, sqlite_*), never the user's.
bool isInternalName(const std::string& name);
SqlError objectPermissionDenied(const std::string& permission, const std::string& object,
                                const std::string& database);
SqlError statementPermissionDenied(const std::string& permission, const std::string& database);
SqlError noPermission();
SqlError objectNotFoundOrDenied(const std::string& object);
SqlError lockTimeout();
SqlError databaseNotFound(const std::string& name);
SqlError fileActivationError(const std::string& shown);
SqlError createFileError(const std::string& osError, const std::string& shown);

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

// The tables a session has read from the catalog, kept while the catalog's
// version is the one they were read at. The version counts the catalog's
// changes; a session raises it in memory as it changes the catalog and
// stores it when its transaction commits.
class CatalogCache {
public:
    // The cached table, or nullptr.
    TablePtr find(const std::string& name) const;
    // The cached entry of `name`, empty when it was not cached.
    TablePtr& entry(const std::string& name) { return m_tables[toUpperAscii(name)]; }
    void put(const std::string& name, TablePtr t) { entry(name) = std::move(t); }
    void forget(const std::string& name) { m_tables.erase(toUpperAscii(name)); }
    // Every table's foreign key triggers are looked at again before its next write.
    void recheckTriggers();

    // The file's PRAGMA data_version: false when it is the one last seen
    // (nothing was committed since by another connection) and the cache is
    // known to match; records it.
    bool fileChanged(long long dataVersion);
    // The stored version, read after fileChanged: a different one empties
    // the cache.
    void storedVersion(long long version);
    // Something was rolled back: the cache and the version are read again.
    void invalidate();
    // A new database: nothing is known of it.
    void reset();
    // The catalog changed in this transaction. A change that names the one
    // table it changed leaves the other tables cached; `changed` is cached
    // as it is now, its triggers looked at again.
    void changed(const TableInfo* changed);
    // A procedure, function, trigger or view changed.
    void moduleChanged(const std::string& name);
    // The version to store when the transaction commits; nullopt when the
    // transaction changed nothing.
    std::optional<long long> versionToStore() const;
    void versionStored() { m_versionPending = false; }
    bool versionPending() const { return m_versionPending; }

private:
    std::unordered_map<std::string, TablePtr> m_tables;
    long long m_version = -1;
    bool m_versionPending = false;
    long long m_dataVersion = -1;
};

// The column list of an index or key as the catalog stores it ("a,b DESC")
// and back.
std::string joinColumns(const std::vector<IndexColumn>& cols);
std::vector<IndexColumn> splitColumns(const std::string& s);
// The temporary views that give T-SQL's catalog views over the _t7_* tables
// of the database and of master (attached as `masterSchema`).
std::string catalogViewsSql(const std::string& masterSchema);

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

// A view that INSERT, UPDATE and DELETE can go through (see Views.cpp).
struct UpdatableView {
    std::string name;
    TablePtr base;
    std::string baseAlias;  // what the view's query calls the base table
    std::vector<StmtPtr> parsed;
    std::shared_ptr<Select> select;
    std::vector<std::string> names;                  // the view's columns
    std::vector<const Expr*> items;                  // and what each one is
    std::vector<std::unique_ptr<Expr>> starColumns;  // the items a * stands for
    // The base columns under the view columns written (all when none are
    // named); error 4406 for a column that is not a plain base column.
    std::vector<std::string> baseColumns(const std::vector<std::string>& written) const;
};

class Translator;

class SessionImpl : public Session {
public:
    SessionImpl(std::shared_ptr<ServerCore> core, std::string login, const std::string& database,
                unsigned serverRoles);
    ~SessionImpl() override;

    BatchResult executeBatch(std::string_view batch) override;
    void executeBatch(std::string_view batch, BatchResult& result) override;
    void useDatabase(const std::string& name) override;
    void beginScript() override { m_inScript = true; }
    void endScript() override;
    std::string currentDatabase() const override { return m_dbName; }
    void cancel() override;
    void setTransactionsSpanBatches(bool on) override { m_spanBatches = on; }
    int transactionCount() const override { return m_tranCount; }
    unsigned long long transactionId() const override { return m_tranCount > 0 ? m_tranId : 0; }
    std::optional<std::string> variableText(const std::string& name) const override;

    // Used by the SQL functions.
    std::vector<WriteRule> m_writeRules;
    std::vector<IdentityState> m_identities;
    std::string m_dbName;

private:
    friend class Translator;
    friend struct FunctionCall;
    friend struct InsertWriter;

public:
    int tranCount() const { return m_tranCount; }

private:
    enum class Flow { Normal, Break, Continue, Return };

    std::shared_ptr<ServerCore> m_core;
    std::string m_login;
    unsigned m_serverRoles = 0;
    bool m_sysadmin = false;
    // DatabaseRight bits of the login's user in the current database, read
    // when the database is opened (as SQL Server builds its user token).
    unsigned m_dbRights = 0;
    // Running a procedure's body: its statements use the owner's rights.
    int m_moduleDepth = 0;
    DbHandle m_db;
    // The current database's file and catalog row, to notice a drop by
    // another connection.
    std::string m_dbPath;
    // cancel() comes from another thread: it interrupts m_db while a batch
    // runs; m_dbLock guards m_db being replaced meanwhile.
    std::mutex m_dbLock;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_cancelled{false};
    std::string m_mst = "main";  // schema of the master catalog on this connection
    bool m_inTransaction = false;
    // The running batch may write: its transaction takes the write lock
    // when it begins (see begin()).
    bool m_batchWrites = true;
    // Within a script the transaction outlives the batch (see endScript).
    bool m_inScript = false;
    int m_savepointDepth = 0;
    // Prepared statements by their SQL text, the catalog's own and the
    // translated ones; emptied between batches once it holds more than
    // kCachedStatements.
    static constexpr size_t kCachedStatements = 400;
    std::unordered_map<std::string, StmtHandle> m_cache;

    // Schema changes held back for SQLite (see flushSchema).
    PendingSchema m_pending;

    CatalogCache m_catalog;
    // PRAGMA data_version of master as last seen; -1 until read (see
    // checkRunning).
    long long m_masterDataVersion = -1;

    std::unordered_map<std::string, Variable> m_vars;
    std::string m_identityInsertTable;
    Value m_lastIdentity;
    long long m_rowcount = 0;
    BatchResult* m_result = nullptr;
    int m_execDepth = 0;
    // Procedures and dynamic SQL running inside one another; SQL Server
    // stops at 32 with error 217.
    int m_nestLevel = 0;
    static constexpr int kMaxNestLevel = 32;
    class NestLevel {
    public:
        explicit NestLevel(SessionImpl& s);
        ~NestLevel() { --m_s.m_nestLevel; }
        NestLevel(const NestLevel&) = delete;
        NestLevel& operator=(const NestLevel&) = delete;

    private:
        SessionImpl& m_s;
    };
    bool m_singleStatement = false;
    int m_tranCount = 0;
    // Transactions that span batches (see Session::setTransactionsSpanBatches).
    bool m_spanBatches = false;
    // SET IMPLICIT_TRANSACTIONS ON: a statement that reads or writes a
    // table opens a transaction when none is open (only when they span
    // batches; otherwise the option is accepted and has no effect).
    bool m_implicitTransactions = false;
    // SET XACT_ABORT ON: a failing statement rolls back the open
    // transaction, also one that spans batches.
    bool m_xactAbort = false;
    unsigned long long m_tranId = 0;
    // sqlite3_total_changes64 when the transaction began.
    long long m_tranChangesAt = 0;
    // The open user transaction has written nothing yet and holds no
    // SQLite transaction between batches: its savepoint is made again when
    // the next batch begins (see endBatch). A reading transaction so keeps
    // no snapshot that would make its first write fail.
    bool m_tranSuspended = false;
    // The outermost BEGIN TRANSACTION's name, and the open transaction's
    // savepoints by SAVE TRANSACTION, oldest first; savepoint i is SQLite's
    // "usersave<i>".
    std::string m_tranName;
    std::vector<std::string> m_savepoints;
    // SET LOCK_TIMEOUT, in milliseconds.
    int m_lockTimeoutMs = kLockTimeoutMs;

    // ---- connection, transactions and savepoints (SessionConnection.cpp)
    // Opens the database; on failure the session holds no connection.
    void open(const std::string& database);
    // The rest of open(): master attached, access, rights.
    void attach(bool isMaster, const std::string& stored);
    // The connection's catalog views (sysobjects, sys.databases and the
    // like), made when a statement first names one: most connections
    // never do, and making them costs more than the rest of opening.
    void ensureCatalogViews();
    void close();
    void begin();
    void commit();
    // Commits the batch's work, unless a script goes on or a transaction
    // that spans batches holds it.
    void endBatch();
    // Records a user transaction's begin or end in the running batch's result.
    void noteTransaction(BatchResult::TransactionChange::Kind kind);
    // @@TRANCOUNT drops to 0: the transaction has ended as `kind` says.
    void endUserTransaction(BatchResult::TransactionChange::Kind kind);
    void runSetOption(const SetOptionStmt& s);
    // With IMPLICIT_TRANSACTIONS ON, whether the statement opens a transaction.
    bool opensImplicitTransaction(const Stmt& s) const;
    sqlite3_stmt* cached(const std::string& sql);
    // A translated statement: kept prepared for the next statement of the
    // same shape, or prepared afresh while the kept one is still running.
    Query prepare(const std::string& sql);
    // Raises SqlError 17 when the service is stopped, and 911 (back in
    // master) when the current database was dropped and the session is
    // `staying` in it.
    void checkRunning(bool staying = true);
    void runTransaction(const std::string& action, const std::string& name = {});
    void rollbackToSavepoint(const std::string& name);

    void switchDatabase(const std::string& name);
    bool databaseExists(const std::string& name, std::string* stored = nullptr, std::string* path = nullptr);

    // ---- held-back schema changes (PendingSchema.cpp)
    void flushSchema();
    void deferSchema(const std::string& sql, long long newTable = 0);
    void physical(const std::string& sql);
    bool isNewTable(long long id) const;
    void dropPendingSchema();

    // ---- catalog and its cache (Catalog.cpp)
    void refreshCatalog();
    void catalogChanged();
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

    // ---- running batches (Session.cpp)
    std::string userName();
    Flow run(const Stmt& s);
    Flow runLeaf(const Stmt& s);
    void runStatement(const Stmt& s);
    // The statements that define objects and principals.
    void runDefinition(const Stmt& s);
    void runSetVariable(const SetVariableStmt& s);
    // Whether the batch runs as one statement and whether it may write.
    void planBatch(const std::vector<StmtPtr>& stmts);
    // Undoes what a failing batch left open.
    void abandonBatch();
    SqlError mapError(const SqliteError& e);
    Value evaluate(const Expr& e);
    bool condition(const Expr& e);
    void assign(const std::string& var, const Value& v);
    void runExec(const ExecStmt& s);
    void runProcedure(const std::string& name, const ExecStmt& s);
    void runExecString(const ExecStringStmt& s);
    void runText(const std::string& sql);
    void runDeclare(const DeclareStmt& s);

    // ---- DML (Dml.cpp, Views.cpp)
    void runSelect(const SelectStmt& s);
    // The T-SQL types of a query's result columns.
    std::vector<ColumnType> resultTypes(const Query& q, const Select& sel, const ResultSet& rs,
                                        const std::vector<int>& kinds);
    void countRows(long long rows, int resultSet = -1);
    // The scale each result column shows a decimal with (see decimalText);
    // empty when there is no decimal.
    std::vector<int> decimalScales(Translator& t, const Select& sel, const Query& q);
    void runInsert(const InsertStmt& s);
    // Runs a translated INSERT, UPDATE or DELETE and counts its rows.
    void runWrite(Translator& tr, const std::string& sql);
    // The IdentityState of a table's identity column for the statement
    // about to run; its index in m_identities.
    int startIdentity(const TableInfo& t, const ColumnInfo& c);
    // After explicit identity values: the column's current value follows
    // the highest (or lowest) one.
    void raiseIdentityCurrent(const TableInfo& t, const ColumnInfo& c);
    void runUpdate(const UpdateStmt& s);
    // UPDATE's SET @v = expr: each (variable, expression) over the rows
    // `from` (a FROM clause and its WHERE) selects.
    void assignFromRows(Translator& tr, const std::vector<std::pair<std::string, std::string>>& vars,
                        const std::string& from);
    void runDelete(const DeleteStmt& s);
    // Through a view: 4405, 4403, 4426 or 4406 where SQL Server refuses.
    UpdatableView updatableView(const TableInfo& view);
    std::string viewRows(Translator& tr, const UpdatableView& v);
    void updateView(const UpdateStmt& s, const TableInfo& view);
    void deleteFromView(const DeleteStmt& s, const TableInfo& view);
    void runTruncate(const TruncateStmt& s);
    void runSetIdentityInsert(const SetIdentityInsertStmt& s);
    void finishIdentities();
    int addWriteRule(const ColumnInfo& c, const TableInfo& t, bool update);

    // ---- DDL (Ddl.cpp)
    void runCreateTable(const CreateTableStmt& s);
    void runAlterTable(const AlterTableStmt& s);
    void runCreateIndex(const CreateIndexStmt& s);
    void runDropObject(const DropObjectStmt& s);
    void runCreateModule(const CreateModuleStmt& s);
    void addConstraint(TableInfo& t, ConstraintDef c, bool newTable);
    void addDefault(TableInfo& t, ConstraintDef& c);
    // ALTER TABLE ... DROP CONSTRAINT n and DROP COLUMN n.
    void dropConstraintNamed(TableInfo& t, const std::string& n);
    void dropColumn(TableInfo& t, const std::string& n);
    // A new identity column's values in the rows already there.
    void numberRows(const TableInfo& t, const ColumnInfo& c);
    // A new NOT NULL column's default in the rows already there.
    void fillDefault(TableInfo& t, const ColumnInfo& c);
    void addKey(TableInfo& t, ConstraintDef& c, bool newTable);
    // The unique index of a key, in SQLite and in the catalog.
    void createKeyIndex(const TableInfo& t, const IndexInfo& ix, bool newTable);
    void addCheck(TableInfo& t, ConstraintDef& c, bool newTable);
    void addForeignKey(TableInfo& t, ConstraintDef& c, bool newTable);
    // Raises 547 when a row of `t` has no parent in `ref`.
    void checkForeignKeyRows(const TableInfo& t, const TableInfo& ref, const std::vector<IndexColumn>& cols,
                             const std::vector<IndexColumn>& refs, const std::string& name);
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

    // ---- databases (Databases.cpp)
    void runCreateDatabase(const CreateDatabaseStmt& s, std::vector<std::filesystem::path>& created);
    void runDropDatabase(const NameStmt& s,
                         std::vector<std::pair<std::filesystem::path, std::filesystem::path>>& setAside);
    // Runs CREATE or DROP DATABASE in a transaction of its own that holds
    // master's write lock from its start, so that the catalog and the
    // files change together whatever other processes do.
    void runServerStatement(const Stmt& s);

    // ---- logins, users and roles (Principals.cpp)
    void runCreateLogin(const LoginStmt& s);
    void runAlterLogin(const LoginStmt& s);
    void runDropLogin(const NameStmt& s);
    void runCreateUser(const CreateUserStmt& s);
    void runDropUser(const NameStmt& s);
    void roleMember(const ExecStmt& s, bool add);
    void runAddLogin(const ExecStmt& s);
    // The arguments of a system procedure, by position or by name;
    // the first `required` must be given.
    std::vector<std::string> procedureArgs(const ExecStmt& s, const std::string& proc,
                                           const std::vector<std::string>& names, size_t required);

    // ---- permissions (Security.cpp)
    void serverRoleMember(const ExecStmt& s, bool add);
    void requireServerRole(unsigned roles, const SqlError& refusal) const;
    void loadDatabaseRights();
    bool checksPermissions() const;
    void requireWrite(const char* permission, const TableInfo& t) const;
    void requireAlter(const std::string& object) const;
    void requireSchemaRight(const Stmt& s);
    void requireUserAdmin() const;
    void requireRoleAdmin(const std::string& role) const;
    void requireExecute(const std::string& procedure) const;

public:
    // SELECT on a user table or view; used by the translator.
    void requireSelect(const std::string& table);
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
    // The scale of each item of `s` that is a decimal column, variable or
    // cast, -1 for the others; empty when the items include a *.
    std::vector<int> decimalScales(const Select& s);
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
    friend struct FunctionCall;
    // What an expression gives, as far as the translation depends on it:
    // Int is a number of type int (or smaller), whose arithmetic overflows
    // past 32 bits; Number any other number.
    enum class Kind { Unknown, String, Number, Int };
    static bool isNumeric(Kind k) { return k == Kind::Number || k == Kind::Int; }
    static Kind kindOfType(const std::string& type);
    static Kind combine(const std::string& op, Kind a, Kind b);
    // Bounds on the recursion over a tree the parser did not make, and on
    // the function calls nested by one operator chain (SQLite's parser
    // gives up at about a hundred levels).
    static constexpr int kMaxDepth = 1500;
    static constexpr int kMaxCalls = 100;
    int m_depth = 0;
    struct Entry {
        std::string alias;
        TablePtr table;
    };
    SessionImpl& m_s;
    std::vector<std::vector<Entry>> m_scopes;

    Kind kindOf(const Expr& e);
    const ColumnInfo* findColumn(const Expr& col);
    void function(const Expr& e, std::string& out);
    // The value of a variable or of a @@ function.
    Value variableValue(const std::string& name);
    void binaryOp(const Expr& e, std::string& out);
    void caseExpr(const Expr& e, std::string& out);
    // IN, BETWEEN and IS NULL.
    void predicate(const Expr& e, std::string& out);
    void like(const Expr& e, std::string& out);
    void cast(const Expr& e, std::string& out);
    bool isDateTime(const Expr& e);
    // The type of a column, variable or CAST; nullopt for other expressions.
    std::optional<TypeSpec> declaredType(const Expr& e);
    // A varchar(max), nvarchar(max), text or ntext value.
    bool isMaxText(const Expr& e);
    void operand(const Expr& e, const Expr& other, std::string& out);
    void arithmetic(const Expr& chain, std::string& out);
    // The SQLite operator for T-SQL's `op` between kinds k and kr, with its
    // precedence; nullptr when a function must do it. May wrap `right`.
    static const char* infixOperator(const std::string& op, Kind k, Kind kr, std::string& right,
                                     int& precedence);
    void tableRef(const TableRef& t, std::string& out);
    void addEntries(const TableRef& t, std::vector<Entry>& entries);
    std::string literalOrParam(const Value& v);
};

}  // namespace sqlengine
