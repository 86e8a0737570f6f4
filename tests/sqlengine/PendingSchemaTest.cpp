#include <gtest/gtest.h>

#include "sqlengine/PendingSchema.h"

namespace {

using sqlengine::PendingSchema;

// Two statements' worth of held-back changes: table 1 from the first,
// table 2 from the running one.
class PendingSchemaTest : public ::testing::Test {
protected:
    void SetUp() override {
        p.beginStatement(true);
        p.add("CREATE TABLE a(x)", 1);
        p.endStatement();
        p.beginStatement(true);
        p.add("CREATE TABLE b(y)", 2);
        p.add("CREATE INDEX i ON a(x)", 0);
    }
    PendingSchema p;
};

TEST_F(PendingSchemaTest, FailedStatementDropsOnlyWhatItHeldBack) {
    p.undoStatement();
    EXPECT_FALSE(p.deferring());
    EXPECT_TRUE(p.isNewTable(1));
    EXPECT_FALSE(p.isNewTable(2));
    EXPECT_EQ(p.take(false), "CREATE TABLE a(x);\n");
    EXPECT_TRUE(p.empty());
}

TEST_F(PendingSchemaTest, WorkCarriedOutWithinAFailedStatementIsHeldBackAgain) {
    // The statement's savepoint undoes everything carried out; the earlier
    // statement's table must be created again later, the failed one's not.
    EXPECT_EQ(p.take(true), "CREATE TABLE a(x);\nCREATE TABLE b(y);\nCREATE INDEX i ON a(x);\n");
    EXPECT_TRUE(p.empty());
    EXPECT_FALSE(p.isNewTable(1));
    p.add("CREATE TABLE c(z)", 3);
    p.undoStatement();
    EXPECT_TRUE(p.isNewTable(1));
    EXPECT_FALSE(p.isNewTable(2));
    EXPECT_FALSE(p.isNewTable(3));
    EXPECT_EQ(p.take(false), "CREATE TABLE a(x);\n");
}

TEST_F(PendingSchemaTest, WorkCarriedOutOutsideAStatementStaysDone) {
    p.endStatement();
    EXPECT_FALSE(p.take(false).empty());
    p.beginStatement(false);
    p.undoStatement();
    EXPECT_TRUE(p.empty());
    EXPECT_FALSE(p.isNewTable(1));
}

}  // namespace
