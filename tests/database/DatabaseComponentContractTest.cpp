// The contract of the database management component, run against every
// implementation. An implementation joins by adding an environment type to
// `Implementations`: it gives a fresh server that the administrator login
// reaches, with the password policy on and no databases of the test's names.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/AppError.h"
#include "database/DatabaseComponent.h"
#include "platform/machine/MachineDatabaseComponent.h"
#include "platform/machine/MachineFolder.h"
#include "platform/odbc/OdbcDatabaseComponent.h"
#include "support/MachineTool.h"
#include "support/TdsListener.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

// A fresh machine folder; the server is created on first use.
class MachineComponentEnvironment {
public:
    MachineComponentEnvironment()
        : m_app(MachineDatabaseOptions{MachineFolder(m_dir.path()).sqlServerFolder(),
                                       L"EXAMSRV",
                                       [] {
                                           return std::vector<std::wstring>{L"192.168.1.10", L"EXAMSRV"};
                                       },
                                       {}}) {}

    dmo::Application& application() { return m_app; }
    std::wstring serverName() const { return L"192.168.1.10"; }
    std::wstring adminLogin() const { return L"sa"; }
    std::wstring adminPassword() const { return L""; }

private:
    test::TempDir m_dir;
    MachineApplication m_app;
};

// A machine folder made by t7machine, served over TDS on a free loopback
// port, reached through unixODBC and FreeTDS under one of the machine's
// addresses.
class OdbcComponentEnvironment {
public:
    OdbcComponentEnvironment()
        : m_listener(initialized(m_dir.path() / "machine")),
          m_app(OdbcDatabaseOptions{.machineName = L"EXAMSRV",
                                    .localNames =
                                        [] {
                                            return std::vector<std::wstring>{L"192.168.1.10", L"EXAMSRV"};
                                        },
                                    .extraAttributes = m_listener.odbcAttributes()}) {}

    dmo::Application& application() { return m_app; }
    std::wstring serverName() const { return L"192.168.1.10"; }
    std::wstring adminLogin() const { return L"sa"; }
    std::wstring adminPassword() const { return L""; }

private:
    static std::filesystem::path initialized(const std::filesystem::path& machine) {
        const test::ToolResult made = test::runMachineTool({"init", machine.string()});
        if (made.status != 0) throw std::runtime_error("t7machine init failed: " + made.output);
        return machine;
    }

    test::TempDir m_dir;
    test::TdsListener m_listener;
    OdbcApplication m_app;
};

// The component error number of a server error number.
int32_t component(int32_t serverError) {
    return databaseComponentError(serverError);
}

// Runs `step` and returns the number of the AppError it raises (0: none).
int32_t errorOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

template <class Environment>
class DatabaseComponentContractTest : public ::testing::Test {
protected:
    std::shared_ptr<dmo::SQLServer> connectAdmin() {
        auto server = env.application().NewSQLServer();
        server->SetLoginTimeout(3);
        server->Connect(env.serverName(), env.adminLogin(), env.adminPassword());
        return server;
    }

    std::shared_ptr<dmo::SQLServer> connectAs(const std::wstring& login, const std::wstring& password) {
        auto server = env.application().NewSQLServer();
        server->Connect(env.serverName(), login, password);
        return server;
    }

    Environment env;
};

using Implementations = ::testing::Types<MachineComponentEnvironment, OdbcComponentEnvironment>;
TYPED_TEST_SUITE(DatabaseComponentContractTest, Implementations);

TYPED_TEST(DatabaseComponentContractTest, ServerListHasNamesByPositionFromOne) {
    dmo::NameList list = this->env.application().ListAvailableSQLServers();
    ASSERT_GE(list.Count(), 1);
    for (int32_t i = 1; i <= list.Count(); ++i) EXPECT_FALSE(list.Item(i).empty());
    EXPECT_EQ(errorOf([&] { list.Item(0); }), errnum::SubscriptOutOfRange);
    EXPECT_EQ(errorOf([&] { list.Item(list.Count() + 1); }), errnum::SubscriptOutOfRange);
}

TYPED_TEST(DatabaseComponentContractTest, ConnectionStateFollowsConnectCloseAndReconnect) {
    auto server = this->env.application().NewSQLServer();
    EXPECT_FALSE(server->IsConnected());
    EXPECT_EQ(errorOf([&] { server->ExecuteImmediate(L"PRINT 'x'"); }), dmo::notConnectedError());

    server->Connect(this->env.serverName(), this->env.adminLogin(), this->env.adminPassword());
    EXPECT_TRUE(server->IsConnected());
    server->Close();
    EXPECT_FALSE(server->IsConnected());
    EXPECT_EQ(errorOf([&] { server->Databases()->Count(); }), dmo::notConnectedError());
    server->ReConnect();
    EXPECT_TRUE(server->IsConnected());
    EXPECT_NO_THROW(server->ExecuteImmediate(L"PRINT 'x'"));
}

TYPED_TEST(DatabaseComponentContractTest, WrongPasswordFailsWithLoginFailed) {
    auto server = this->env.application().NewSQLServer();
    try {
        server->Connect(this->env.serverName(), this->env.adminLogin(), L"not the password");
        FAIL() << "connected with a wrong password";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), component(18456));
        EXPECT_NE(e.description().find(L"Login failed for user '" + this->env.adminLogin() + L"'"),
                  std::wstring::npos);
    }
    EXPECT_FALSE(server->IsConnected());
}

TYPED_TEST(DatabaseComponentContractTest, CreatedDatabaseIsListedAfterReconnectAndFoundIgnoringCase) {
    auto server = this->connectAdmin();
    server->ExecuteImmediate(L"CREATE DATABASE ContractDb");
    server->Close();
    server->Connect(this->env.serverName(), this->env.adminLogin(), this->env.adminPassword());

    auto databases = server->Databases();
    int32_t found = 0;
    for (int32_t i = 1; i <= databases->Count(); ++i) {
        if (databases->Item(i)->Name() == L"ContractDb") ++found;
    }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(databases->Item(L"CONTRACTdb")->Name(), L"ContractDb");
    EXPECT_EQ(errorOf([&] { databases->Item(L"NoSuchDb"); }), component(911));
    EXPECT_EQ(errorOf([&] { databases->Item(databases->Count() + 1); }), errnum::SubscriptOutOfRange);
    // A second creation under another letter case is the server's duplicate.
    EXPECT_EQ(errorOf([&] { server->ExecuteImmediate(L"CREATE DATABASE contractdb"); }), component(1801));
}

TYPED_TEST(DatabaseComponentContractTest, ScriptStopsAtFirstFailingBatchAndKeepsEarlierOnes) {
    auto server = this->connectAdmin();
    server->ExecuteImmediate(L"CREATE DATABASE BatchDb");
    auto db = server->Databases()->Item(L"BatchDb");
    db->ExecuteImmediate(L"CREATE TABLE t (x int PRIMARY KEY)\r\n");
    std::wstring script =
        L"INSERT INTO t VALUES (1)\r\n go\r\n"
        L"INSERT INTO missing VALUES (1)\r\nGo\r\n"
        L"INSERT INTO t VALUES (2)\r\n";
    EXPECT_EQ(errorOf([&] { db->ExecuteImmediate(script); }), component(208));
    // Row 1 stayed, row 2 was never inserted: duplicate keys tell.
    EXPECT_EQ(errorOf([&] { db->ExecuteImmediate(L"INSERT INTO t VALUES (1)"); }), component(2627));
    EXPECT_EQ(errorOf([&] { db->ExecuteImmediate(L"INSERT INTO t VALUES (2)"); }), 0);
}

TYPED_TEST(DatabaseComponentContractTest, ScriptsWithPaddingAndUnknownExecutionTypes) {
    auto server = this->connectAdmin();
    server->ExecuteImmediate(std::wstring(L"CREATE DATABASE PadDb\r\nGO\r\n\0\0\0", 30));
    EXPECT_EQ(server->Databases()->Item(L"PadDb")->Name(), L"PadDb");
    EXPECT_EQ(errorOf([&] { server->ExecuteImmediate(L"PRINT 'x'", 2); }), errnum::InvalidProcedureCall);
}

TYPED_TEST(DatabaseComponentContractTest, DatabaseExecuteRunsInThatDatabase) {
    auto server = this->connectAdmin();
    server->ExecuteImmediate(L"CREATE DATABASE FirstDb\r\nGO\r\nCREATE DATABASE SecondDb\r\n");
    auto first = server->Databases()->Item(L"firstdb");
    auto second = server->Databases()->Item(L"seconddb");
    first->ExecuteImmediate(L"CREATE TABLE only_here (x int)");
    EXPECT_EQ(errorOf([&] { second->ExecuteImmediate(L"CREATE TABLE only_here (x int)"); }), 0);
    EXPECT_EQ(errorOf([&] { first->ExecuteImmediate(L"CREATE TABLE only_here (x int)"); }), component(2714));
    // The objects follow the server object across a reconnect.
    server->Close();
    server->ReConnect();
    EXPECT_EQ(errorOf([&] { first->ExecuteImmediate(L"INSERT INTO only_here VALUES (1)"); }), 0);
}

TYPED_TEST(DatabaseComponentContractTest, NewLoginIsAddedOnceAndFoundByName) {
    auto server = this->connectAdmin();
    EXPECT_FALSE(server->LoginExists(L"examadmin"));
    auto login = this->env.application().NewLogin();
    login->SetName(L"examadmin");
    login->SetPassword(L"", L"First#Pass1");
    server->Logins()->Add(login);
    EXPECT_TRUE(server->LoginExists(L"examadmin"));
    EXPECT_TRUE(server->LoginExists(L"EXAMADMIN"));
    EXPECT_EQ(server->Logins()->Item(L"examadmin")->Name(), L"examadmin");

    auto again = this->env.application().NewLogin();
    again->SetName(L"examadmin");
    again->SetPassword(L"", L"Third#Pass3");
    EXPECT_EQ(errorOf([&] { server->Logins()->Add(again); }), component(15025));
    EXPECT_EQ(errorOf([&] { server->Logins()->Item(L"nobody"); }), component(15151));
}

// A new login connects to its default database, master, as SQL Server lets
// every login do there. Names and passwords are taken literally.
TYPED_TEST(DatabaseComponentContractTest, LoginConnectsWithItsCurrentPasswordOnly) {
    auto server = this->connectAdmin();
    for (const std::wstring name : {L"examadmin", L"o'neil]x"}) {
        auto login = this->env.application().NewLogin();
        login->SetName(name);
        login->SetPassword(L"", L"It's]First1");
        server->Logins()->Add(login);
        EXPECT_TRUE(server->LoginExists(name));
        EXPECT_EQ(errorOf([&] { this->connectAs(name, L"It's]First1"); }), 0);

        // As the administrator, the old password need not be given.
        server->Logins()->Item(name)->SetPassword(L"", L"Second#Pass2");
        EXPECT_EQ(errorOf([&] { this->connectAs(name, L"Second#Pass2"); }), 0);
        EXPECT_EQ(errorOf([&] { this->connectAs(name, L"It's]First1"); }), component(18456));
    }
}

TYPED_TEST(DatabaseComponentContractTest, PolicyRejectionArrivesAsMinus2147206386) {
    auto server = this->connectAdmin();
    auto login = this->env.application().NewLogin();
    login->SetName(L"weak");
    login->SetPassword(L"", L"abc");
    EXPECT_EQ(errorOf([&] { server->Logins()->Add(login); }), -2147206386);
    EXPECT_FALSE(server->LoginExists(L"weak"));

    auto sa = server->Logins()->Item(this->env.adminLogin());
    try {
        sa->SetPassword(this->env.adminPassword(), L"abc");
        FAIL() << "the policy let a weak password through";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), -2147206386);
        EXPECT_FALSE(e.description().empty());
    }
    EXPECT_TRUE(this->connectAs(this->env.adminLogin(), this->env.adminPassword())->IsConnected());

    // A strong one is taken, and only it opens the connection from then on.
    sa->SetPassword(this->env.adminPassword(), L"Strong#Sa1");
    EXPECT_EQ(errorOf([&] { this->connectAs(this->env.adminLogin(), L"Strong#Sa1"); }), 0);
    EXPECT_EQ(errorOf([&] { this->connectAs(this->env.adminLogin(), this->env.adminPassword()); }),
              component(18456));
}

}  // namespace
}  // namespace t7
