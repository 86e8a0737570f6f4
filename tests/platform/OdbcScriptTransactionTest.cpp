// Which scripts the ODBC component runs as one transaction: the wizard's
// own scripts do, scripts with statements SQL Server refuses inside a
// transaction, or that call procedures or end transactions, do not, and
// comments, literals and quoted names do not count.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/BatchSplitter.h"
#include "platform/odbc/ScriptTransaction.h"
#include "resources/ScriptResources.h"

namespace t7::odbc {
namespace {

bool fits(std::initializer_list<std::wstring> batches) {
    return fitsOneTransaction(std::vector<std::wstring>(batches));
}

TEST(ScriptTransactionTest, TheWizardsScriptsRunAsOneTransaction) {
    for (const wchar_t* name : {L"T7SQL", L"T7DATA", L"T7UPDATE", L"OSTRELLOG"}) {
        std::vector<std::wstring> batches = splitBatches(LoadScriptText(name));
        EXPECT_GT(batches.size(), 1u) << name;
        EXPECT_TRUE(fitsOneTransaction(batches)) << name;
    }
}

TEST(ScriptTransactionTest, StatementsRefusedInATransactionRunBatchByBatch) {
    EXPECT_FALSE(fits({L"CREATE TABLE t (x int)", L"create database Other"}));
    EXPECT_FALSE(fits({L"ALTER DATABASE T7 SET RECOVERY SIMPLE"}));
    EXPECT_FALSE(fits({L"BACKUP LOG T7 WITH TRUNCATE_ONLY"}));
    EXPECT_FALSE(fits({L"create login examuser with password = 'x'"}));
    EXPECT_FALSE(fits({L"UPDATE STATISTICS t"}));
    EXPECT_FALSE(fits({L"RECONFIGURE WITH OVERRIDE"}));
    // Procedures: called by EXEC or by name at the start of the batch, also
    // through a dotted name.
    EXPECT_FALSE(fits({L"exec sp_addrolemember 'db_owner', 'u'"}));
    EXPECT_FALSE(fits({L"master.dbo.sp_dboption 'T7', 'single user', true"}));
    EXPECT_FALSE(fits({L"EXECUTE ('DROP TABLE t')"}));
    // The script's own transaction statements.
    EXPECT_FALSE(fits({L"BEGIN TRAN", L"INSERT t VALUES (1)", L"COMMIT"}));
    EXPECT_FALSE(fits({L"if @@error <> 0 rollback"}));
}

TEST(ScriptTransactionTest, CommentsLiteralsAndQuotedNamesDoNotCount) {
    EXPECT_TRUE(
        fits({L"-- backup the database first\r\nCREATE TABLE t (x int)",
              L"/* exec sp_who /* nested */ rollback */ INSERT t VALUES (1)",
              L"INSERT notes VALUES ('create database; it''s exec time')",
              L"SELECT [Database], \"Login\", [a]]exec] FROM t", L"CREATE INDEX LoginTime_ix ON t (x)"}));
    // Bodies of procedures, functions, triggers and views are only stored.
    EXPECT_TRUE(
        fits({L"CREATE PROCEDURE sp_drop_user @id int AS\r\nBEGIN TRAN\r\nEXEC sp_other @id\r\n"
              L"COMMIT TRAN",
              L"create trigger tr on t for insert as if @@rowcount > 1 rollback transaction"}));
    EXPECT_TRUE(fits({}));
}

}  // namespace
}  // namespace t7::odbc
