#include "platform/machine/MachineDatabaseComponent.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "base/AppError.h"
#include "base/FileSystem.h"
#include "base/Text.h"
#include "database/SqlText.h"
#include "sqlengine/Engine.h"

namespace t7 {
namespace {

constexpr int32_t kDefaultLoginTimeoutSeconds = 15;

using dmo::raiseServerError;
using dmo::raiseUnreachable;

// Runs `step`, turning engine failures into the component's errors.
template <class Step>
auto guarded(Step&& step) -> decltype(step()) {
    try {
        return step();
    } catch (const AppError&) {
        throw;
    } catch (const sqlengine::SqlError& e) {
        raiseServerError(e.number(), fromUtf8(e.message()));
    } catch (const std::exception& e) {
        raiseServerError(0, fromUtf8(e.what()));
    }
}

using sqltext::bracketed;

std::wstring literal(const std::wstring& text) {
    return sqltext::unicodeLiteral(text);
}

// An open engine connection: the server object and the login's session.
// The session goes first when it is destroyed.
struct Connection {
    std::unique_ptr<sqlengine::Server> server;
    std::unique_ptr<sqlengine::Session> session;

    void reset() {
        session.reset();
        server.reset();
    }
};

sqlengine::PathMapper engineMapper(const std::shared_ptr<const MachineDatabaseOptions>& options) {
    if (!options->mapPath) return {};
    return [options](const std::string& clientPath) { return options->mapPath(fromUtf8(clientPath)); };
}

// Opens the server folder, starts the service when asked, and logs in when
// a login is given.
Connection openConnection(const std::shared_ptr<const MachineDatabaseOptions>& options, bool start,
                          bool login, const std::string& name, const std::string& password) {
    Connection c;
    c.server = sqlengine::Server::open(options->serverFolder, engineMapper(options));
    if (start && !c.server->isRunning()) c.server->setRunning(true);
    if (login) c.session = c.server->connect(name, password);
    return c;
}

// The outcome of a connection attempt, shared with the thread that makes it
// so that an attempt given up on can still finish and clean up by itself.
struct Attempt {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    Connection connection;
    std::exception_ptr error;
};

// Makes a connection attempt that takes at most `timeoutSeconds` (0: no
// limit). An attempt that takes longer fails like an unreachable server; it
// goes on in the background and releases what it opened when it ends.
Connection connectWithin(int32_t timeoutSeconds, std::function<Connection()> open) {
    if (timeoutSeconds == 0) return guarded(open);
    auto attempt = std::make_shared<Attempt>();
    std::thread([attempt, open = std::move(open)] {
        Connection c;
        std::exception_ptr error;
        try {
            c = open();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard lock(attempt->mutex);
        attempt->connection = std::move(c);
        attempt->error = error;
        attempt->finished = true;
        attempt->done.notify_all();
    }).detach();
    std::unique_lock lock(attempt->mutex);
    if (!attempt->done.wait_for(lock, std::chrono::seconds(timeoutSeconds),
                                [&] { return attempt->finished; })) {
        raiseUnreachable();
    }
    if (attempt->error) guarded([&]() -> void { std::rethrow_exception(attempt->error); });
    return std::move(attempt->connection);
}

// The state of one server object, shared with the database and login
// objects it hands out, which therefore follow it across Close and Connect.
struct ServerState : dmo::ServerStateBase {
    explicit ServerState(std::shared_ptr<const MachineDatabaseOptions> o) : options(std::move(o)) {}

    std::shared_ptr<const MachineDatabaseOptions> options;
    Connection connection;
    // Bumped by everything that may change the database list.
    uint64_t generation = 0;
    uint64_t namesGeneration = ~uint64_t{0};
    std::vector<std::wstring> databaseNames;

    // The open session; raises when the connection is closed, or is no
    // longer served because the service stopped.
    sqlengine::Session& session() {
        if (!connection.session) dmo::raiseNotConnected();
        if (!guarded([&] { return connection.server->isRunning(); })) {
            connection.reset();
            raiseUnreachable();
        }
        return *connection.session;
    }

    void runBatch(const std::wstring& batch) {
        sqlengine::Session& s = session();
        guarded([&] { s.executeBatch(toUtf8(batch)); });
    }

    // The whole script is one unit of work on the server, committed when it
    // ends, even when a batch fails: the batches before it stay applied.
    void execute(const std::wstring& script, int32_t executionType) {
        ++generation;
        sqlengine::Session& s = session();
        guarded([&] { s.beginScript(); });
        try {
            dmo::executeScript(script, executionType, [&](const std::wstring& batch) { runBatch(batch); });
        } catch (...) {
            endScript(s);
            ++generation;
            throw;
        }
        ++generation;
        guarded([&] { s.endScript(); });
    }

    // Ends the script after a failing batch; the batch's error is the one
    // reported, so a failing commit is not raised over it.
    void endScript(sqlengine::Session& s) {
        if (!connection.session || connection.session.get() != &s) return;
        try {
            s.endScript();
        } catch (const sqlengine::SqlError&) {
        }
    }

    // The database names, read once per generation: a walk over Item(1) to
    // Item(Count) costs one read of the catalog, not one per position.
    const std::vector<std::wstring>& names() {
        if (connection.session && namesGeneration == generation) return databaseNames;
        session();
        std::vector<std::string> names = guarded([&] { return connection.server->databaseNames(); });
        databaseNames.clear();
        databaseNames.reserve(names.size());
        for (const std::string& n : names) databaseNames.push_back(fromUtf8(n));
        namesGeneration = generation;
        return databaseNames;
    }

    void connect(bool start, bool login, const std::wstring& server, const std::wstring& loginName,
                 const std::wstring& password) {
        connection.reset();
        ++generation;
        if (!isLocalServerName(*options, server)) raiseUnreachable();
        std::string name = toUtf8(loginName), secret = toUtf8(password);
        int32_t timeout = loginTimeout < 0 ? kDefaultLoginTimeoutSeconds : loginTimeout;
        connection = connectWithin(timeout, [opts = options, start, login, name, secret] {
            return openConnection(opts, start, login, name, secret);
        });
        if (!login) connection.reset();
    }

    void connect(const std::wstring& server, const std::wstring& loginName, const std::wstring& password) {
        connect(false, true, server, loginName, password);
    }

    bool loginExists(const std::wstring& name) {
        session();
        return guarded([&] { return connection.server->loginExists(toUtf8(name)); });
    }

    void addLogin(const std::wstring& name, const std::wstring& password) {
        runBatch(L"CREATE LOGIN " + bracketed(name) + L" WITH PASSWORD = " + literal(password));
    }

    // The administrator may set a password without knowing the old one; an
    // old password given is checked by the server.
    void changePassword(const std::wstring& name, const std::wstring& oldPassword,
                        const std::wstring& newPassword) {
        std::wstring statement =
            L"ALTER LOGIN " + bracketed(name) + L" WITH PASSWORD = " + literal(newPassword);
        if (!oldPassword.empty()) statement += L" OLD_PASSWORD = " + literal(oldPassword);
        runBatch(statement);
    }
};

class MachineDatabase : public dmo::Database {
public:
    MachineDatabase(std::shared_ptr<ServerState> state, std::wstring name)
        : m_state(std::move(state)), m_name(std::move(name)) {}

    std::wstring Name() const override { return m_name; }

    void ExecuteImmediate(const std::wstring& script, int32_t executionType) override {
        sqlengine::Session& s = m_state->session();
        std::string previous = s.currentDatabase();
        guarded([&] { s.useDatabase(toUtf8(m_name)); });
        try {
            m_state->execute(script, executionType);
        } catch (...) {
            restore(previous);
            throw;
        }
        restore(previous);
    }

private:
    // Leaves the connection in the database it was in; a failure here (the
    // script dropped that database, the service stopped) changes nothing
    // for the caller.
    void restore(const std::string& previous) {
        try {
            if (m_state->connection.session) m_state->connection.session->useDatabase(previous);
        } catch (const std::exception&) {
        }
    }

    std::shared_ptr<ServerState> m_state;
    std::wstring m_name;
};

class MachineSQLServer : public dmo::SQLServerOf<ServerState, MachineDatabase> {
public:
    explicit MachineSQLServer(std::shared_ptr<const MachineDatabaseOptions> options)
        : SQLServerOf(std::make_shared<ServerState>(std::move(options))) {}

    void Start(bool connectAfterStart, const std::wstring& server, const std::wstring& login,
               const std::wstring& password) override {
        remember(server, login, password);
        m_state->connect(true, connectAfterStart, server, login, password);
    }

    void Close() override {
        m_state->connection.reset();
        ++m_state->generation;
    }

    bool IsConnected() override {
        try {
            m_state->session();
            return true;
        } catch (const AppError&) {
            return false;
        }
    }
};

}  // namespace

ClientPathMapper fileSystemPathMapper(const IFileSystem& fileSystem) {
    return [&fileSystem](const std::wstring& clientPath) { return fileSystem.nativePath(clientPath); };
}

bool isLocalServerName(const MachineDatabaseOptions& options, const std::wstring& server) {
    for (const wchar_t* fixed : {L".", L"(local)", L"localhost", L"127.0.0.1"}) {
        if (equalsIgnoreCase(server, fixed)) return true;
    }
    if (!options.machineName.empty() && equalsIgnoreCase(server, options.machineName)) return true;
    if (options.localNames) {
        for (const std::wstring& name : options.localNames()) {
            if (!name.empty() && equalsIgnoreCase(server, name)) return true;
        }
    }
    return false;
}

MachineApplication::MachineApplication(MachineDatabaseOptions options)
    : m_options(std::make_shared<const MachineDatabaseOptions>(std::move(options))) {}

dmo::NameList MachineApplication::ListAvailableSQLServers() {
    return dmo::NameList(
        {m_options->machineName.empty() ? std::wstring(L"(local)") : m_options->machineName});
}

std::shared_ptr<dmo::SQLServer> MachineApplication::NewSQLServer() {
    return std::make_shared<MachineSQLServer>(m_options);
}

std::shared_ptr<dmo::Login> MachineApplication::NewLogin() {
    return std::make_shared<dmo::LoginOf<ServerState>>();
}

}  // namespace t7
