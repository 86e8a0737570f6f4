// The ODBC database component over FreeTDS to t7machine serve: the
// component's contract, and where it differs from the embedded server's: a
// connection the server drops, unreachable servers, starting the service,
// and text beyond the two-byte range.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/AppError.h"
#include "platform/odbc/OdbcDatabaseComponent.h"
#include "support/AppErrors.h"
#include "support/DatabaseComponentContract.h"
#include "support/MachineTool.h"
#include "support/TdsListener.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

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

INSTANTIATE_TYPED_TEST_SUITE_P(Odbc, DatabaseComponentContract, OdbcComponentEnvironment);

class OdbcDatabaseComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        const test::ToolResult made = test::runMachineTool({"init", machine.string()});
        ASSERT_EQ(made.status, 0) << made.output;
    }

    OdbcApplication application(uint16_t port, std::function<void(const std::wstring&)> start = {}) {
        return OdbcApplication(
            OdbcDatabaseOptions{.machineName = L"EXAMSRV",
                                .localNames = [] { return std::vector<std::wstring>{}; },
                                .extraAttributes = test::TdsListener::odbcAttributesFor(port),
                                .startService = std::move(start)});
    }

    test::TempDir dir;
    std::filesystem::path machine = dir.path() / "machine";
};

TEST_F(OdbcDatabaseComponentTest, AServerThatGoesAwayFailsTheScriptAndTheConnection) {
    auto listener = std::make_unique<test::TdsListener>(machine);
    OdbcApplication app = application(listener->port());
    auto server = app.NewSQLServer();
    server->Connect(L"EXAMSRV", L"sa", L"");
    server->ExecuteImmediate(L"CREATE DATABASE GoneDb");
    auto db = server->Databases()->Item(L"GoneDb");
    listener.reset();

    EXPECT_EQ(test::errorNumberOf([&] {
                  db->ExecuteImmediate(L"CREATE TABLE t (x int)\r\nGO\r\nINSERT INTO t VALUES (1)\r\n");
              }),
              databaseComponentError(17));
    EXPECT_FALSE(server->IsConnected());
    EXPECT_EQ(test::errorNumberOf([&] { server->Databases()->Count(); }), dmo::notConnectedError());
}

TEST_F(OdbcDatabaseComponentTest, UnreachableAndForeignServersFailWith17) {
    OdbcApplication app = application(test::TdsListener::freePort());
    auto server = app.NewSQLServer();
    server->SetLoginTimeout(2);
    for (const wchar_t* name : {L"(local)", L"EXAMSRV,1", L"host,notaport"}) {
        EXPECT_EQ(test::errorNumberOf([&] { server->Connect(name, L"sa", L""); }), databaseComponentError(17))
            << name;
        EXPECT_FALSE(server->IsConnected());
    }
}

TEST_F(OdbcDatabaseComponentTest, StartRunsTheServiceOfALocalServerThenConnects) {
    const uint16_t port = test::TdsListener::freePort();
    std::unique_ptr<test::TdsListener> listener;
    std::vector<std::wstring> started;
    OdbcApplication app = application(port, [&](const std::wstring& instance) {
        started.push_back(instance);
        if (!listener) listener = std::make_unique<test::TdsListener>(machine, port);
    });
    auto server = app.NewSQLServer();
    server->SetLoginTimeout(5);
    EXPECT_EQ(test::errorNumberOf([&] { server->Start(true, L"db.example.com", L"sa", L""); }),
              databaseComponentError(17));
    EXPECT_TRUE(started.empty());

    server->Start(true, L".", L"sa", L"");
    EXPECT_EQ(started, std::vector<std::wstring>{L""});
    EXPECT_TRUE(server->IsConnected());
    // A running service with a wrong password fails at once, as Connect does.
    EXPECT_EQ(test::errorNumberOf([&] { server->Start(true, L"(local)", L"sa", L"wrong"); }),
              databaseComponentError(18456));
}

TEST_F(OdbcDatabaseComponentTest, NamesBeyondTheTwoByteRangeTravelIntact) {
    test::TdsListener listener(machine);
    OdbcApplication app = application(listener.port());
    auto server = app.NewSQLServer();
    server->Connect(L"localhost", L"sa", L"");
    const std::wstring name = std::wstring(L"考试") + static_cast<wchar_t>(0x20BB7);
    server->ExecuteImmediate(L"CREATE DATABASE [" + name + L"]");
    EXPECT_EQ(server->Databases()->Item(name)->Name(), name);

    auto login = app.NewLogin();
    login->SetName(name);
    login->SetPassword(L"", L"Strong#Pw1");
    server->Logins()->Add(login);
    EXPECT_TRUE(server->LoginExists(name));
}

}  // namespace
}  // namespace t7
