// Transactions that last over several batches, as a client connection has
// them, and what a batch hands back when it fails part-way.
#include "EngineFixture.h"

namespace enginetest {
namespace {

using Change = sqlengine::BatchResult::TransactionChange;

class SpanningTransactionTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        m_session->setTransactionsSpanBatches(true);
        run("CREATE TABLE t (a int PRIMARY KEY)");
        m_other = m_server->connect("sa", "");
        m_other->useDatabase("T7");
    }
    void TearDown() override {
        m_other.reset();
        EngineTest::TearDown();
    }
    std::string otherCount() {
        auto r = m_other->executeBatch("SELECT count(*) FROM t");
        return *r.resultSets.at(0).rows.at(0).at(0);
    }
    std::unique_ptr<Session> m_other;
};

class EndOfTransaction : public SpanningTransactionTest, public ::testing::WithParamInterface<bool> {};

TEST_P(EndOfTransaction, OthersSeeTheRowsOnlyOnceCommitted) {
    bool commit = GetParam();
    auto begun = run("BEGIN TRAN; INSERT t VALUES (1)");
    ASSERT_EQ(begun.transactions.size(), 1u);
    EXPECT_EQ(begun.transactions[0].kind, Change::Begin);
    EXPECT_EQ(begun.transactions[0].id, m_session->transactionId());
    EXPECT_NE(m_session->transactionId(), 0u);
    run("INSERT t VALUES (2)");
    EXPECT_EQ(rows("SELECT count(*), @@TRANCOUNT FROM t"), Rows{"2|1"});
    EXPECT_EQ(otherCount(), "0");
    auto ended = run(commit ? "COMMIT TRAN" : "ROLLBACK TRAN");
    ASSERT_EQ(ended.transactions.size(), 1u);
    EXPECT_EQ(ended.transactions[0].kind, commit ? Change::Commit : Change::Rollback);
    EXPECT_EQ(ended.transactions[0].id, begun.transactions[0].id);
    EXPECT_EQ(m_session->transactionCount(), 0);
    EXPECT_EQ(otherCount(), commit ? "2" : "0");
}

INSTANTIATE_TEST_SUITE_P(CommitOrRollback, EndOfTransaction, ::testing::Bool());

TEST_F(SpanningTransactionTest, AWriterWaitsForTheOpenTransactionThenTimesOut) {
    run("BEGIN TRAN; INSERT t VALUES (1)");
    m_other->executeBatch("SET LOCK_TIMEOUT 100");
    try {
        m_other->executeBatch("INSERT t VALUES (2)");
        FAIL() << "the insert did not wait for the open transaction";
    } catch (const SqlError& e) {
        EXPECT_EQ(e.number(), 1222);
    }
    run("COMMIT");
    m_other->executeBatch("INSERT t VALUES (2)");
    EXPECT_EQ(otherCount(), "2");
}

TEST_F(SpanningTransactionTest, AReadingTransactionDoesNotBlockNorGoStale) {
    run("BEGIN TRAN; SELECT count(*) FROM t");
    m_other->executeBatch("SET LOCK_TIMEOUT 0; INSERT t VALUES (1)");
    // Its first write comes after the other's commit and still succeeds.
    run("INSERT t VALUES (2)");
    EXPECT_EQ(rows("SELECT count(*) FROM t"), Rows{"2"});
    run("ROLLBACK");
    EXPECT_EQ(otherCount(), "1");
}

TEST_F(SpanningTransactionTest, AnEndingSessionRollsBackItsTransactionOnly) {
    run("INSERT t VALUES (1); BEGIN TRAN; INSERT t VALUES (2)");
    run("CREATE TABLE u (x int); INSERT t VALUES (3)");
    m_session.reset();
    EXPECT_EQ(otherCount(), "1");
    EXPECT_EQ(
        m_other->executeBatch("SELECT count(*) FROM sysobjects WHERE name = 'u'").resultSets[0].rows[0][0],
        "0");
}

TEST_F(SpanningTransactionTest, AFailingStatementIsUndoneAloneAndTheTransactionGoesOn) {
    run("INSERT t VALUES (1)");
    run("BEGIN TRAN; INSERT t VALUES (2)");
    sqlengine::BatchResult r;
    EXPECT_THROW(m_session->executeBatch("INSERT t VALUES (3); UPDATE t SET a = 1 WHERE a = 3", r), SqlError);
    EXPECT_TRUE(r.transactions.empty());
    EXPECT_EQ(m_session->transactionCount(), 1);
    EXPECT_EQ(rows("SELECT a FROM t ORDER BY a"), (Rows{"1", "2", "3"}));
    EXPECT_EQ(otherCount(), "1");
    // Also when the failing statement is the batch's only one.
    EXPECT_THROW(run("INSERT t VALUES (2)"), SqlError);
    run("INSERT t VALUES (4); COMMIT");
    EXPECT_EQ(otherCount(), "4");
}

TEST_F(SpanningTransactionTest, ImplicitTransactionsOpenAtTheFirstStatementOnATable) {
    run("SET IMPLICIT_TRANSACTIONS ON");
    EXPECT_EQ(rows("SELECT @@TRANCOUNT"), Rows{"0"});
    // A failing first statement leaves the transaction it opened to the client.
    EXPECT_THROW(run("INSERT t VALUES ('x')"), SqlError);
    run("INSERT t VALUES (1)");
    EXPECT_EQ(rows("SELECT @@TRANCOUNT"), Rows{"1"});
    run("ROLLBACK");
    EXPECT_EQ(rows("SELECT count(*) FROM t"), Rows{"0"});
    run("COMMIT; SET IMPLICIT_TRANSACTIONS OFF");
    run("INSERT t VALUES (1)");
    EXPECT_EQ(m_session->transactionCount(), 0);
    EXPECT_EQ(otherCount(), "1");
}

TEST_F(SpanningTransactionTest, WithXactAbortAFailingStatementRollsBackTheWholeTransaction) {
    run("SET IMPLICIT_TRANSACTIONS ON");
    run("INSERT t VALUES (1)");
    // Without XACT_ABORT only the failing statement is undone.
    EXPECT_THROW(run("INSERT t VALUES (1)"), SqlError);
    EXPECT_EQ(rows("SELECT count(*), @@TRANCOUNT FROM t"), Rows{"1|1"});
    run("SET XACT_ABORT ON");
    run("INSERT t VALUES (2)");
    sqlengine::BatchResult failed;
    EXPECT_THROW(m_session->executeBatch("INSERT t VALUES (3); INSERT t VALUES (2)", failed), SqlError);
    ASSERT_EQ(failed.transactions.size(), 1u);
    EXPECT_EQ(failed.transactions[0].kind, Change::Rollback);
    EXPECT_EQ(m_session->transactionCount(), 0);
    run("SET XACT_ABORT OFF; SET IMPLICIT_TRANSACTIONS OFF");
    EXPECT_EQ(rows("SELECT count(*) FROM t"), Rows{"0"});
    EXPECT_EQ(otherCount(), "0");
}

// The catalog views are made when first named, inside whatever
// transaction is open then; its rollback must not lose them for good.
TEST_F(SpanningTransactionTest, CatalogViewsFirstNamedInATransactionRolledBackStayUsable) {
    auto fresh = m_server->connect("sa", "");
    fresh->setTransactionsSpanBatches(true);
    fresh->useDatabase("T7");
    fresh->executeBatch("BEGIN TRAN; INSERT t VALUES (5)");
    EXPECT_EQ(fresh->executeBatch("SELECT count(*) FROM sysobjects WHERE name = 't'")
                  .resultSets.at(0)
                  .rows.at(0)
                  .at(0),
              "1");
    fresh->executeBatch("ROLLBACK");
    EXPECT_EQ(fresh->executeBatch("SELECT name FROM sys.databases WHERE name = 'T7'")
                  .resultSets.at(0)
                  .rows.at(0)
                  .at(0),
              "T7");
}

TEST_F(EngineTest, AFailingBatchKeepsTheResultsBeforeTheFailure) {
    run("CREATE TABLE t (a int)");
    sqlengine::BatchResult r;
    EXPECT_THROW(m_session->executeBatch("SELECT 1 AS one; INSERT t VALUES (1); SELECT * FROM missing", r),
                 SqlError);
    ASSERT_EQ(r.resultSets.size(), 1u);
    EXPECT_EQ(r.resultSets[0].columns, std::vector<std::string>{"one"});
    ASSERT_EQ(r.counts.size(), 2u);
    EXPECT_EQ(r.counts[1].rows, 1);
    // The next batch starts from nothing.
    m_session->executeBatch("DECLARE @x int", r);
    EXPECT_TRUE(r.resultSets.empty() && r.counts.empty());
}

TEST_F(EngineTest, VariablesKeepTheirValuesAfterTheBatch) {
    run("DECLARE @d decimal(10,2), @n int, @s nvarchar(10), @m money; "
        "SET @d = 1.5; SET @s = N'考试' + N'系统'; SET @m = 2");
    EXPECT_EQ(m_session->variableText("@D"), "1.50");
    EXPECT_EQ(m_session->variableText("@n"), std::nullopt);
    EXPECT_EQ(m_session->variableText("@s"), "考试系统");
    EXPECT_EQ(m_session->variableText("@m"), "2.0000");
    EXPECT_THROW(m_session->variableText("@missing"), SqlError);
}

}  // namespace
}  // namespace enginetest
