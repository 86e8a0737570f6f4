#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sqlengine/Engine.h"
#include "sqlengine/Parser.h"

namespace {

using sqlengine::parseBatch;
using sqlengine::SqlError;
using sqlengine::StmtKind;

struct Accepted {
    const char* name;
    const char* sql;
    size_t statements;
};

class ParserAcceptsTest : public ::testing::TestWithParam<Accepted> {};

TEST_P(ParserAcceptsTest, SplitsIntoStatements) {
    EXPECT_EQ(parseBatch(GetParam().sql).size(), GetParam().statements);
}

const Accepted kAccepted[] = {
    {"NoSemicolons", "select 1 select 2\nprint 'x' declare @a int set @a = 1", 5},
    {"Semicolons", "select 1;;select 2;", 2},
    {"CommentsEverywhere", "-- c\nselect /* a */ 1 -- b\n/* x\n y */", 1},
    {"QuotedNames", "select [a]]b], \"c\" from [dbo] . [t t]", 1},
    {"StringsWithQuotes", "select 'it''s', N'中''文'", 1},
    {"QuotedKeywordsAreNames", "SeLeCt [select], \"from\", selects from [table] where [order] = 1", 1},
    {"IfElseChain", "if 1 = 1 select 1 else if 2 = 2 select 2 else select 3", 1},
    {"BlocksNest", "begin begin select 1 end select 2 end", 1},
    {"ExecForms",
     "exec sp_addrolemember 'db_owner', admin exec ('select 1') execute p @a = 1, @b = @c output", 3},
    {"BareProcedureCall", "sp_who", 1},
    {"ProcedureWithBody", "create procedure p (@a int = 5, @b varchar(10) output) as set @b = @a select @b",
     1},
    {"Trigger", "create trigger t on x after insert, update as if update(a) select 1", 1},
    {"FunctionKeptAsText", "create function f (@a int) returns int as begin return @a + 1 end", 1},
    {"AlterTableForms",
     "alter table t add a int null, constraint c check (a > 0) alter table t drop constraint c, d "
     "alter table t drop column a alter table t alter column b nvarchar(max) not null",
     4},
    {"IndexOptions",
     "create unique nonclustered index ix on t (a desc, b) with (pad_index = off) on [primary]", 1},
    {"DatabaseWithFiles",
     "create database d on primary (name = d, filename = 'c:\\d.mdf', size = 3mb, filegrowth = 10%) "
     "log on (name = d_log, filename = 'c:\\d_log.ldf')",
     1},
    {"Security",
     "create login l with password = 'x', default_database = d, check_policy = off "
     "alter login l with password = 'y' old_password = 'x' create user u for login l with default_schema = "
     "dbo "
     "drop user u drop login l",
     5},
    {"SelectForms",
     "select distinct top 5 a = 1, b c, t.* from t with (nolock) join u on u.x = t.x left outer join v "
     "(nolock) on 1 = 1 "
     "where x not in (1, 2) and not exists (select 1) and y not like 'a%' escape '!' group by a having "
     "count(*) > 1 "
     "order by 1 desc",
     1},
    {"WindowFunction", "select row_number() over (partition by a order by b desc) from t", 1},
    {"Transactions", "begin tran insert t values (1) commit tran begin transaction rollback", 5},
};

INSTANTIATE_TEST_SUITE_P(Batches, ParserAcceptsTest, ::testing::ValuesIn(kAccepted),
                         [](const auto& info) { return std::string(info.param.name); });

struct Rejected {
    const char* name;
    const char* sql;
    int number;
    const char* message;
};

class ParserRejectsTest : public ::testing::TestWithParam<Rejected> {};

TEST_P(ParserRejectsTest, RaisesTheServersError) {
    try {
        parseBatch(GetParam().sql);
        FAIL() << "parsed";
    } catch (const SqlError& e) {
        EXPECT_EQ(e.number(), GetParam().number);
        if (*GetParam().message) {
            EXPECT_EQ(e.message(), GetParam().message);
        }
    }
}

const Rejected kRejected[] = {
    {"UnknownStatement", "print 1 frobnicate", 102, "Incorrect syntax near 'frobnicate'."},
    {"MissingParenthesis", "select (1", 102, "Incorrect syntax near '1'."},
    {"ReservedWordAsName", "create table select (a int)", 102, "Incorrect syntax near 'select'."},
    {"UnclosedString", "select 'abc", 105, "Unclosed quotation mark after the character string 'abc'."},
    {"UnclosedComment", "select 1 /* /* */", 113, "Missing end comment mark '*/'."},
    {"UnclosedBracket", "select [abc", 105, ""},
    {"UnclosedStringWithQuotes", "select 'a', 'it''s", 105,
     "Unclosed quotation mark after the character string 'it's'."},
    {"UnclosedBracketWithBrackets", "select [a]]b", 105,
     "Unclosed quotation mark after the character string 'a]b'."},
    {"ViewNotFirst", "select 1 create view v as select 1 as a", 111,
     "'CREATE VIEW' must be the first statement in a query batch."},
    {"ProcedureNotFirst", "print 1\ncreate proc p as select 1", 111, ""},
    {"BodyIsParsedToo", "create procedure p as select 1 select from", 102, ""},
    {"ViewWithTwoStatements", "create view v as select 1 as a select 2", 102, ""},
    {"SelectInto", "select * into t2 from t", 102, ""},
    {"ComputedColumn", "create table t (a int, b as a + 1)", 102, ""},
    {"Grant", "grant select on t to public", 102, ""},
    {"UnknownSetOption", "set fmtonly on", 102, ""},
    {"CursorVariable", "declare c cursor for select 1", 102, ""},
    {"BadTableHint", "select * from t with (fastest)", 102, ""},
    {"EndWithoutBegin", "select 1 end", 102, ""},
};

INSTANTIATE_TEST_SUITE_P(Batches, ParserRejectsTest, ::testing::ValuesIn(kRejected),
                         [](const auto& info) { return std::string(info.param.name); });

// Quoted texts with doubled quotes differ from their source; several in one
// batch, between plain ones, must each keep their own text.
TEST(ParserTest, QuotedTextsReachTheTreeWithQuotesUndone) {
    auto stmts =
        parseBatch("select [a]]b] = 'it''s', \"q\"\"x\" = N'''', [plain] = 'x', '''' from [dbo].[t]]1]");
    ASSERT_EQ(stmts.size(), 1u);
    ASSERT_EQ(stmts[0]->kind, StmtKind::Select);
    const sqlengine::Select& s = *static_cast<const sqlengine::SelectStmt&>(*stmts[0]).select;
    ASSERT_EQ(s.items.size(), 4u);
    EXPECT_EQ(s.items[0].alias, "a]b");
    EXPECT_EQ(s.items[0].expr->text, "it's");
    EXPECT_EQ(s.items[1].alias, "q\"x");
    EXPECT_EQ(s.items[1].expr->text, "'");
    EXPECT_TRUE(s.items[1].expr->national);
    EXPECT_EQ(s.items[2].alias, "plain");
    EXPECT_EQ(s.items[2].expr->text, "x");
    EXPECT_EQ(s.items[3].expr->text, "'");
    ASSERT_EQ(s.from.size(), 1u);
    EXPECT_EQ(s.from[0]->name.parts, (std::vector<std::string>{"dbo", "t]1"}));
}

TEST(ParserTest, ModuleKeepsItsTextAndTheRestOfTheBatchAsBody) {
    auto stmts = parseBatch("  CREATE PROCEDURE dbo.p @x int AS\r\nSELECT @x\r\n\0\0");
    ASSERT_EQ(stmts.size(), 1u);
    ASSERT_EQ(stmts[0]->kind, StmtKind::CreateModule);
    const auto& m = static_cast<const sqlengine::CreateModuleStmt&>(*stmts[0]);
    EXPECT_EQ(m.definition, "CREATE PROCEDURE dbo.p @x int AS\r\nSELECT @x");
    EXPECT_EQ(m.params.size(), 1u);
    EXPECT_EQ(m.name.last(), "p");
}

}  // namespace
