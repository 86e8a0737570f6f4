#pragma once
// The contract of the database management component, run against every
// implementation. An implementation joins with an environment type: it
// gives a fresh server that the administrator login reaches, with the
// password policy on and no databases of the test's names:
//   INSTANTIATE_TYPED_TEST_SUITE_P(Name, DatabaseComponentContract, Environment);
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "base/AppError.h"
#include "database/DatabaseComponent.h"
#include "support/AppErrors.h"

namespace t7 {

template <class Environment>
class DatabaseComponentContract : public ::testing::Test {
protected:
    std::shared_ptr<dmo::SQLServer> connectAdmin() {
        auto server = env.application().NewSQLServer();
        server->SetLoginTimeout(3);
        server->Connect(env.serverName(), env.adminLogin(), env.adminPassword());
        return server;
    }

    // A new database on `server`, by the name it was created with.
    static std::shared_ptr<dmo::Database> createDatabase(dmo::SQLServer& server, const std::wstring& name) {
        server.ExecuteImmediate(L"CREATE DATABASE " + name);
        return server.Databases()->Item(name);
    }

    // The error number `sql` raises run by a server or a database (0: none).
    template <class Target>
    static int32_t errorIn(Target& target, const std::wstring& sql,
                           int32_t executionType = dmo::ExecDefault) {
        return test::errorNumberOf([&] { target.ExecuteImmediate(sql, executionType); });
    }

    std::shared_ptr<dmo::SQLServer> connectAs(const std::wstring& login, const std::wstring& password) {
        auto server = env.application().NewSQLServer();
        server->Connect(env.serverName(), login, password);
        return server;
    }

    Environment env;
};

TYPED_TEST_SUITE_P(DatabaseComponentContract);

TYPED_TEST_P(DatabaseComponentContract, ServerListHasNamesByPositionFromOne) {
    dmo::NameList list = this->env.application().ListAvailableSQLServers();
    ASSERT_GE(list.Count(), 1);
    for (int32_t i = 1; i <= list.Count(); ++i) EXPECT_FALSE(list.Item(i).empty());
    EXPECT_EQ(test::errorNumberOf([&] { list.Item(0); }), errnum::SubscriptOutOfRange);
    EXPECT_EQ(test::errorNumberOf([&] { list.Item(list.Count() + 1); }), errnum::SubscriptOutOfRange);
}

TYPED_TEST_P(DatabaseComponentContract, ConnectionStateFollowsConnectCloseAndReconnect) {
    auto server = this->env.application().NewSQLServer();
    EXPECT_FALSE(server->IsConnected());
    EXPECT_EQ(this->errorIn(*server, L"PRINT 'x'"), dmo::notConnectedError());

    server->Connect(this->env.serverName(), this->env.adminLogin(), this->env.adminPassword());
    EXPECT_TRUE(server->IsConnected());
    server->Close();
    EXPECT_FALSE(server->IsConnected());
    EXPECT_EQ(test::errorNumberOf([&] { server->Databases()->Count(); }), dmo::notConnectedError());
    server->ReConnect();
    EXPECT_TRUE(server->IsConnected());
    EXPECT_NO_THROW(server->ExecuteImmediate(L"PRINT 'x'"));
}

TYPED_TEST_P(DatabaseComponentContract, WrongPasswordFailsWithLoginFailed) {
    auto server = this->env.application().NewSQLServer();
    try {
        server->Connect(this->env.serverName(), this->env.adminLogin(), L"not the password");
        FAIL() << "connected with a wrong password";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), databaseComponentError(18456));
        EXPECT_NE(e.description().find(L"Login failed for user '" + this->env.adminLogin() + L"'"),
                  std::wstring::npos);
    }
    EXPECT_FALSE(server->IsConnected());
}

TYPED_TEST_P(DatabaseComponentContract, CreatedDatabaseIsListedAfterReconnectAndFoundIgnoringCase) {
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
    EXPECT_EQ(test::errorNumberOf([&] { databases->Item(L"NoSuchDb"); }), databaseComponentError(911));
    EXPECT_EQ(test::errorNumberOf([&] { databases->Item(databases->Count() + 1); }),
              errnum::SubscriptOutOfRange);
    // A second creation under another letter case is the server's duplicate.
    EXPECT_EQ(this->errorIn(*server, L"CREATE DATABASE contractdb"), databaseComponentError(1801));
}

TYPED_TEST_P(DatabaseComponentContract, ScriptStopsAtFirstFailingBatchAndKeepsEarlierOnes) {
    auto server = this->connectAdmin();
    auto db = this->createDatabase(*server, L"BatchDb");
    db->ExecuteImmediate(L"CREATE TABLE t (x int PRIMARY KEY)\r\n");
    std::wstring script =
        L"INSERT INTO t VALUES (1)\r\n go\r\n"
        L"INSERT INTO missing VALUES (1)\r\nGo\r\n"
        L"INSERT INTO t VALUES (2)\r\n";
    EXPECT_EQ(this->errorIn(*db, script), databaseComponentError(208));
    // Row 1 stayed, row 2 was never inserted: duplicate keys tell.
    EXPECT_EQ(this->errorIn(*db, L"INSERT INTO t VALUES (1)"), databaseComponentError(2627));
    EXPECT_EQ(this->errorIn(*db, L"INSERT INTO t VALUES (2)"), 0);
}

// With XACT_ABORT ON the failing insert ends any transaction the server
// has open: the table and the first row stay all the same.
TYPED_TEST_P(DatabaseComponentContract, ScriptEndsAsBatchByBatchWhenTheServerUndoesItsTransaction) {
    auto server = this->connectAdmin();
    auto db = this->createDatabase(*server, L"AbortDb");
    std::wstring script =
        L"SET XACT_ABORT ON\r\nGO\r\nCREATE TABLE kept (x int PRIMARY KEY)\r\nGO\r\n"
        L"INSERT INTO kept VALUES (1)\r\nGO\r\nINSERT INTO kept VALUES (1)\r\nGO\r\n"
        L"INSERT INTO kept VALUES (2)\r\n";
    EXPECT_EQ(this->errorIn(*db, script), databaseComponentError(2627));
    auto other = this->connectAdmin();
    auto seen = other->Databases()->Item(L"AbortDb");
    EXPECT_EQ(this->errorIn(*seen, L"INSERT INTO kept VALUES (1)"), databaseComponentError(2627));
    EXPECT_EQ(this->errorIn(*seen, L"INSERT INTO kept VALUES (2)"), 0);
}

// After a script, each statement is committed on its own again: another
// connection sees its row at once.
TYPED_TEST_P(DatabaseComponentContract, StatementsAfterAScriptAreCommittedAtOnce) {
    auto server = this->connectAdmin();
    auto db = this->createDatabase(*server, L"AfterDb");
    db->ExecuteImmediate(L"CREATE TABLE t (x int PRIMARY KEY)\r\nGO\r\nINSERT INTO t VALUES (1)\r\n");
    db->ExecuteImmediate(L"INSERT INTO t VALUES (2)");
    auto other = this->connectAdmin();
    auto seen = other->Databases()->Item(L"AfterDb");
    seen->ExecuteImmediate(L"SET LOCK_TIMEOUT 2000");
    for (const wchar_t* row : {L"INSERT INTO t VALUES (1)", L"INSERT INTO t VALUES (2)"})
        EXPECT_EQ(this->errorIn(*seen, row), databaseComponentError(2627)) << row;
}

TYPED_TEST_P(DatabaseComponentContract, ScriptsWithPaddingAndUnknownExecutionTypes) {
    auto server = this->connectAdmin();
    server->ExecuteImmediate(std::wstring(L"CREATE DATABASE PadDb\r\nGO\r\n\0\0\0", 30));
    EXPECT_EQ(server->Databases()->Item(L"PadDb")->Name(), L"PadDb");
    EXPECT_EQ(this->errorIn(*server, L"PRINT 'x'", 2), errnum::InvalidProcedureCall);
}

TYPED_TEST_P(DatabaseComponentContract, DatabaseExecuteRunsInThatDatabase) {
    auto server = this->connectAdmin();
    server->ExecuteImmediate(L"CREATE DATABASE FirstDb\r\nGO\r\nCREATE DATABASE SecondDb\r\n");
    auto first = server->Databases()->Item(L"firstdb");
    auto second = server->Databases()->Item(L"seconddb");
    first->ExecuteImmediate(L"CREATE TABLE only_here (x int)");
    EXPECT_EQ(this->errorIn(*second, L"CREATE TABLE only_here (x int)"), 0);
    EXPECT_EQ(this->errorIn(*first, L"CREATE TABLE only_here (x int)"), databaseComponentError(2714));
    // The objects follow the server object across a reconnect.
    server->Close();
    server->ReConnect();
    EXPECT_EQ(this->errorIn(*first, L"INSERT INTO only_here VALUES (1)"), 0);
}

TYPED_TEST_P(DatabaseComponentContract, NewLoginIsAddedOnceAndFoundByName) {
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
    EXPECT_EQ(test::errorNumberOf([&] { server->Logins()->Add(again); }), databaseComponentError(15025));
    EXPECT_EQ(test::errorNumberOf([&] { server->Logins()->Item(L"nobody"); }), databaseComponentError(15151));
}

// A new login connects to its default database, master, as SQL Server lets
// every login do there. Names and passwords are taken literally.
TYPED_TEST_P(DatabaseComponentContract, LoginConnectsWithItsCurrentPasswordOnly) {
    auto server = this->connectAdmin();
    for (const std::wstring name : {L"examadmin", L"o'neil]x"}) {
        auto login = this->env.application().NewLogin();
        login->SetName(name);
        login->SetPassword(L"", L"It's]First1");
        server->Logins()->Add(login);
        EXPECT_TRUE(server->LoginExists(name));
        EXPECT_EQ(test::errorNumberOf([&] { this->connectAs(name, L"It's]First1"); }), 0);

        // As the administrator, the old password need not be given.
        server->Logins()->Item(name)->SetPassword(L"", L"Second#Pass2");
        EXPECT_EQ(test::errorNumberOf([&] { this->connectAs(name, L"Second#Pass2"); }), 0);
        EXPECT_EQ(test::errorNumberOf([&] { this->connectAs(name, L"It's]First1"); }),
                  databaseComponentError(18456));
    }
}

TYPED_TEST_P(DatabaseComponentContract, PolicyRejectionArrivesAsMinus2147206386) {
    auto server = this->connectAdmin();
    auto login = this->env.application().NewLogin();
    login->SetName(L"weak");
    login->SetPassword(L"", L"abc");
    EXPECT_EQ(test::errorNumberOf([&] { server->Logins()->Add(login); }), -2147206386);
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
    EXPECT_EQ(test::errorNumberOf([&] { this->connectAs(this->env.adminLogin(), L"Strong#Sa1"); }), 0);
    EXPECT_EQ(
        test::errorNumberOf([&] { this->connectAs(this->env.adminLogin(), this->env.adminPassword()); }),
        databaseComponentError(18456));
}

REGISTER_TYPED_TEST_SUITE_P(DatabaseComponentContract, ServerListHasNamesByPositionFromOne,
                            ConnectionStateFollowsConnectCloseAndReconnect, WrongPasswordFailsWithLoginFailed,
                            CreatedDatabaseIsListedAfterReconnectAndFoundIgnoringCase,
                            ScriptStopsAtFirstFailingBatchAndKeepsEarlierOnes,
                            ScriptEndsAsBatchByBatchWhenTheServerUndoesItsTransaction,
                            StatementsAfterAScriptAreCommittedAtOnce,
                            ScriptsWithPaddingAndUnknownExecutionTypes, DatabaseExecuteRunsInThatDatabase,
                            NewLoginIsAddedOnceAndFoundByName, LoginConnectsWithItsCurrentPasswordOnly,
                            PolicyRejectionArrivesAsMinus2147206386);

}  // namespace t7
