#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/AppError.h"
#include "base/Text.h"
#include "platform/machine/MachineDatabaseComponent.h"
#include "platform/machine/MachineFileSystem.h"
#include "platform/machine/MachineFolder.h"
#include "sqlengine/Engine.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

const int32_t kUnreachable = databaseComponentError(17);

class MachineDatabaseComponentTest : public ::testing::Test {
protected:
    MachineDatabaseComponentTest()
        : m_machine(m_dir.path()),
          m_files(m_machine),
          m_app(MachineDatabaseOptions{m_machine.sqlServerFolder(), L"ExamSrv", [this] { return m_ipArray; },
                                       fileSystemPathMapper(m_files)}) {}

    // The service state as another process (net, t7machine) sets it.
    void setServiceRunning(bool running) {
        sqlengine::Server::open(m_machine.sqlServerFolder())->setRunning(running);
    }
    bool serviceRunning() { return sqlengine::Server::open(m_machine.sqlServerFolder())->isRunning(); }

    int32_t connectError(const std::wstring& serverName) {
        try {
            m_app.NewSQLServer()->Connect(serverName, L"sa", L"");
        } catch (const AppError& e) {
            return e.number();
        }
        return 0;
    }

    test::TempDir m_dir;
    MachineFolder m_machine;
    MachineFileSystem m_files;
    std::vector<std::wstring> m_ipArray{L"192.168.1.10", L"10.1.2.3", L"ExamSrv"};
    MachineApplication m_app;
};

TEST_F(MachineDatabaseComponentTest, AnswersOnlyToTheMachinesOwnNames) {
    for (const wchar_t* name : {L".", L"(local)", L"(LOCAL)", L"localhost", L"LocalHost", L"127.0.0.1",
                                L"192.168.1.10", L"10.1.2.3", L"examsrv", L"EXAMSRV"}) {
        EXPECT_EQ(connectError(name), 0) << toUtf8(name);
    }
    for (const wchar_t* name : {L"", L"local", L"192.168.1.11", L"otherhost", L" localhost", L"ExamSrv2"}) {
        EXPECT_EQ(connectError(name), kUnreachable) << toUtf8(name);
    }
}

TEST_F(MachineDatabaseComponentTest, AddressListIsReadAtEachAttempt) {
    EXPECT_EQ(connectError(L"172.16.0.9"), kUnreachable);
    m_ipArray.insert(m_ipArray.begin(), L"172.16.0.9");
    EXPECT_EQ(connectError(L"172.16.0.9"), 0);
}

TEST_F(MachineDatabaseComponentTest, ListsTheMachineNameAsItsServer) {
    dmo::NameList servers = m_app.ListAvailableSQLServers();
    ASSERT_EQ(servers.Count(), 1);
    EXPECT_EQ(servers.Item(1), L"ExamSrv");
}

TEST_F(MachineDatabaseComponentTest, StoppedServiceRefusesUntilStartedOnTheLocalMachine) {
    setServiceRunning(false);
    EXPECT_EQ(connectError(L"(local)"), kUnreachable);

    auto server = m_app.NewSQLServer();
    try {
        server->Start(true, L"otherhost", L"sa", L"");
        FAIL() << "started a server on another machine";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), kUnreachable);
        EXPECT_EQ(e.description(), L"SQL Server does not exist or access denied.");
    }
    EXPECT_FALSE(serviceRunning());

    server->Start(true, L"192.168.1.10", L"sa", L"");
    EXPECT_TRUE(server->IsConnected());
    EXPECT_TRUE(serviceRunning());
}

TEST_F(MachineDatabaseComponentTest, StartWithoutConnectOnlyStartsAndWrongLoginStillFails) {
    setServiceRunning(false);
    auto server = m_app.NewSQLServer();
    server->Start(false, L".", L"sa", L"");
    EXPECT_TRUE(serviceRunning());
    EXPECT_FALSE(server->IsConnected());
    EXPECT_THROW(server->Start(true, L".", L"sa", L"wrong"), AppError);
    EXPECT_FALSE(server->IsConnected());
}

TEST_F(MachineDatabaseComponentTest, OpenConnectionEndsWhenTheServiceStops) {
    auto server = m_app.NewSQLServer();
    server->Connect(L"(local)", L"sa", L"");
    ASSERT_TRUE(server->IsConnected());
    setServiceRunning(false);
    EXPECT_FALSE(server->IsConnected());
    try {
        server->ExecuteImmediate(L"PRINT 'x'");
        FAIL() << "a stopped service ran a statement";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.number() == kUnreachable || e.number() == dmo::notConnectedError()) << e.number();
    }
    setServiceRunning(true);
    server->ReConnect();
    EXPECT_TRUE(server->IsConnected());
}

TEST_F(MachineDatabaseComponentTest, DataFileOfAWindowsPathLandsInTheMachineFolder) {
    std::filesystem::create_directories(m_dir.path() / "drive_d" / "Exam" / "Data");
    auto server = m_app.NewSQLServer();
    server->Connect(L"(local)", L"sa", L"");
    server->ExecuteImmediate(L"CREATE DATABASE T7 ON (NAME =T7 ,FILENAME = 'D:\\exam\\DATA\\T7.mdf' )");
    EXPECT_TRUE(std::filesystem::exists(m_dir.path() / "drive_d" / "Exam" / "Data" / "T7.mdf"));
    EXPECT_TRUE(std::filesystem::exists(m_dir.path() / "drive_d" / "Exam" / "Data" / "T7_log.ldf"));
}

TEST_F(MachineDatabaseComponentTest, LoginWaitBoundsAnAttemptOnABusyServer) {
    setServiceRunning(true);
    // Another process holds the master catalog: the server cannot answer.
    sqlite3* holder = nullptr;
    // SQLite takes UTF-8 names, on Windows too.
    const std::string master = toUtf8((m_machine.sqlServerFolder() / "master.mdf").wstring());
    ASSERT_EQ(sqlite3_open(master.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(holder, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr),
        SQLITE_OK);

    auto server = m_app.NewSQLServer();
    server->SetLoginTimeout(1);
    auto start = std::chrono::steady_clock::now();
    try {
        server->Connect(L"(local)", L"sa", L"");
        ADD_FAILURE() << "connected to a server that cannot answer";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), kUnreachable);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(server->IsConnected());
    sqlite3_exec(holder, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
}

}  // namespace
}  // namespace t7
