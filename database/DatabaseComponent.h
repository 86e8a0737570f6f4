#pragma once
// The database management component: everything the database page does on a
// database server goes through these objects. Implementations: the embedded
// server of a machine folder (platform/machine/) and SQL Server over ODBC
// (platform/odbc/).
//
// Failures. Every operation raises t7::AppError on failure. A server error
// is raised with number databaseComponentError(server error number), that is
// 0x80040000 + the number as a signed 32-bit value, and the server's message
// as description (a password rejected by the policy, server error 15118,
// arrives as -2147206386). Failures of the component itself that carry no
// server error number use databaseComponentError(0) (notConnectedError()).
// Positions out of range raise errnum::SubscriptOutOfRange.
//
// Objects are handed out as shared pointers; a database or login object keeps
// its server object's state alive and follows it across Close and Connect.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace t7::dmo {

// Server error numbers the component raises itself, with the server's texts.
namespace servererror {
// The server cannot be reached (not a local name, service stopped, login
// wait exceeded): "SQL Server does not exist or access denied."
constexpr int32_t DoesNotExist = 17;
// Databases.Item by a name the server does not have.
constexpr int32_t DatabaseNotFound = 911;
// Logins.Item by a name the server does not have.
constexpr int32_t LoginNotFound = 15151;
}  // namespace servererror

// The one execution type: split into batches at "GO" lines, run them in order,
// stop at the first failing batch (see database/BatchSplitter.h).
constexpr int32_t ExecDefault = 0;

// A list of names, positions 1 to Count.
class NameList {
public:
    NameList() = default;
    explicit NameList(std::vector<std::wstring> names) : m_names(std::move(names)) {}
    int32_t Count() const { return static_cast<int32_t>(m_names.size()); }
    // Raises errnum::SubscriptOutOfRange outside 1..Count.
    const std::wstring& Item(int32_t position) const;

private:
    std::vector<std::wstring> m_names;
};

class Database {
public:
    virtual ~Database() = default;
    // The name as the server stores it.
    virtual std::wstring Name() const = 0;
    // Runs `script` in this database with the given execution type (only
    // ExecDefault; another value raises errnum::InvalidProcedureCall). Batches
    // that ran before a failing one stay applied.
    virtual void ExecuteImmediate(const std::wstring& script, int32_t executionType = ExecDefault) = 0;
};

// The server's databases as they were when the collection was read. A server
// object rereads them after it ran a statement or connected again.
class Databases {
public:
    virtual ~Databases() = default;
    virtual int32_t Count() = 0;
    // By position, 1 to Count, in the server's order.
    virtual std::shared_ptr<Database> Item(int32_t position) = 0;
    // By name, ignoring letter case; raises server error 911 when absent.
    virtual std::shared_ptr<Database> Item(const std::wstring& name) = 0;
};

class Login {
public:
    virtual ~Login() = default;
    virtual std::wstring Name() const = 0;
    // Names a login that is not yet on the server; raises
    // errnum::InvalidProcedureCall for a login that is.
    virtual void SetName(const std::wstring& name) = 0;
    // On the server: changes the password (an empty old password changes it
    // without checking the old one, as the administrator may). Before Add:
    // keeps the password for Add. Policy rejection: server error 15118.
    virtual void SetPassword(const std::wstring& oldPassword, const std::wstring& newPassword) = 0;
};

class Logins {
public:
    virtual ~Logins() = default;
    // Raises server error 15151 when the server has no login of that name.
    virtual std::shared_ptr<Login> Item(const std::wstring& name) = 0;
    // Creates `login` (a new object of the same component, named, with the
    // password given to it) on the server; the object then stands for it.
    virtual void Add(const std::shared_ptr<Login>& login) = 0;
};

class SQLServer {
public:
    virtual ~SQLServer() = default;

    // Login wait option: seconds a connection attempt may take before it
    // fails with server error 17. 0 waits without limit; a negative value
    // (the initial one) means the component's default of 15 seconds.
    virtual int32_t LoginTimeout() const = 0;
    virtual void SetLoginTimeout(int32_t seconds) = 0;

    // Opens the connection (closing an open one first).
    virtual void Connect(const std::wstring& server, const std::wstring& login,
                         const std::wstring& password) = 0;
    // Starts the database service on `server`, which must be this machine,
    // and, when `connectAfterStart` is true, connects as Connect does. A
    // service that already runs is left running.
    virtual void Start(bool connectAfterStart, const std::wstring& server, const std::wstring& login,
                       const std::wstring& password) = 0;
    // Closes the connection; objects handed out stay valid and work again
    // after the next Connect. Closing a closed connection does nothing.
    virtual void Close() = 0;
    // Connects again with the arguments of the last Connect or Start.
    virtual void ReConnect() = 0;
    // True exactly when the connection is open and the server still serves it.
    virtual bool IsConnected() = 0;

    // Runs `command` in the connection's current database (see
    // Database::ExecuteImmediate for the execution type).
    virtual void ExecuteImmediate(const std::wstring& command, int32_t executionType = ExecDefault) = 0;
    // True when the server has a login named `name` (letter case ignored).
    virtual bool LoginExists(const std::wstring& name) = 0;

    virtual std::shared_ptr<dmo::Databases> Databases() = 0;
    virtual std::shared_ptr<dmo::Logins> Logins() = 0;
};

// The component's entry point: server discovery and new objects.
class Application {
public:
    virtual ~Application() = default;
    // Names of the database servers available to this machine.
    virtual NameList ListAvailableSQLServers() = 0;
    // A new, unconnected server object.
    virtual std::shared_ptr<SQLServer> NewSQLServer() = 0;
    // A new login object, not yet on any server.
    virtual std::shared_ptr<Login> NewLogin() = 0;
};

// The platform's component, chosen by T7SETUP_DATABASE: "engine" (the
// machine folder's embedded server, the default without Windows) or "odbc"
// (SQL Server over ODBC, T7SETUP_ODBC adding connection attributes). Its
// server takes this machine's names: `localNames()` (read at each connection
// attempt; the process's IPArray) and `machineName`, besides the usual local
// names. Raises AppError (InvalidProcedureCall) for another choice.
std::shared_ptr<Application> makeApplication(std::function<std::vector<std::wstring>()> localNames,
                                             std::wstring machineName);

// Raise the server errors both implementations give with the server's
// texts: `number` with `message`; 17 "SQL Server does not exist or access
// denied."; 911 for a database and 15151 for a login of that name that the
// server does not have.
[[noreturn]] void raiseServerError(int32_t number, const std::wstring& message);
[[noreturn]] void raiseUnreachable();
[[noreturn]] void raiseDatabaseNotFound(const std::wstring& name);
[[noreturn]] void raiseLoginNotFound(const std::wstring& name);

// Number of the component's own failure "not connected".
int32_t notConnectedError();
// Raises the "not connected" failure.
[[noreturn]] void raiseNotConnected();
// Raise errnum::InvalidProcedureCall for renaming a login that is on the
// server, and for adding a login object that is not a new one of the same
// component.
[[noreturn]] void raiseLoginOnServer();
[[noreturn]] void raiseNotANewLogin();

// For implementations: the name at `position` (1 to size), raising
// errnum::SubscriptOutOfRange outside; the name equal to `name` ignoring
// letter case, raising server error 911 when there is none.
const std::wstring& nameAt(const std::vector<std::wstring>& names, int32_t position);
const std::wstring& databaseNamed(const std::vector<std::wstring>& names, const std::wstring& name);

// For implementations: the databases of a server state whose `names()`
// reads the names in the server's order, each made as DatabaseType(state,
// name).
template <class State, class DatabaseType>
class DatabasesOf : public Databases {
public:
    explicit DatabasesOf(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    int32_t Count() override { return static_cast<int32_t>(m_state->names().size()); }
    std::shared_ptr<Database> Item(int32_t position) override {
        return std::make_shared<DatabaseType>(m_state, nameAt(m_state->names(), position));
    }
    std::shared_ptr<Database> Item(const std::wstring& name) override {
        return std::make_shared<DatabaseType>(m_state, databaseNamed(m_state->names(), name));
    }

private:
    std::shared_ptr<State> m_state;
};

// For implementations: a login of a server state that provides
// loginExists(name), addLogin(name, password) and
// changePassword(name, oldPassword, newPassword). Before Add it only holds
// its name and password.
template <class State>
class LoginOf : public Login {
public:
    LoginOf() = default;
    LoginOf(std::shared_ptr<State> state, std::wstring name)
        : m_state(std::move(state)), m_name(std::move(name)) {}

    std::wstring Name() const override { return m_name; }

    void SetName(const std::wstring& name) override {
        if (m_state) raiseLoginOnServer();
        m_name = name;
    }

    void SetPassword(const std::wstring& oldPassword, const std::wstring& newPassword) override {
        if (!m_state) {
            m_pendingPassword = newPassword;
            return;
        }
        m_state->changePassword(m_name, oldPassword, newPassword);
    }

    bool onServer() const { return m_state != nullptr; }

    // Creates the login on the server of `state` and makes this object
    // stand for it.
    void addTo(const std::shared_ptr<State>& state) {
        state->addLogin(m_name, m_pendingPassword);
        m_state = state;
        m_pendingPassword.clear();
    }

private:
    std::shared_ptr<State> m_state;
    std::wstring m_name;
    std::wstring m_pendingPassword;
};

template <class State>
class LoginsOf : public Logins {
public:
    explicit LoginsOf(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    std::shared_ptr<Login> Item(const std::wstring& name) override {
        if (!m_state->loginExists(name)) raiseLoginNotFound(name);
        return std::make_shared<LoginOf<State>>(m_state, name);
    }

    void Add(const std::shared_ptr<Login>& login) override {
        auto ours = std::dynamic_pointer_cast<LoginOf<State>>(login);
        if (!ours || ours->onServer()) raiseNotANewLogin();
        ours->addTo(m_state);
    }

private:
    std::shared_ptr<State> m_state;
};

// For implementations: what a server state keeps for every implementation,
// the login wait and the arguments ReConnect repeats.
struct ServerStateBase {
    int32_t loginTimeout = -1;
    bool haveLastArguments = false;
    std::wstring lastServer, lastLogin, lastPassword;
};

// For implementations: the parts of a server object that only hand on to
// its state, which derives from ServerStateBase and provides
// connect(server, login, password), execute(command, executionType),
// loginExists(name) and what DatabasesOf and LoginsOf need. Start, Close
// and IsConnected are the implementation's own.
template <class State, class DatabaseType>
class SQLServerOf : public SQLServer {
public:
    explicit SQLServerOf(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    int32_t LoginTimeout() const override { return m_state->loginTimeout; }
    void SetLoginTimeout(int32_t seconds) override { m_state->loginTimeout = seconds; }

    void Connect(const std::wstring& server, const std::wstring& login,
                 const std::wstring& password) override {
        remember(server, login, password);
        m_state->connect(server, login, password);
    }

    void ReConnect() override {
        if (!m_state->haveLastArguments) raiseNotConnected();
        m_state->connect(m_state->lastServer, m_state->lastLogin, m_state->lastPassword);
    }

    void ExecuteImmediate(const std::wstring& command, int32_t executionType) override {
        m_state->execute(command, executionType);
    }

    bool LoginExists(const std::wstring& name) override { return m_state->loginExists(name); }

    std::shared_ptr<dmo::Databases> Databases() override {
        return std::make_shared<DatabasesOf<State, DatabaseType>>(m_state);
    }
    std::shared_ptr<dmo::Logins> Logins() override { return std::make_shared<LoginsOf<State>>(m_state); }

protected:
    void remember(const std::wstring& server, const std::wstring& login, const std::wstring& password) {
        m_state->haveLastArguments = true;
        m_state->lastServer = server;
        m_state->lastLogin = login;
        m_state->lastPassword = password;
    }

    std::shared_ptr<State> m_state;
};

// For implementations: carries out `script` with `executionType` by handing
// each batch to `runBatch` in order; the first batch that raises ends the
// run. Raises errnum::InvalidProcedureCall for an unknown execution type.
void executeScript(const std::wstring& script, int32_t executionType,
                   const std::function<void(const std::wstring& batch)>& runBatch);
// The batches executeScript would hand over, in order.
std::vector<std::wstring> scriptBatches(const std::wstring& script, int32_t executionType);

}  // namespace t7::dmo
