// SAVE TRANSACTION and ROLLBACK TRANSACTION to a savepoint or a named
// transaction, within one batch and over several.
#include "EngineFixture.h"

namespace enginetest {
namespace {

class SavepointTest : public EngineTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        m_session->setTransactionsSpanBatches(GetParam());
        run("CREATE TABLE t (a int PRIMARY KEY)");
    }
};

TEST_P(SavepointTest, RollbackToASavepointUndoesWhatCameAfterItAndGoesOn) {
    const std::string longName(40, 'p');
    Rows inside = rows(
        "BEGIN TRAN; INSERT t VALUES (1); SAVE TRAN a; INSERT t VALUES (2); SAVE TRANSACTION b; "
        "INSERT t VALUES (3); ROLLBACK TRAN a; INSERT t VALUES (4); "
        // Equal names: the latest counts, and it stays after the rollback.
        "SAVE TRAN s; INSERT t VALUES (5); SAVE TRAN s; INSERT t VALUES (6); ROLLBACK TRAN s; "
        "ROLLBACK TRAN s; "
        // Names keep their first 32 characters.
        "SAVE TRAN " +
        longName + "; INSERT t VALUES (7); ROLLBACK TRAN " + longName.substr(0, 32) +
        "; SELECT @@TRANCOUNT, count(*), sum(a) FROM t; COMMIT");
    EXPECT_EQ(inside, Rows{"1|3|10"});
    EXPECT_EQ(rows("SELECT a FROM t ORDER BY a"), (Rows{"1", "4", "5"}));
}

TEST_P(SavepointTest, OnlyTheOutermostTransactionsNameRollsAllBack) {
    EXPECT_EQ(errorOf("BEGIN TRAN outer_tran; INSERT t VALUES (1); BEGIN TRAN inner_tran; "
                      "ROLLBACK TRAN inner_tran"),
              6401);
    run("IF @@TRANCOUNT > 0 ROLLBACK");
    EXPECT_EQ(rows("BEGIN TRAN outer_tran; INSERT t VALUES (1); SAVE TRAN s; INSERT t VALUES (2); "
                   "ROLLBACK TRAN outer_tran; SELECT @@TRANCOUNT, count(*) FROM t"),
              Rows{"0|0"});
}

// A variable may hold the name; its value counts as a written name would.
TEST_P(SavepointTest, NamesMayComeFromVariables) {
    EXPECT_EQ(rows("DECLARE @t varchar(40), @s nvarchar(40); SET @t = 'outer_tran'; SET @s = N'" +
                   std::string(40, 's') +
                   "'; BEGIN TRAN @t; INSERT t VALUES (1); SAVE TRANSACTION @s; INSERT t VALUES (2); "
                   "ROLLBACK TRAN " +
                   std::string(32, 's') +
                   "; SELECT count(*) FROM t; ROLLBACK TRAN @t; SELECT @@TRANCOUNT, count(*) FROM t"),
              Rows{"0|0"});
    EXPECT_EQ(errorOf("DECLARE @s varchar(10); SET @s = 'nowhere'; BEGIN TRAN; SAVE TRAN s; "
                      "ROLLBACK TRAN @s"),
              6401);
    run("IF @@TRANCOUNT > 0 ROLLBACK");
    EXPECT_EQ(errorOf("BEGIN TRAN @undeclared"), 137);
}

TEST_P(SavepointTest, SchemaChangesAfterTheSavepointAreUndoneThoseBeforeStay) {
    run("BEGIN TRAN; CREATE TABLE before_sp (x int); SAVE TRAN s; CREATE TABLE after_sp (x int); "
        "INSERT before_sp VALUES (1); ROLLBACK TRAN s; INSERT before_sp VALUES (2); COMMIT");
    EXPECT_EQ(rows("SELECT x FROM before_sp"), Rows{"2"});
    EXPECT_EQ(errorOf("SELECT * FROM after_sp"), 208);
}

struct SavepointError {
    const char* sql;
    int number;
    const char* text;
};

class SavepointErrorTest : public EngineTest, public ::testing::WithParamInterface<SavepointError> {};

TEST_P(SavepointErrorTest, GivesSqlServersError) {
    EXPECT_EQ(errorOf(GetParam().sql), GetParam().number);
    EXPECT_EQ(m_lastMessage, GetParam().text);
    // Nothing is left open after the failing batch.
    EXPECT_EQ(m_session->transactionCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SavepointErrorTest,
    ::testing::Values(
        SavepointError{"SAVE TRAN a", 628,
                       "Cannot issue SAVE TRANSACTION when there is no active transaction."},
        SavepointError{"BEGIN TRAN; SAVE TRAN a; ROLLBACK TRAN A", 6401,
                       "Cannot roll back A. No transaction or savepoint of that name was found."},
        SavepointError{"BEGIN TRAN; SAVE TRAN a; COMMIT; BEGIN TRAN; ROLLBACK TRAN a", 6401,
                       "Cannot roll back a. No transaction or savepoint of that name was found."},
        SavepointError{"ROLLBACK TRAN a", 3903,
                       "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."}));

TEST_F(EngineTest, SavepointsLastOverBatchesEvenBeforeTheFirstWrite) {
    m_session->setTransactionsSpanBatches(true);
    run("CREATE TABLE t (a int)");
    // Nothing written yet: the transaction must keep its savepoint anyway.
    run("BEGIN TRAN; SAVE TRAN s");
    run("INSERT t VALUES (1)");
    run("SAVE TRAN s2");
    run("INSERT t VALUES (2)");
    // A failing statement is undone alone and the savepoints stay.
    EXPECT_EQ(errorOf("INSERT t VALUES ('x')"), 245);
    run("ROLLBACK TRAN s2");
    EXPECT_EQ(rows("SELECT count(*), @@TRANCOUNT FROM t"), Rows{"1|1"});
    run("ROLLBACK TRAN s");
    run("COMMIT");
    EXPECT_EQ(rows("SELECT count(*) FROM t"), Rows{"0"});
}

INSTANTIATE_TEST_SUITE_P(WithinOrOverBatches, SavepointTest, ::testing::Bool());

}  // namespace
}  // namespace enginetest
