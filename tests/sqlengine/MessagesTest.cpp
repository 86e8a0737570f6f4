#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sqlengine/Engine.h"
#include "sqlengine/Messages.h"
#include "tests/sqlengine/EngineFixture.h"

namespace {

using sqlengine::findMessage;
using sqlengine::kMessageCount;
using sqlengine::kMessages;
using sqlengine::Msg;
using sqlengine::severityOf;
using sqlengine::sqlError;
namespace messages = sqlengine::messages;

// A caller whose arguments do not fit the template must not compile.
static_assert(messages::argumentsFit<Msg::InvalidObjectName, std::string>());
static_assert(messages::argumentsFit<Msg::UnknownDataType, int, const char*>());
static_assert(!messages::argumentsFit<Msg::InvalidObjectName>());
static_assert(!messages::argumentsFit<Msg::InvalidObjectName, std::string, std::string>());
static_assert(!messages::argumentsFit<Msg::UnknownDataType, const char*, int>());
static_assert(!messages::argumentsFit<Msg::LockTimeout, int>());
static_assert(messages::signature("100%").count == -1);
static_assert(messages::signature("%s").count == -1);
static_assert(messages::signature("'%.*ls' and %ls, #%d").count == 3);

TEST(MessagesTest, LookupByNumberFindsTheFirstEntryOfEveryNumber) {
    for (size_t i = 0; i < kMessageCount; ++i) {
        const sqlengine::MessageDef* m = findMessage(kMessages[i].number);
        ASSERT_NE(m, nullptr) << kMessages[i].number;
        EXPECT_EQ(m->number, kMessages[i].number);
        EXPECT_TRUE(m == kMessages || m[-1].number < m->number) << m->number;
        EXPECT_EQ(severityOf(kMessages[i].number), kMessages[i].severity);
    }
    for (int absent : {1, 101, 50001, 99999, -5}) {
        EXPECT_EQ(findMessage(absent), nullptr) << absent;
        EXPECT_EQ(severityOf(absent), 16) << absent;
    }
    EXPECT_EQ(severityOf(0), 0);
}

TEST(MessagesTest, ArgumentsFillThePlaceholdersInOrderAndAreNotReadAgain) {
    sqlengine::SqlError e = sqlError<Msg::UnknownDataType>(3, std::string("%ls"));
    EXPECT_EQ(e.number(), 2715);
    EXPECT_EQ(e.message(), "Column, parameter, or variable #3: Cannot find data type %ls.");
    e = sqlError<Msg::ObjectPermissionDenied>("SELECT", "T'1", "", "dbo");
    EXPECT_EQ(e.message(),
              "The SELECT permission was denied on the object 'T'1', database '', schema 'dbo'.");
    EXPECT_EQ(sqlError<Msg::LockTimeout>().message(), "Lock request time out period exceeded.");
}

// The wizard and its clients compare these texts word for word.
struct KnownText {
    const char* sql;
    int number;
    const char* text;
};

class MessageTextTest : public enginetest::EngineTest, public ::testing::WithParamInterface<KnownText> {};

TEST_P(MessageTextTest, EngineRaisesTheCatalogueText) {
    const KnownText& c = GetParam();
    run("CREATE LOGIN taken WITH PASSWORD = 'Pass#word1'");
    run("CREATE USER taken FOR LOGIN taken");
    EXPECT_EQ(errorOf(c.sql), c.number);
    EXPECT_EQ(m_lastMessage, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MessageTextTest,
    ::testing::Values(
        KnownText{
            "CREATE LOGIN weak WITH PASSWORD = 'abc'", 15118,
            "Password validation failed. The password does not meet Windows policy requirements because it "
            "is not complex enough."},
        KnownText{"CREATE LOGIN taken WITH PASSWORD = 'Pass#word1'", 15025,
                  "The server principal 'taken' already exists."},
        KnownText{"CREATE USER taken FOR LOGIN taken", 15023,
                  "User, group, or role 'taken' already exists in the current database."},
        KnownText{"SELECT * FROM nowhere", 208, "Invalid object name 'nowhere'."},
        KnownText{
            "DROP TABLE nowhere", 3701,
            "Cannot drop the table 'nowhere', because it does not exist or you do not have permission."},
        KnownText{"SELECT 1/0", 8134, "Divide by zero error encountered."},
        KnownText{
            "DECLARE @x int; DECLARE @x int", 134,
            "The variable name '@x' has already been declared. Variable names must be unique within a query "
            "batch or stored procedure."}));

using MessageLoginTest = enginetest::EngineTest;

TEST_F(MessageLoginTest, FailedLoginGivesTheCatalogueText) {
    try {
        m_server->connect("nobody", "x");
        FAIL() << "connected";
    } catch (const sqlengine::SqlError& e) {
        EXPECT_EQ(e.number(), 18456);
        EXPECT_EQ(e.message(), "Login failed for user 'nobody'.");
    }
}

}  // namespace
