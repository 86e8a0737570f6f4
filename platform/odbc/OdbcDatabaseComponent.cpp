#include "platform/odbc/OdbcDatabaseComponent.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <thread>
#include <utility>

#include "base/AppError.h"
#include "base/Text.h"
#include "database/SqlText.h"
#include "platform/odbc/CatalogStatements.h"
#include "platform/odbc/ConnectionString.h"
#include "platform/odbc/OdbcErrors.h"
#include "platform/odbc/OdbcHandle.h"
#include "platform/odbc/OdbcText.h"
#include "platform/odbc/ScriptTransaction.h"
#include "platform/odbc/SqlBrowser.h"

namespace t7 {
namespace {

using odbc::Diagnostic;
using odbc::OdbcHandle;
using odbc::succeeded;

constexpr int32_t kDefaultLoginTimeoutSeconds = 15;
using Secrets = std::vector<std::wstring>;

using dmo::raiseUnreachable;
using sqltext::bracketed;

OdbcHandle newEnvironment() {
    OdbcHandle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    return env;
}

// An open connection. A failed attempt releases its handles; an open one
// is disconnected before its handles go.
class Connection {
public:
    Connection(const std::wstring& connectionString, int32_t loginTimeoutSeconds, const Secrets& secrets)
        : m_env(newEnvironment()), m_dbc(SQL_HANDLE_DBC, m_env.get()) {
        SQLSetConnectAttrW(m_dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
                           reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(loginTimeoutSeconds)),
                           SQL_IS_UINTEGER);
        std::vector<SQLWCHAR> text = odbc::toOdbcText(connectionString);
        SQLSMALLINT outLength = 0;
        SQLRETURN rc = SQLDriverConnectW(m_dbc.get(), nullptr, text.data(), SQL_NTS, nullptr, 0, &outLength,
                                         SQL_DRIVER_NOPROMPT);
        if (!succeeded(rc))
            throw odbc::withoutSecrets(odbc::componentError(odbc::readDiagnostics(m_dbc)), secrets);
        m_connected = true;

        SQLWCHAR version[64] = {};
        SQLSMALLINT length = 0;
        if (succeeded(SQLGetInfoW(m_dbc.get(), SQL_DBMS_VER, version, sizeof version, &length))) {
            m_generation = odbc::generationOf(odbc::fromOdbcText(
                version, std::min<size_t>(static_cast<size_t>(length) / sizeof(SQLWCHAR), 63)));
        }
    }
    ~Connection() {
        if (m_connected) SQLDisconnect(m_dbc.get());
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    SQLHDBC dbc() const { return m_dbc.get(); }
    // True when the driver knows the server is gone.
    bool dead() const {
        SQLUINTEGER state = SQL_CD_FALSE;
        return succeeded(SQLGetConnectAttrW(m_dbc.get(), SQL_ATTR_CONNECTION_DEAD, &state, SQL_IS_UINTEGER,
                                            nullptr)) &&
               state == SQL_CD_TRUE;
    }
    odbc::ServerGeneration generation() const { return m_generation; }

private:
    OdbcHandle m_env;
    OdbcHandle m_dbc;
    bool m_connected = false;
    odbc::ServerGeneration m_generation = odbc::ServerGeneration::Sql2005;
};

// What a statement left: the first error, and whether the connection went.
struct Outcome {
    std::optional<AppError> error;
    bool lost = false;

    void take(const std::vector<Diagnostic>& records) {
        if (!error) error = odbc::componentError(records);
        if (odbc::isLinkFailure(records)) lost = true;
    }
};

// Runs `text` on `connection` and reads every result it gives, so that an
// error of a later statement in the batch is seen too. Rows are handed to
// `row` when given, else skipped.
Outcome runStatement(Connection& connection, const std::wstring& text,
                     const std::function<void(SQLHSTMT)>& row = {}) {
    Outcome outcome;
    OdbcHandle stmt(SQL_HANDLE_STMT, connection.dbc());
    std::vector<SQLWCHAR> sql = odbc::toOdbcText(text);
    SQLRETURN rc = SQLExecDirectW(stmt.get(), sql.data(), SQL_NTS);
    for (;;) {
        if (rc == SQL_ERROR) {
            std::vector<Diagnostic> records = odbc::readDiagnostics(stmt);
            bool serverSaid =
                !records.empty() && odbc::componentError(records).number() != dmo::notConnectedError();
            // FreeTDS may first report a dropped connection as an unknown
            // error; the connection's state tells.
            if (!serverSaid && !odbc::isLinkFailure(records) && connection.dead()) {
                records.insert(records.begin(), {L"08S01", 0, L"Communication link failure"});
            }
            outcome.take(records);
            // A driver that cannot go on (no server message to move past)
            // would give the same error again.
            if (outcome.lost || !serverSaid) break;
        } else if (rc == SQL_INVALID_HANDLE || rc == SQL_NEED_DATA || rc == SQL_STILL_EXECUTING) {
            outcome.take({});
            break;
        } else if (succeeded(rc) && row) {
            SQLSMALLINT columns = 0;
            SQLNumResultCols(stmt.get(), &columns);
            while (columns > 0) {
                SQLRETURN f = SQLFetch(stmt.get());
                if (f == SQL_NO_DATA) break;
                if (f == SQL_ERROR) {
                    outcome.take(odbc::readDiagnostics(stmt));
                    break;
                }
                row(stmt.get());
            }
            if (outcome.lost) break;
        }
        rc = SQLMoreResults(stmt.get());
        if (rc == SQL_NO_DATA) break;
    }
    return outcome;
}

// The first column of the current row as text (empty for NULL).
std::wstring columnText(SQLHSTMT stmt) {
    std::wstring value;
    std::vector<SQLWCHAR> buffer(256);
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(stmt, 1, SQL_C_WCHAR, buffer.data(),
                                  static_cast<SQLLEN>(buffer.size() * sizeof(SQLWCHAR)), &indicator);
        if (rc == SQL_NO_DATA || indicator == SQL_NULL_DATA || !succeeded(rc)) break;
        size_t units = buffer.size() - 1;
        if (indicator != SQL_NO_TOTAL && static_cast<size_t>(indicator) / sizeof(SQLWCHAR) < units) {
            units = static_cast<size_t>(indicator) / sizeof(SQLWCHAR);
        }
        value += odbc::fromOdbcText(buffer.data(), units);
        if (rc == SQL_SUCCESS) break;
    }
    return value;
}

// The state of one server object, shared with the database and login
// objects it hands out, which therefore follow it across Close and Connect.
struct ServerState : dmo::ServerStateBase {
    explicit ServerState(std::shared_ptr<const OdbcDatabaseOptions> o) : options(std::move(o)) {}

    std::shared_ptr<const OdbcDatabaseOptions> options;
    std::unique_ptr<Connection> connection;
    // A database's script leaves the connection in that database, so that
    // the next script there needs no USE (on the embedded server each USE
    // opens the database and reads its schema afresh). `home` is where the
    // connection was before (empty: it has not moved), `here` the database
    // it is known to be in now (empty: not known).
    std::wstring home;
    std::wstring here;
    uint64_t generation = 0;
    uint64_t namesGeneration = ~uint64_t{0};
    std::vector<std::wstring> databaseNames;

    Connection& open() {
        if (!connection) dmo::raiseNotConnected();
        return *connection;
    }

    void close() {
        connection.reset();
        home.clear();
        here.clear();
        ++generation;
    }

    // Runs one batch (or a query, handing its rows to `row`); raises the
    // first error with `secrets` blotted out. A lost connection is closed.
    void run(const std::wstring& text, const Secrets& secrets = {},
             const std::function<void(SQLHSTMT)>& row = {}) {
        Outcome outcome = runStatement(open(), text, row);
        if (outcome.lost) close();
        if (outcome.error) throw odbc::withoutSecrets(*outcome.error, secrets);
    }

    std::vector<std::wstring> column(const std::wstring& query) {
        std::vector<std::wstring> values;
        run(query, {}, [&](SQLHSTMT stmt) { values.push_back(columnText(stmt)); });
        return values;
    }

    // A script of the server: it runs where the connection was before any
    // database's script.
    void execute(const std::wstring& script, int32_t executionType) {
        std::vector<std::wstring> batches = dmo::scriptBatches(script, executionType);
        open();
        goHome();
        runScript(batches);
    }

    // A script of database `name`, run in that database.
    void executeIn(const std::wstring& name, const std::wstring& script, int32_t executionType) {
        std::vector<std::wstring> batches = dmo::scriptBatches(script, executionType);
        open();
        if (here != name) {
            std::vector<std::wstring> current = column(L"SELECT DB_NAME()");
            run(L"USE " + bracketed(name));
            if (home.empty() && !current.empty()) home = current.front();
            here = name;
        }
        try {
            runScript(batches);
        } catch (...) {
            here = whereNow();
            throw;
        }
        // The script may have moved on by a USE of its own.
        here = whereNow();
    }

    std::wstring whereNow() {
        if (!connection) return {};
        try {
            std::vector<std::wstring> current = column(L"SELECT DB_NAME()");
            return current.empty() ? std::wstring() : current.front();
        } catch (const AppError&) {
            return {};
        }
    }

    // Back to where the connection was before the databases' scripts; a
    // failure here (a script dropped that database, the connection went)
    // leaves it where it is.
    void goHome() {
        if (home.empty() || here == home) return;
        std::wstring target;
        target.swap(home);
        here.clear();
        try {
            run(L"USE " + bracketed(target));
            here = target;
        } catch (const AppError&) {
        }
    }

    void runScript(const std::vector<std::wstring>& batches) {
        ++generation;
        try {
            if (batches.size() > 1 && odbc::fitsOneTransaction(batches))
                runInOneTransaction(batches);
            else
                runBatchByBatch(batches);
        } catch (...) {
            ++generation;
            throw;
        }
        ++generation;
    }

    void runBatchByBatch(const std::vector<std::wstring>& batches) {
        for (const std::wstring& batch : batches) run(batch);
    }

    // The script's batches in one transaction, committed when it ends. As
    // batch by batch, the first failing batch ends the run and those
    // before it stay applied: the transaction is committed up to there.
    // When the server has rolled it back instead (an error that ends the
    // transaction, XACT_ABORT), nothing of the script is left, and the
    // script runs again batch by batch to end as it would have without one.
    void runInOneTransaction(const std::vector<std::wstring>& batches) {
        if (!setAutocommit(false)) return runBatchByBatch(batches);
        struct AutocommitAgain {
            ServerState& s;
            ~AutocommitAgain() {
                if (s.connection) s.setAutocommit(true);
            }
        } again{*this};
        try {
            runBatchByBatch(batches);
        } catch (const AppError&) {
            if (!connection) throw;
            std::exception_ptr failure = std::current_exception();
            bool rolledBack = false;
            try {
                if (transactionOpen())
                    commit();
                else
                    rolledBack = true;
            } catch (const AppError&) {
                // The batch's error is the one to report.
            }
            if (!rolledBack || !connection) std::rethrow_exception(failure);
            setAutocommit(true);
            return runBatchByBatch(batches);
        }
        commit();
    }

    // Manual commit on or off; false when the driver refuses.
    bool setAutocommit(bool on) {
        return succeeded(SQLSetConnectAttrW(
            open().dbc(), SQL_ATTR_AUTOCOMMIT,
            reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
            SQL_IS_UINTEGER));
    }

    bool transactionOpen() {
        std::vector<std::wstring> count = column(L"SELECT @@TRANCOUNT");
        return !count.empty() && count.front() != L"0";
    }

    void commit() {
        Connection& c = open();
        if (succeeded(SQLEndTran(SQL_HANDLE_DBC, c.dbc(), SQL_COMMIT))) return;
        std::vector<Diagnostic> records = odbc::readDiagnostics(SQL_HANDLE_DBC, c.dbc());
        AppError error = odbc::componentError(records);
        if (odbc::isLinkFailure(records) || c.dead()) close();
        throw error;
    }

    const std::vector<std::wstring>& names() {
        if (connection && namesGeneration == generation) return databaseNames;
        databaseNames = column(odbc::databaseListQuery(open().generation()));
        namesGeneration = generation;
        return databaseNames;
    }

    void addLogin(const std::wstring& name, const std::wstring& password) {
        run(odbc::createLoginStatement(open().generation(), name, password), {password});
    }

    void changePassword(const std::wstring& name, const std::wstring& oldPassword,
                        const std::wstring& newPassword) {
        run(odbc::changePasswordStatement(open().generation(), name, oldPassword, newPassword),
            {oldPassword, newPassword});
    }

    bool loginExists(const std::wstring& name) {
        std::vector<std::wstring> count = column(odbc::loginCountQuery(open().generation(), name));
        return !count.empty() && count.front() != L"0";
    }

    std::optional<odbc::ServerAddress> address(const std::wstring& server) const {
        std::vector<std::wstring> local;
        if (options->localNames) local = options->localNames();
        if (!options->machineName.empty()) local.push_back(options->machineName);
        return odbc::parseServerName(server, local);
    }

    int32_t loginWait() const { return loginTimeout < 0 ? kDefaultLoginTimeoutSeconds : loginTimeout; }

    void connectTo(const odbc::ServerAddress& address, const std::wstring& login,
                   const std::wstring& password) {
        odbc::ConnectionRequest request{
            address, login, password, {}, odbc::parseAttributes(options->extraAttributes)};
        if (!odbc::attribute(request.extra, L"Driver")) {
            request.driver = odbc::chooseDriver(installedOdbcDrivers());
            if (request.driver.empty()) {
                throw AppError(dmo::notConnectedError(),
                               L"No ODBC driver for SQL Server is installed (ODBC Driver 18 or 17 for SQL "
                               L"Server, SQL Server Native Client, SQL Server or FreeTDS).");
            }
        }
        connection = std::make_unique<Connection>(odbc::buildConnectionString(request), loginWait(),
                                                  Secrets{password});
    }

    void connect(const std::wstring& server, const std::wstring& login, const std::wstring& password) {
        close();
        std::optional<odbc::ServerAddress> where = address(server);
        if (!where) raiseUnreachable();
        connectTo(*where, login, password);
    }

    // Starts the service of a server on this machine, then connects until
    // the login wait has passed while the server is not yet reachable.
    void start(bool connectAfterStart, const std::wstring& server, const std::wstring& login,
               const std::wstring& password) {
        close();
        std::optional<odbc::ServerAddress> where = address(server);
        if (!where || !where->local) raiseUnreachable();
        if (options->startService) options->startService(where->instance);
        if (!connectAfterStart) return;
        const int32_t wait = loginWait() > 0 ? loginWait() : kDefaultLoginTimeoutSeconds;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wait);
        for (;;) {
            try {
                connectTo(*where, login, password);
                return;
            } catch (const AppError& e) {
                const bool starting = e.number() == databaseComponentError(dmo::servererror::DoesNotExist);
                if (!starting || !options->startService || std::chrono::steady_clock::now() >= deadline)
                    throw;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
    }
};

class OdbcDatabase : public dmo::Database {
public:
    OdbcDatabase(std::shared_ptr<ServerState> state, std::wstring name)
        : m_state(std::move(state)), m_name(std::move(name)) {}

    std::wstring Name() const override { return m_name; }

    void ExecuteImmediate(const std::wstring& script, int32_t executionType) override {
        m_state->executeIn(m_name, script, executionType);
    }

private:
    std::shared_ptr<ServerState> m_state;
    std::wstring m_name;
};

class OdbcSQLServer : public dmo::SQLServerOf<ServerState, OdbcDatabase> {
public:
    explicit OdbcSQLServer(std::shared_ptr<const OdbcDatabaseOptions> options)
        : SQLServerOf(std::make_shared<ServerState>(std::move(options))) {}

    void Start(bool connectAfterStart, const std::wstring& server, const std::wstring& login,
               const std::wstring& password) override {
        remember(server, login, password);
        m_state->start(connectAfterStart, server, login, password);
    }

    void Close() override { m_state->close(); }

    // A round trip tells whether the server still serves the connection.
    bool IsConnected() override {
        if (!m_state->connection) return false;
        try {
            m_state->run(L"SELECT 1");
        } catch (const AppError&) {
        }
        return m_state->connection != nullptr;
    }
};

}  // namespace

std::vector<std::wstring> installedOdbcDrivers() {
    std::vector<std::wstring> drivers;
    OdbcHandle env = newEnvironment();
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLWCHAR name[512] = {};
        SQLWCHAR attributes[2048] = {};
        SQLSMALLINT nameLength = 0, attributesLength = 0;
        SQLRETURN rc =
            SQLDriversW(env.get(), direction, name, 512, &nameLength, attributes, 2048, &attributesLength);
        if (!succeeded(rc)) break;
        drivers.push_back(odbc::fromOdbcText(name, std::min<size_t>(static_cast<size_t>(nameLength), 511)));
        direction = SQL_FETCH_NEXT;
    }
    return drivers;
}

OdbcApplication::OdbcApplication(OdbcDatabaseOptions options)
    : m_options(std::make_shared<const OdbcDatabaseOptions>(std::move(options))) {}

dmo::NameList OdbcApplication::ListAvailableSQLServers() {
    std::vector<odbc::BrowserInstance> instances;
    if (std::optional<std::string> answer = odbc::exchangeLocalDatagram(
            m_options->browserPort, odbc::instanceListRequest(), m_options->browserWait)) {
        if (auto found = odbc::parseInstanceList(*answer)) instances = std::move(*found);
    }
    if (m_options->installedInstances) {
        for (const std::wstring& instance : m_options->installedInstances())
            instances.push_back({L"", instance});
    }
    std::vector<std::wstring> names = odbc::serverNames(instances, m_options->machineName);
    if (names.empty()) names.push_back(m_options->machineName.empty() ? L"(local)" : m_options->machineName);
    return dmo::NameList(std::move(names));
}

std::shared_ptr<dmo::SQLServer> OdbcApplication::NewSQLServer() {
    return std::make_shared<OdbcSQLServer>(m_options);
}

std::shared_ptr<dmo::Login> OdbcApplication::NewLogin() {
    return std::make_shared<dmo::LoginOf<ServerState>>();
}

}  // namespace t7
