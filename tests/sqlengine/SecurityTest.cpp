// What logins may do by their server and database roles, what T-SQL may
// reach (the engine's own tables, files outside the server's folders), and
// how the server folder and its connections fail.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sqlengine/Engine.h"
#include "sqlengine/EngineFixture.h"

namespace {

using namespace enginetest;

int errorNumber(Session& s, const std::string& sql) {
    try {
        s.executeBatch(sql);
    } catch (const SqlError& e) {
        return e.number();
    }
    return 0;
}

// ---- database roles -----------------------------------------------------

struct RightCase {
    const char* name;
    const char* role;  // database role of the login's user; "" for public only
    const char* sql;
    int error;
};

class DatabaseRoleTest : public EngineTest, public ::testing::WithParamInterface<RightCase> {};

TEST_P(DatabaseRoleTest, StatementIsAllowedOrRefusedAsOnTheServer) {
    const RightCase& c = GetParam();
    run("CREATE TABLE t(a int); INSERT t VALUES (1)");
    run("CREATE PROCEDURE p AS SELECT a FROM t");
    run("CREATE LOGIN u WITH PASSWORD = 'Abc#1234', DEFAULT_DATABASE = T7; CREATE USER u FOR LOGIN u");
    if (*c.role) run(std::string("EXEC sp_addrolemember '") + c.role + "', 'u'");
    auto u = m_server->connect("u", "Abc#1234");
    EXPECT_EQ(errorNumber(*u, c.sql), c.error) << c.sql;
}

const RightCase kRightCases[] = {
    {"PublicCannotSelect", "", "SELECT a FROM t", 229},
    {"PublicCannotSelectInASubquery", "", "SELECT 1 WHERE EXISTS (SELECT * FROM t)", 229},
    {"PublicCannotSelectThroughDynamicSql", "", "EXEC('SELECT a FROM t')", 229},
    {"PublicCannotInsert", "", "INSERT t VALUES (2)", 229},
    {"PublicCannotUpdate", "", "UPDATE t SET a = 2", 229},
    {"PublicCannotDelete", "", "DELETE FROM t", 229},
    {"PublicCannotExecute", "", "EXEC p", 229},
    {"PublicCannotCreateTables", "", "CREATE TABLE x(a int)", 262},
    {"PublicCannotCreateViews", "", "CREATE VIEW v AS SELECT 1 AS one", 262},
    {"PublicCannotDropTables", "", "DROP TABLE t", 3701},
    {"PublicCannotAlterTables", "", "ALTER TABLE t ADD b int", 1088},
    {"PublicCannotTruncate", "", "TRUNCATE TABLE t", 1088},
    {"PublicCannotCreateUsers", "", "CREATE USER w WITHOUT LOGIN", 15247},
    {"PublicCannotJoinRoles", "", "EXEC sp_addrolemember 'db_owner', 'u'", 15151},
    {"PublicReadsTheCatalog", "", "SELECT count(*) FROM sysobjects", 0},
    {"ReaderSelects", "db_datareader", "SELECT a FROM t", 0},
    {"ReaderCannotInsert", "db_datareader", "INSERT t VALUES (2)", 229},
    {"WriterInserts", "db_datawriter", "INSERT t VALUES (2)", 0},
    {"WriterUpdates", "db_datawriter", "UPDATE t SET a = 2", 0},
    {"WriterDeletes", "db_datawriter", "DELETE FROM t", 0},
    {"WriterCannotSelect", "db_datawriter", "SELECT a FROM t", 229},
    {"DdlAdminCreates", "db_ddladmin", "CREATE TABLE x(a int); CREATE INDEX ix ON t(a); DROP TABLE x", 0},
    {"DdlAdminCannotSelect", "db_ddladmin", "SELECT a FROM t", 229},
    {"DdlAdminCannotJoinOwners", "db_ddladmin", "EXEC sp_addrolemember 'db_owner', 'u'", 15151},
    {"OwnerDoesEverything", "db_owner",
     "SELECT a FROM t; INSERT t VALUES (2); EXEC p; CREATE TABLE x(a int); TRUNCATE TABLE x; "
     "CREATE USER w WITHOUT LOGIN; EXEC sp_addrolemember 'db_datareader', 'w'",
     0},
};

INSTANTIATE_TEST_SUITE_P(Roles, DatabaseRoleTest, ::testing::ValuesIn(kRightCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTest, RefusalsNameThePermissionAndRolesCountFromTheNextConnection) {
    run("CREATE TABLE t(a int); INSERT t VALUES (7)");
    run("CREATE LOGIN u WITH PASSWORD = 'Abc#1234', DEFAULT_DATABASE = T7; CREATE USER u FOR LOGIN u");
    auto u = m_server->connect("u", "Abc#1234");
    try {
        u->executeBatch("SELECT a FROM t");
        ADD_FAILURE();
    } catch (const SqlError& e) {
        EXPECT_EQ(e.message(),
                  "The SELECT permission was denied on the object 't', database 'T7', schema 'dbo'.");
    }
    try {
        u->executeBatch("CREATE TABLE x(a int)");
        ADD_FAILURE();
    } catch (const SqlError& e) {
        EXPECT_EQ(e.message(), "CREATE TABLE permission denied in database 'T7'.");
    }
    // As on the server, membership is read when the user enters the database.
    run("EXEC sp_addrolemember 'db_datareader', 'u'");
    EXPECT_EQ(errorNumber(*u, "SELECT a FROM t"), 229);
    u->useDatabase("T7");
    EXPECT_EQ(errorNumber(*u, "SELECT a FROM t"), 0);
}

// ---- server roles ---------------------------------------------------------

struct ServerCase {
    const char* name;
    const char* role;  // server role of login u; "" for none
    const char* sql;   // run by u in master
    int error;
};

class ServerRoleTest : public EngineTest, public ::testing::WithParamInterface<ServerCase> {};

TEST_P(ServerRoleTest, StatementIsAllowedOrRefusedAsOnTheServer) {
    const ServerCase& c = GetParam();
    run("CREATE LOGIN u WITH PASSWORD = 'Abc#1234'; EXEC sp_addlogin 'v', 'Abc#1234'");
    if (*c.role) run(std::string("EXEC sp_addsrvrolemember 'u', '") + c.role + "'");
    m_session->useDatabase("master");
    auto u = m_server->connect("u", "Abc#1234");
    EXPECT_EQ(errorNumber(*u, c.sql), c.error) << c.sql;
}

const ServerCase kServerCases[] = {
    {"PlainCannotCreateDatabases", "", "CREATE DATABASE x", 262},
    {"PlainCannotDropDatabases", "", "DROP DATABASE T7", 3701},
    {"PlainCannotCreateLogins", "", "CREATE LOGIN w WITH PASSWORD = 'Abc#1234'", 15247},
    {"PlainCannotAddLogins", "", "EXEC sp_addlogin 'w', 'Abc#1234'", 15247},
    {"PlainCannotAlterOtherLogins", "", "ALTER LOGIN v WITH PASSWORD = 'Xyz#1234'", 15247},
    {"PlainCannotAlterSa", "", "ALTER LOGIN sa WITH PASSWORD = 'Xyz#1234'", 15247},
    {"PlainCannotDropLogins", "", "DROP LOGIN v", 15151},
    {"PlainCannotGrantServerRoles", "", "EXEC sp_addsrvrolemember 'u', 'sysadmin'", 15247},
    {"DbcreatorCreatesAndOwns", "dbcreator",
     "CREATE DATABASE x; USE x; CREATE TABLE t(a int); SELECT a FROM t", 0},
    {"DbcreatorDropsDatabases", "dbcreator", "DROP DATABASE T7", 0},
    {"DbcreatorCannotCreateLogins", "dbcreator", "CREATE LOGIN w WITH PASSWORD = 'Abc#1234'", 15247},
    {"SecurityadminCreatesLogins", "securityadmin", "CREATE LOGIN w WITH PASSWORD = 'Abc#1234'", 0},
    {"SecurityadminAltersLogins", "securityadmin", "ALTER LOGIN v WITH PASSWORD = 'Xyz#1234'; DROP LOGIN v",
     0},
    {"SecurityadminCannotAlterSa", "securityadmin", "ALTER LOGIN sa WITH PASSWORD = 'Xyz#1234'", 15247},
    {"SecurityadminCannotCreateDatabases", "securityadmin", "CREATE DATABASE x", 262},
    {"SecurityadminCannotMakeSysadmins", "securityadmin", "EXEC sp_addsrvrolemember 'v', 'sysadmin'", 15247},
    {"SysadminDoesEverything", "sysadmin",
     "CREATE DATABASE x; DROP DATABASE x; CREATE LOGIN w WITH PASSWORD = 'Abc#1234'; ALTER LOGIN sa ENABLE",
     0},
};

INSTANTIATE_TEST_SUITE_P(Roles, ServerRoleTest, ::testing::ValuesIn(kServerCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTest, AnOwnerOfADatabaseMayDropItAndNoOtherPlainLogin) {
    run("CREATE LOGIN o WITH PASSWORD = 'Abc#1234'; CREATE USER o FOR LOGIN o; EXEC sp_addrolemember "
        "'db_owner', 'o'");
    run("CREATE LOGIN r WITH PASSWORD = 'Abc#1234'; CREATE USER r FOR LOGIN r; EXEC sp_addrolemember "
        "'db_datareader', 'r'");
    run("USE master");
    auto r = m_server->connect("r", "Abc#1234");
    EXPECT_EQ(errorNumber(*r, "DROP DATABASE T7"), 3701);
    EXPECT_TRUE(fs::exists(m_dir / "sqlserver" / "data" / "T7.mdf"));
    r.reset();
    auto o = m_server->connect("o", "Abc#1234");
    m_session.reset();
    EXPECT_EQ(errorNumber(*o, "DROP DATABASE T7"), 0);
    EXPECT_FALSE(fs::exists(m_dir / "sqlserver" / "data" / "T7.mdf"));
}

// ---- the engine's own tables --------------------------------------------

class InternalsTest : public EngineTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(InternalsTest, AreInvisibleToTsql) {
    EXPECT_EQ(errorOf(GetParam()), 208) << GetParam();
    EXPECT_EQ(rows("SELECT count(*) FROM sysobjects WHERE name = 'kept'"), Rows{"0"});
}

INSTANTIATE_TEST_SUITE_P(Engine, InternalsTest,
                         ::testing::Values("SELECT name FROM sqlite_master", "SELECT * FROM sqlite_schema",
                                           "SELECT * FROM sqlite_temp_master",
                                           "SELECT 1 WHERE EXISTS (SELECT * FROM sqlite_master)",
                                           "EXEC('SELECT sql FROM sqlite_master')",
                                           "SELECT * FROM _t7_objects", "SELECT * FROM dbo._t7_users",
                                           "SELECT * FROM _t7v_syslogins",
                                           "INSERT INTO _t7_objects(name, xtype) VALUES ('kept', 'U')",
                                           "UPDATE _t7_users SET login = 'x'", "DELETE FROM _t7_columns",
                                           "CREATE VIEW leak AS SELECT sql FROM sqlite_master"));

TEST_F(EngineTest, InternalNamesCannotBeTakenByUserObjects) {
    EXPECT_EQ(errorOf("CREATE TABLE sqlite_x(a int)"), 208);
    EXPECT_EQ(errorOf("CREATE TABLE _t7_meta(a int)"), 208);
    EXPECT_EQ(errorOf("DROP TABLE _t7_objects"), 208);
    EXPECT_EQ(errorOf("CREATE INDEX ix ON sqlite_master(name)"), 208);
    EXPECT_EQ(rows("SELECT count(*) FROM sys.objects"), Rows{"0"});
}

// ---- files ---------------------------------------------------------------

struct FileCase {
    const char* name;
    const char* sql;
    int error;
};

class DatabaseFileTest : public EngineTest, public ::testing::WithParamInterface<FileCase> {
protected:
    // Drive D: of the client is <dir>/drive_d, as in a machine folder.
    void SetUp() override {
        EngineTest::SetUp();
        m_session.reset();
        m_server.reset();
        fs::create_directories(m_dir / "drive_d" / "Exam" / "Data");
        fs::path drive = m_dir / "drive_d";
        m_server = Server::open(m_dir / "sqlserver", [drive](const std::string& p) {
            if (p.size() < 2 || (p[1] != ':' || (p[0] != 'D' && p[0] != 'd'))) return fs::path(p);
            std::string rest = p.substr(2);
            for (char& c : rest)
                if (c == '\\') c = '/';
            while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
            return drive / rest;
        });
        m_session = m_server->connect("sa", "");
    }
};

TEST_P(DatabaseFileTest, StaysInTheServersFolders) {
    const FileCase& c = GetParam();
    EXPECT_EQ(errorOf(c.sql), c.error) << c.sql << ": " << m_lastMessage;
    // Nothing was written beside the server's folders.
    std::vector<std::string> outside;
    for (const auto& entry : fs::directory_iterator(m_dir))
        if (entry.path().filename() != "sqlserver" && entry.path().filename() != "drive_d")
            outside.push_back(entry.path().filename().string());
    for (const auto& entry : fs::directory_iterator(m_dir / "drive_d"))
        if (entry.path().filename() != "Exam") outside.push_back(entry.path().string());
    EXPECT_TRUE(outside.empty()) << outside.front();
    EXPECT_EQ(m_server->databaseNames().size(), c.error ? 2u : 3u);
}

const FileCase kFileCases[] = {
    // Two levels up is the test's own folder, where a stray file would show.
    {"NameClimbingOut", "CREATE DATABASE [../../x]", 5105},
    {"NameClimbingOneUp", "CREATE DATABASE [..]", 5105},
    {"NameWithBackslash", "CREATE DATABASE [a\\b]", 5105},
    {"NameWithColon", "CREATE DATABASE [a:b]", 5105},
    {"NameWithControlCharacter", "CREATE DATABASE [a\tb]", 5105},
    {"FileClimbingOut", "CREATE DATABASE x ON (NAME = x, FILENAME = 'D:\\Exam\\..\\..\\x.mdf')", 5123},
    {"FileOnAnUnmappedDrive", "CREATE DATABASE x ON (NAME = x, FILENAME = '/tmp/x.mdf')", 5123},
    {"FileWithWildcard", "CREATE DATABASE x ON (NAME = x, FILENAME = 'D:\\Exam\\Data\\x?.mdf')", 5105},
    {"LogClimbingOut",
     "CREATE DATABASE x ON (NAME = x, FILENAME = 'D:\\Exam\\Data\\x.mdf') LOG ON (NAME = xl, FILENAME = "
     "'D:\\Exam\\..\\..\\xl.ldf')",
     5123},
    {"FileInTheMappedDrive", "CREATE DATABASE x ON (NAME = x, FILENAME = 'D:\\Exam\\Data\\x.mdf')", 0},
    {"DottedName", "CREATE DATABASE [a.b]", 0},
};

INSTANTIATE_TEST_SUITE_P(Files, DatabaseFileTest, ::testing::ValuesIn(kFileCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the server folder -----------------------------------------------------

TEST_F(EngineTest, FolderWithDatabasesButNoMasterRefusesToStart) {
    m_session.reset();
    m_server.reset();
    fs::remove(m_dir / "sqlserver" / "master.mdf");
    try {
        Server::open(m_dir / "sqlserver");
        FAIL() << "a fresh master was made over existing databases";
    } catch (const SqlError& e) {
        EXPECT_EQ(e.number(), 17113);
        EXPECT_NE(e.message().find("master.mdf"), std::string::npos) << e.message();
    }
    EXPECT_FALSE(fs::exists(m_dir / "sqlserver" / "master.mdf"));
    EXPECT_TRUE(fs::exists(m_dir / "sqlserver" / "data" / "T7.mdf"));
}

TEST_F(EngineTest, DatabaseFilesAreReadableByTheirOwnerOnly) {
    run("CREATE TABLE t(a int); INSERT t VALUES (1)");  // the open connection keeps its journal
    for (const char* file :
         {"master.mdf", "mastlog.ldf", "data/T7.mdf", "data/T7_log.ldf", "data/T7.mdf-wal"}) {
        struct stat st {};
        ASSERT_EQ(::stat((m_dir / "sqlserver" / file).string().c_str(), &st), 0) << file;
        EXPECT_EQ(st.st_mode & 0077, 0u) << file << " has mode " << std::oct << (st.st_mode & 0777);
    }
}

// ---- connections ------------------------------------------------------------

int openDescriptors() {
    int count = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    while (dir && ::readdir(dir)) ++count;
    if (dir) ::closedir(dir);
    return count;
}

TEST_F(EngineTest, FailedOpeningOfADatabaseLeavesNoConnectionBehind) {
    run("CREATE DATABASE Broken");
    std::ofstream(m_dir / "sqlserver" / "data" / "Broken.mdf", std::ios::trunc) << std::string(4096, 'x');
    auto attempt = [&] {
        EXPECT_EQ(errorOf("USE Broken"), 945);
        EXPECT_THROW(m_session->useDatabase("Broken"), SqlError);
        EXPECT_THROW(m_server->connect("sa", "")->useDatabase("Broken"), SqlError);
    };
    // SQLite keeps a closed file's descriptor for reuse while the process
    // holds other connections to it: count from the second attempt on.
    attempt();
    int before = openDescriptors();
    for (int i = 0; i < 20; ++i) attempt();
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(m_session->currentDatabase(), "T7");
}

TEST_F(EngineTest, LockWaitThatRunsOutIsALockTimeout) {
    run("USE master");
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open((m_dir / "sqlserver" / "data" / "T7.mdf").string().c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(holder, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
        SQLITE_OK);
    try {
        m_session->useDatabase("T7");
        ADD_FAILURE() << "opened a database another connection holds";
    } catch (const SqlError& e) {
        EXPECT_EQ(e.number(), 1222);
        EXPECT_EQ(e.message(), "Lock request time out period exceeded.");
    }
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(m_session->currentDatabase(), "master");
    m_session->useDatabase("T7");
}

}  // namespace
