#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sqlengine/Engine.h"
#include "sqlengine/EngineFixture.h"

namespace {

using namespace enginetest;
using sqlengine::SqlError;

// ---- schema changes keep their constraints working ---------------------

TEST_F(EngineTest, RebuiltParentTableKeepsItsForeignKeys) {
    run("CREATE TABLE p (id int PRIMARY KEY, code int NULL)");
    run("CREATE TABLE c (pid int NOT NULL CONSTRAINT FK_c REFERENCES p(id), n int CHECK (n > 0))");
    run("INSERT p VALUES (1, 5); INSERT c VALUES (1, 1)");
    // Changing a column's storage class rebuilds the table underneath.
    run("ALTER TABLE p ALTER COLUMN code varchar(10) NULL");
    run("ALTER TABLE c ALTER COLUMN n bigint NULL");
    EXPECT_EQ(errorOf("DELETE FROM p"), 547);
    EXPECT_EQ(errorOf("INSERT c VALUES (2, 1)"), 547);
    EXPECT_EQ(errorOf("INSERT c VALUES (1, 0)"), 547);
    EXPECT_EQ(errorOf("INSERT p VALUES (1, 'x')"), 2627);
    EXPECT_EQ(rows("SELECT code + 'x' FROM p"), Rows{"5x"});
}

TEST_F(EngineTest, ForeignKeysHoldOnEveryConnectionAndThroughCascades) {
    run("CREATE TABLE a (id int PRIMARY KEY)");
    run("CREATE TABLE b (id int PRIMARY KEY, a_id int NULL)");
    run("ALTER TABLE b ADD CONSTRAINT FK_b_a FOREIGN KEY (a_id) REFERENCES a (id) ON DELETE CASCADE");
    run("CREATE TABLE c (id int NULL, b_id int NULL CONSTRAINT FK_c_b REFERENCES b (id) ON DELETE CASCADE)");
    run("CREATE TABLE d (b_id int NULL CONSTRAINT FK_d_b REFERENCES b (id))");
    // Another connection writes first: the keys hold there as well.
    auto other = m_server->connect("sa", "");
    other->useDatabase("T7");
    other->executeBatch(
        "INSERT a VALUES (1); INSERT a VALUES (2); INSERT b VALUES (1, 1); INSERT b VALUES (2, 2)");
    other->executeBatch("INSERT c VALUES (10, 1); INSERT c VALUES (20, 2)");
    EXPECT_THROW(other->executeBatch("INSERT c VALUES (30, 9)"), SqlError);
    EXPECT_EQ(errorOf("UPDATE b SET a_id = 7 WHERE id = 1"), 547);
    // Deleting from a removes its rows in b and, through b, in c.
    run("DELETE FROM a WHERE id = 1");
    EXPECT_EQ(rows("SELECT id FROM b"), Rows{"2"});
    EXPECT_EQ(rows("SELECT id FROM c"), Rows{"20"});
    // A cascade stops at a key that does not cascade.
    run("INSERT d VALUES (2)");
    EXPECT_EQ(errorOf("DELETE FROM a WHERE id = 2"), 547);
    EXPECT_EQ(m_lastMessage.find("FK_d_b") != std::string::npos, true) << m_lastMessage;
    EXPECT_EQ(rows("SELECT count(*) FROM b"), Rows{"1"});
    EXPECT_EQ(errorOf("UPDATE a SET id = 5 WHERE id = 2"), 547);
}

TEST_F(EngineTest, DroppedTableLeavesNoCatalogEntries) {
    run("CREATE TABLE p (id int CONSTRAINT PK_p PRIMARY KEY, a int CONSTRAINT DF_a DEFAULT 1 CONSTRAINT CK_a "
        "CHECK (a > 0))");
    run("CREATE INDEX IX_p ON p(a)");
    run("CREATE TRIGGER tr_p ON p FOR DELETE AS SELECT 1");
    EXPECT_EQ(rows("SELECT count(*) FROM sysobjects"), Rows{"5"});
    run("DROP TABLE p");
    EXPECT_EQ(rows("SELECT count(*) FROM sysobjects"), Rows{"0"});
    EXPECT_EQ(rows("SELECT count(*) FROM sysindexes"), Rows{"0"});
    EXPECT_EQ(rows("SELECT count(*) FROM syscolumns"), Rows{"0"});
    // The names are free again.
    run("CREATE TABLE p (id int CONSTRAINT PK_p PRIMARY KEY)");
}

TEST_F(EngineTest, DroppingConstraintsFreesTheirNamesAndRules) {
    run("CREATE TABLE t (a int NOT NULL, b varchar(5) NULL CONSTRAINT DF_b DEFAULT 'x')");
    run("ALTER TABLE t ADD CONSTRAINT PK_t PRIMARY KEY (a), CONSTRAINT UQ_b UNIQUE (b)");
    EXPECT_EQ(errorOf("ALTER TABLE t ADD CONSTRAINT PK_t2 PRIMARY KEY (a)"), 1779);
    EXPECT_EQ(errorOf("ALTER TABLE t ADD CONSTRAINT PK_t2 PRIMARY KEY (b)"), 8111);
    run("ALTER TABLE t DROP CONSTRAINT PK_t, UQ_b, DF_b");
    run("INSERT t (a) VALUES (1); INSERT t (a) VALUES (1)");
    EXPECT_EQ(rows("SELECT count(*), max(b) FROM t"), Rows{"2|NULL"});
    EXPECT_EQ(errorOf("ALTER TABLE t DROP CONSTRAINT PK_t"), 3728);
    EXPECT_EQ(errorOf("ALTER TABLE t ADD CONSTRAINT PK_t PRIMARY KEY (a)"), 1505);
}

TEST_F(EngineTest, DroppingAColumnUsedByAConstraintIsRefused) {
    run("CREATE TABLE t (a int NOT NULL PRIMARY KEY, b int NULL CONSTRAINT DF_b DEFAULT 0, c int NULL)");
    EXPECT_EQ(errorOf("ALTER TABLE t DROP COLUMN a"), 5074);
    EXPECT_EQ(errorOf("ALTER TABLE t DROP COLUMN b"), 5074);
    EXPECT_EQ(errorOf("ALTER TABLE t DROP COLUMN nothing"), 4924);
    run("ALTER TABLE t DROP COLUMN c");
    EXPECT_EQ(rows("SELECT name FROM syscolumns WHERE id = object_id('t') ORDER BY colid"), (Rows{"a", "b"}));
    EXPECT_EQ(errorOf("ALTER TABLE t ADD b int"), 2705);
}

TEST_F(EngineTest, ViewsAreQueryableAndReplaceable) {
    run("CREATE TABLE t (a int, b nvarchar(10)); INSERT t VALUES (1, 'x'), (2, 'y')");
    run("CREATE VIEW v (n, label) AS SELECT a, b + '!' FROM t");
    EXPECT_EQ(rows("SELECT label FROM v WHERE n = 2"), Rows{"y!"});
    run("ALTER VIEW v AS SELECT count(*) AS n FROM t");
    EXPECT_EQ(rows("SELECT n FROM v"), Rows{"2"});
    EXPECT_EQ(errorOf("CREATE VIEW w AS SELECT * FROM nothing"), 208);
    EXPECT_EQ(rows("SELECT count(*) FROM sysobjects WHERE name = 'w'"), Rows{"0"});
    EXPECT_EQ(errorOf("ALTER VIEW w AS SELECT 1 AS x"), 208);
    EXPECT_EQ(errorOf("INSERT v VALUES (1)"), 4403);
    EXPECT_EQ(rows("SELECT VIEW_DEFINITION FROM INFORMATION_SCHEMA.VIEWS"),
              Rows{"ALTER VIEW v AS SELECT count(*) AS n FROM t"});
    run("DROP VIEW v");
    EXPECT_EQ(errorOf("SELECT * FROM v"), 208);
}

TEST_F(EngineTest, InformationSchemaAnswersExistenceTests) {
    run("CREATE TABLE t (a int NOT NULL, b nvarchar(20) NULL)");
    EXPECT_EQ(rows("IF EXISTS (SELECT * FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'T' AND "
                   "COLUMN_NAME = 'b') "
                   "SELECT CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE FROM INFORMATION_SCHEMA.COLUMNS WHERE "
                   "COLUMN_NAME = 'b'"),
              Rows{"20|YES"});
    EXPECT_EQ(rows("SELECT TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = 't'"),
              Rows{"BASE TABLE"});
    EXPECT_EQ(rows("SELECT is_primary_key FROM sys.indexes WHERE object_id = object_id('t')"), Rows{});
}

// ---- identity --------------------------------------------------------

TEST_F(EngineTest, IdentityInsertIsPerSessionAndPerTable) {
    run("CREATE TABLE a (id int IDENTITY, x int); CREATE TABLE b (id int IDENTITY, x int); CREATE TABLE c (x "
        "int)");
    run("SET IDENTITY_INSERT a ON");
    EXPECT_EQ(errorOf("SET IDENTITY_INSERT b ON"), 8107);
    EXPECT_EQ(errorOf("SET IDENTITY_INSERT c ON"), 8106);
    EXPECT_EQ(errorOf("INSERT a (x) VALUES (1)"), 545);
    EXPECT_EQ(errorOf("INSERT a VALUES (1, 1)"), 8101);
    run("INSERT a (id, x) VALUES (-5, 1)");
    // Another session has IDENTITY_INSERT off.
    auto other = m_server->connect("sa", "");
    other->useDatabase("T7");
    EXPECT_THROW(other->executeBatch("INSERT a (id, x) VALUES (7, 1)"), SqlError);
    other->executeBatch("INSERT a (x) VALUES (2)");
    EXPECT_EQ(rows("SELECT id FROM a ORDER BY id"), (Rows{"-5", "1"}));
}

TEST_F(EngineTest, IdentityValuesOfMultiRowInsertsAndScope) {
    run("CREATE TABLE t (id bigint IDENTITY(1000, -10) PRIMARY KEY, x int)");
    run("INSERT t (x) VALUES (1), (2), (3)");
    EXPECT_EQ(rows("SELECT @@IDENTITY, SCOPE_IDENTITY(), IDENT_CURRENT('t')"), Rows{"980|980|980"});
    run("INSERT t (x) SELECT x FROM t WHERE x > 1");
    EXPECT_EQ(rows("SELECT min(id), count(*) FROM t"), Rows{"960|5"});
    // A failing insert consumes values, as on the server, but writes no row.
    EXPECT_EQ(errorOf("INSERT t (x) VALUES ('bad')"), 245);
    EXPECT_EQ(rows("SELECT count(*) FROM t"), Rows{"5"});
}

// ---- atomicity -------------------------------------------------------

TEST_F(EngineTest, FailureInsideBlocksAndProceduresKeepsEarlierWork) {
    run("CREATE TABLE t (a int PRIMARY KEY)");
    EXPECT_EQ(errorOf("IF 1 = 1 BEGIN INSERT t VALUES (1) INSERT t VALUES (1) INSERT t VALUES (2) END"),
              2627);
    EXPECT_EQ(rows("SELECT a FROM t"), Rows{"1"});
    run("CREATE PROCEDURE p AS INSERT t VALUES (10) INSERT t VALUES (1) INSERT t VALUES (11)");
    EXPECT_EQ(errorOf("EXEC p"), 2627);
    EXPECT_EQ(rows("SELECT a FROM t ORDER BY a"), (Rows{"1", "10"}));
    // A multi-row statement is all or nothing.
    EXPECT_EQ(errorOf("INSERT t VALUES (20), (21), (1)"), 2627);
    EXPECT_EQ(rows("SELECT count(*) FROM t WHERE a >= 20"), Rows{"0"});
}

TEST_F(EngineTest, CommittedBatchesAreVisibleToOtherConnections) {
    run("CREATE TABLE t (a nvarchar(10))");
    auto second = sqlengine::Server::open(m_dir / "sqlserver");
    auto s2 = second->connect("sa", "");
    s2->useDatabase("T7");
    s2->executeBatch("INSERT t VALUES (N'从二')");
    EXPECT_EQ(rows("SELECT a FROM t"), Rows{"从二"});
    run("CREATE DATABASE Later");
    EXPECT_EQ(second->databaseNames(), (std::vector<std::string>{"master", "T7", "Later"}));
    // A syntax error leaves nothing half-done for the other side either.
    EXPECT_EQ(errorOf("INSERT t VALUES ('x') SELECT * FROM"), 102);
    auto r = s2->executeBatch("SELECT count(*) FROM t");
    EXPECT_EQ(*r.resultSets[0].rows[0][0], "1");
}

// ---- security ---------------------------------------------------------

TEST_F(EngineTest, OrdinaryLoginsCannotManageOtherLogins) {
    run("CREATE LOGIN u WITH PASSWORD = 'Abc#1234', DEFAULT_DATABASE = T7; CREATE USER u FOR LOGIN u");
    run("CREATE LOGIN v WITH PASSWORD = 'Abc#1234'");
    auto s = m_server->connect("u", "Abc#1234");
    auto err = [&](const std::string& sql) {
        try {
            s->executeBatch(sql);
        } catch (const SqlError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(err("DROP LOGIN v"), 15151);
    EXPECT_EQ(err("ALTER LOGIN v WITH PASSWORD = 'New#12345'"), 15247);
    EXPECT_EQ(err("ALTER LOGIN u WITH PASSWORD = 'New#12345'"), 15151);  // without its old password
    EXPECT_EQ(err("ALTER LOGIN u WITH PASSWORD = 'New#12345' OLD_PASSWORD = 'Abc#1234'"), 0);
    run("CREATE DATABASE Closed");
    EXPECT_EQ(err("USE Closed"), 916);
    EXPECT_EQ(err("USE master"), 0);
    EXPECT_EQ(err("USE T7"), 0);
    EXPECT_EQ(s->currentDatabase(), "T7");
    run("ALTER LOGIN u DISABLE");
    EXPECT_THROW(m_server->connect("u", "New#12345"), SqlError);
    run("ALTER LOGIN u ENABLE");
    EXPECT_NO_THROW(m_server->connect("u", "New#12345"));
}

TEST_F(EngineTest, UsersBelongToTheirDatabase) {
    run("CREATE LOGIN u WITH PASSWORD = 'Abc#1234'");
    run("CREATE USER u FOR LOGIN u WITH DEFAULT_SCHEMA = dbo");
    EXPECT_EQ(errorOf("CREATE USER other FOR LOGIN u"), 15063);
    EXPECT_EQ(errorOf("CREATE USER x FOR LOGIN nobody"), 15007);
    EXPECT_EQ(errorOf("EXEC sp_addrolemember 'db_owner', 'nobody'"), 15410);
    EXPECT_EQ(errorOf("DROP USER dbo"), 15151);
    run("CREATE DATABASE Other");
    run("USE Other");
    EXPECT_EQ(rows("SELECT count(*) FROM sysusers WHERE name = 'u'"), Rows{"0"});
    run("CREATE USER u FOR LOGIN u");
    run("USE T7; DROP USER u");
    run("USE Other");
    EXPECT_EQ(rows("SELECT count(*) FROM sys.sysusers WHERE name = 'U'"), Rows{"1"});
}

}  // namespace
