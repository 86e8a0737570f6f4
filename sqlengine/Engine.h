#pragma once
// The embedded database server: a stand-in for SQL Server on machines without
// it. Each database is one SQLite file; T-SQL sent to it is parsed and carried
// out; failures carry SQL Server's error numbers and texts. Text in and out
// is UTF-8. This library knows nothing of the wizard.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sqlengine {

// A server error: SQL Server's number and message text.
class SqlError : public std::runtime_error {
public:
    SqlError(int number, std::string message)
        : std::runtime_error(message), m_number(number), m_message(std::move(message)) {}
    int number() const { return m_number; }
    const std::string& message() const { return m_message; }

private:
    int m_number;
    std::string m_message;
};

// The T-SQL type of a result column, as a client's driver describes it.
struct ColumnType {
    std::string name = "nvarchar";  // int, bigint, decimal, varchar, datetime, ...
    int length = 0;                 // characters (char types) or bytes (binary); -1 for max
    int precision = 0;              // decimal and numeric
    int scale = 0;
    bool nullable = true;
};

struct ResultSet {
    std::vector<std::string> columns;
    // One per column.
    std::vector<ColumnType> types;
    // A NULL value is std::nullopt; other values in their text form.
    std::vector<std::vector<std::optional<std::string>>> rows;
};

struct BatchResult {
    std::vector<ResultSet> resultSets;
    // PRINT output and informational messages, in order.
    std::vector<std::string> messages;
    // What each statement that counts rows did, in order: the rows a SELECT
    // returned (`resultSet` its index) or an INSERT, UPDATE or DELETE
    // changed (`resultSet` -1).
    struct Count {
        long long rows = 0;
        int resultSet = -1;
    };
    std::vector<Count> counts;
    // User transactions the batch began and ended (@@TRANCOUNT going from 0
    // to 1 and back), in order; `afterCount` is how many entries `counts`
    // held when it happened. Each transaction has its own nonzero id.
    struct TransactionChange {
        enum Kind { Begin, Commit, Rollback } kind = Begin;
        unsigned long long id = 0;
        size_t afterCount = 0;
    };
    std::vector<TransactionChange> transactions;
};

// Maps a path as a client writes it (a Windows path in a FILENAME clause)
// to a native path. The default keeps the text as it is.
using PathMapper = std::function<std::filesystem::path(const std::string& clientPath)>;

class Session;

class Server {
public:
    // Opens the server kept in `folder` (created with an empty master catalog
    // when missing: login "sa" with an empty password, service running,
    // password policy on).
    static std::unique_ptr<Server> open(const std::filesystem::path& folder, PathMapper mapper = {});
    virtual ~Server() = default;

    virtual bool isRunning() const = 0;
    virtual void setRunning(bool running) = 0;
    virtual bool passwordPolicy() const = 0;
    virtual void setPasswordPolicy(bool on) = 0;

    // Logs in. Raises SqlError 17 when the service is stopped and 18456 for
    // an unknown login or a wrong password.
    virtual std::unique_ptr<Session> connect(const std::string& login, const std::string& password) = 0;

    // Database names as stored, in creation order ("master" first).
    virtual std::vector<std::string> databaseNames() const = 0;
    virtual bool loginExists(const std::string& name) const = 0;
};

class Session {
public:
    virtual ~Session() = default;
    // Runs one batch (no separator splitting here). The whole batch is parsed
    // first: a syntax error runs nothing. At run time the batch stops at its
    // first failing statement, which raises SqlError; earlier statements
    // stay applied.
    virtual BatchResult executeBatch(std::string_view batch) = 0;
    // The same, into `result`: when the batch fails, `result` keeps what
    // the statements before the failing one returned, as a client receives
    // them before the error.
    virtual void executeBatch(std::string_view batch, BatchResult& result) = 0;
    // A script: the batches run between beginScript() and endScript() are
    // committed together when it ends, as one call of the database component
    // runs a whole script. Each batch still succeeds or fails as it would on
    // its own, and the work of the batches before a failing one is kept.
    // endScript() raises SqlError when the commit fails. Scripts do not nest.
    virtual void beginScript() = 0;
    virtual void endScript() = 0;
    // USE database; raises SqlError 911 when it does not exist.
    virtual void useDatabase(const std::string& name) = 0;
    virtual std::string currentDatabase() const = 0;
    // Asks the running batch to stop; it then fails with error 3617. May
    // be called from another thread while executeBatch runs; a call made
    // while no batch runs affects nothing.
    virtual void cancel() = 0;

    // Off by default: a batch that leaves a transaction open has it rolled
    // back and fails with 266. On, as for a client's connection: BEGIN
    // TRANSACTION (or SET IMPLICIT_TRANSACTIONS ON) opens a transaction that
    // lasts over the batches after it until COMMIT or ROLLBACK; its changes
    // hold the database's write lock meanwhile, and a session that ends with
    // it open rolls it back. A failing statement is undone alone and the
    // transaction goes on (SQL Server's XACT_ABORT OFF; within one batch a
    // failure rolls back the whole transaction). Set it between batches only.
    virtual void setTransactionsSpanBatches(bool on) = 0;
    // @@TRANCOUNT, and the open user transaction's id (0 when none).
    virtual int transactionCount() const = 0;
    virtual unsigned long long transactionId() const = 0;
    // The text form of a variable as the last batch left it (std::nullopt
    // for NULL, as result rows show it); raises SqlError 137 when that batch
    // declared no such variable. Names are case-insensitive, with their "@".
    virtual std::optional<std::string> variableText(const std::string& name) const = 0;
};

}  // namespace sqlengine
