// The engine's limits and arithmetic as SQL Server's: statements nested too
// deeply are refused with 191 instead of taking the process down, long
// chains of conditions and terms still run, and arithmetic fails where SQL
// Server's does (ARITHABORT ON).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "sqlengine/EngineFixture.h"
#include "sqlengine/Functions.h"

namespace {

using namespace enginetest;

std::string repeat(const std::string& s, int n) {
    std::string out;
    out.reserve(s.size() * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// ---- nesting ----------------------------------------------------------

struct NestingCase {
    const char* name;
    std::function<std::string()> query;
    Rows expected;  // when error is 0
    int error = 0;
};

class NestingTest : public EngineTest, public ::testing::WithParamInterface<NestingCase> {};

TEST_P(NestingTest, RunsOrIsRefusedWith191) {
    const NestingCase& c = GetParam();
    run("CREATE TABLE t (a int NOT NULL, s varchar(10) NULL); INSERT INTO t VALUES (1, 'x'), (2, 'y')");
    std::string sql = c.query();
    if (c.error) {
        EXPECT_EQ(errorOf(sql), c.error) << m_lastMessage;
    } else {
        EXPECT_EQ(rows(sql), c.expected);
    }
}

const NestingCase kNesting[] = {
    {"TenThousandParentheses",
     [] { return "SELECT " + repeat("(", 10000) + "1" + repeat(")", 10000); },
     {},
     191},
    {"TenThousandNots", [] { return "SELECT a FROM t WHERE " + repeat("NOT ", 10000) + "a = 1"; }, {}, 191},
    {"TenThousandMinusSigns", [] { return "SELECT " + repeat("- ", 10000) + "1"; }, {}, 191},
    {"TenThousandNestedSubqueries",
     [] { return repeat("SELECT (", 10000) + "SELECT 1" + repeat(")", 10000); },
     {},
     191},
    {"TenThousandNestedIfs", [] { return repeat("IF 1 = 1 ", 10000) + "SELECT 1"; }, {}, 191},
    {"RightNestedSums", [] { return "SELECT " + repeat("1 + (", 3000) + "1" + repeat(")", 3000); }, {}, 191},
    {"ProcedureCallingItself",
     [] { return std::string("EXEC('CREATE PROCEDURE r AS EXEC r'); EXEC r"); },
     {},
     217},
    {"ProcedureRecursionPastThe32Levels",
     [] {
         return std::string(
             "EXEC('CREATE PROCEDURE q @n int AS IF @n > 0 BEGIN DECLARE @m int; SET @m = @n - 1; EXEC q @m "
             "END');"
             "EXEC q 32");
     },
     {},
     217},
    {"ProcedureRecursionWithinThe32Levels",
     [] {
         return std::string(
             "EXEC('CREATE PROCEDURE q @n int AS IF @n > 0 BEGIN DECLARE @m int; SET @m = @n - 1; EXEC q @m "
             "END "
             "ELSE SELECT 1');"
             "EXEC q 30");
     },
     {"1"}},
    {"TenThousandPlusOneTerms", [] { return "SELECT 1" + repeat(" + 1", 10000); }, {"10001"}},
    {"ThousandsOfConcatenations", [] { return "SELECT len('a'" + repeat(" + 'a'", 5000) + ")"; }, {"5001"}},
    {"ThousandsOfOrs",
     [] {
         std::string sql = "SELECT a FROM t WHERE a = 0";
         for (int i = 3; i < 5000; ++i) sql += " OR a = " + std::to_string(i);
         return sql + " OR a = 2";
     },
     {"2"}},
    {"ThousandsOfAnds",
     [] { return "SELECT count(*) FROM t WHERE a > 0" + repeat(" AND s IS NOT NULL", 5000); },
     {"2"}},
    {"LongChainOfColumnArithmetic",
     [] { return "SELECT a" + repeat(" + a - a", 2000) + " FROM t ORDER BY a"; },
     {"1", "2"}},
    {"HundredsOfParentheses",
     [] { return "SELECT " + repeat("(", 300) + "a + 1" + repeat(")", 300) + " FROM t WHERE a = 1"; },
     {"2"}},
    {"HundredsOfParenthesesInAChain",
     [] { return "SELECT " + repeat("(", 300) + "1" + repeat(" + 1)", 300); },
     {"301"}},
    {"NestedCaseAndFunctions",
     [] { return "SELECT " + repeat("isnull(", 12) + "CASE WHEN 1 = 1 THEN 'x' END" + repeat(", 'y')", 12); },
     {"x"}},
    {"NestedOrsInParentheses",
     [] {
         return "SELECT a FROM t WHERE " + repeat("(a = 1 OR ", 400) + "a = 2" + repeat(")", 400) +
                " ORDER BY a";
     },
     {"1", "2"}},
    {"DeepWhereIsRefusedWith191",
     [] { return "SELECT a FROM t WHERE " + repeat("(a = 1 AND NOT ", 200) + "a = 2" + repeat(")", 200); },
     {},
     191},
};

INSTANTIATE_TEST_SUITE_P(Statements, NestingTest, ::testing::ValuesIn(kNesting),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- arithmetic and values ---------------------------------------------

struct ValueCase {
    const char* name;
    const char* query;
    Rows expected;
    int error = 0;
};

class ScriptResultTest : public EngineTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ScriptResultTest, GivesSqlServersResultOrError) {
    const ValueCase& c = GetParam();
    if (c.error) {
        EXPECT_EQ(errorOf(c.query), c.error) << m_lastMessage;
    } else {
        EXPECT_EQ(rows(c.query), c.expected);
    }
}

const ValueCase kArithmetic[] = {
    {"IntAddOverflows", "SELECT 2147483647 + 1", {}, 8115},
    {"IntDivideOverflows", "SELECT -2147483648 / -1", {}, 8115},
    {"IntMultiplyOverflows", "SELECT 65536 * 65536", {}, 8115},
    {"IntColumnOverflows",
     "CREATE TABLE n (v int NULL); INSERT INTO n VALUES (2147483600); SELECT v + 100 FROM n",
     {},
     8115},
    {"IntVariableOverflows", "DECLARE @i int; SET @i = 2147483647; SET @i = @i + 1", {}, 8115},
    {"IntOverflowMidChain", "SELECT 2147483647 + 1 + 0.5", {}, 8115},
    {"IntInRangeIsFine",
     "SELECT 2147483646 + 1, -2147483647 - 1, 7 / 2, -7 % 3",
     {"2147483647|-2147483648|3|-1"}},
    {"BigintDoesNotOverflowAtInt", "SELECT CAST(2147483647 AS bigint) + 1", {"2147483648"}},
    {"DecimalLiteralDoesNotOverflowAtInt", "SELECT 2147483648 + 1", {"2147483649"}},
    {"MinusOfNegativeLiterals",
     "EXEC('CREATE VIEW m AS SELECT 7 - -3 AS a, - -3 AS b, 2 - 5 - 1 AS c'); SELECT a, b, c, 7 - -3 FROM m",
     {"10|3|-4|10"}},
    {"DivideByZero", "SELECT 1 / 0", {}, 8134},
    {"ModuloByZero", "SELECT 1 % 0", {}, 8134},
    {"LiteralBeyondPrecision38", "SELECT 123456789012345678901234567890123456789", {}, 1007},
    {"LiteralOf38DigitsIsFine",
     "SELECT len('x') FROM (SELECT 12345678901234567890123456789012345678 AS n) d",
     {"1"}},
    {"DateaddPastDatetime", "SELECT dateadd(year, 9000, '2000-01-01')", {}, 517},
    {"DateaddBeforeDatetime", "SELECT dateadd(day, -1, '1753-01-01')", {}, 517},
    {"DateaddInRange", "SELECT dateadd(day, 1, '9999-12-30')", {"9999-12-31 00:00:00.000"}},
    {"CharOutOfRangeIsNull", "SELECT char(300), char(-1), char(65)", {"NULL|NULL|A"}},
    {"ReplicateOfMaxIsNotCut",
     "DECLARE @v varchar(max); SET @v = replicate(CAST('ab' AS varchar(max)), 6000); SELECT len(@v)",
     {"12000"}},
    {"ReplicateOfPlainTextStopsAt8000", "SELECT len(replicate('ab', 6000))", {"8000"}},
    {"CastKeepsScale", "SELECT CAST(5.5 AS decimal(10,2)), CAST(5 AS numeric(6,3))", {"5.50|5.000"}},
    {"DecimalColumnKeepsScale",
     "CREATE TABLE m (v decimal(10,2) NULL, w numeric(8,0) NULL); INSERT INTO m VALUES (5.5, 3), (7, 4);"
     "SELECT v, w FROM m ORDER BY v",
     {"5.50|3", "7.00|4"}},
    {"DecimalColumnKeepsScaleThroughStar",
     "CREATE TABLE m (v decimal(10,2) NULL); INSERT INTO m VALUES (1.5); SELECT * FROM m",
     {"1.50"}},
    {"DecimalVariableKeepsScale", "DECLARE @d decimal(9,3); SET @d = 2.5; SELECT @d", {"2.500"}},
    {"StrWithNegativeLengthIsNull", "SELECT str(1.5, -1)", {"NULL"}},
};

INSTANTIATE_TEST_SUITE_P(Values, ScriptResultTest, ::testing::ValuesIn(kArithmetic),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- ISO type names ------------------------------------------------------

const ValueCase kTypeSynonyms[] = {
    {"CreateTable",
     "CREATE TABLE iso (a INTEGER NOT NULL, b CHARACTER(3) NULL, c CHAR VARYING(5) NULL, d CHARACTER "
     "VARYING(5) NULL, e NATIONAL CHARACTER(2) NULL, f NATIONAL CHAR VARYING(4) NULL, g NATIONAL "
     "CHARACTER VARYING(4) NULL, h DEC(5,2) NULL, i DOUBLE PRECISION NULL, j NATIONAL CHAR(1) NULL);"
     "INSERT INTO iso VALUES (1, 'ab', 'cdefg', 'hi', N'中', N'文字', 'x', 1.25, 0.5, 'z');"
     "SELECT a, b, c, d, e, f, g, h, i, j FROM iso",
     {"1|ab|cdefg|hi|中|文字|x|1.25|0.5|z"}},
    {"CatalogShowsTheBaseType",
     "CREATE TABLE iso (a INTEGER NULL, b NATIONAL CHARACTER VARYING(7) NULL, c DEC(6,1) NULL);"
     "SELECT DATA_TYPE, CHARACTER_MAXIMUM_LENGTH FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'iso' "
     "ORDER BY ORDINAL_POSITION",
     {"int|NULL", "nvarchar|7", "decimal|NULL"}},
    {"DeclareAndCast",
     "DECLARE @a INTEGER, @b CHARACTER VARYING(3), @c DOUBLE PRECISION; SET @a = 7; SET @b = 'abcd';"
     "SET @c = 1.5; SELECT @a, @b, @c, CAST(9 AS DEC(4,1)), CAST(N'xyz' AS NATIONAL CHAR VARYING(2))",
     {"7|abc|1.5|9.0|xy"}},
    {"VaryingIsTooLong",
     "CREATE TABLE iso (c CHAR VARYING(2) NOT NULL); INSERT INTO iso VALUES ('abc')",
     {},
     8152},
};

INSTANTIATE_TEST_SUITE_P(IsoTypes, ScriptResultTest, ::testing::ValuesIn(kTypeSynonyms),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- writing through views ---------------------------------------------

#define VIEW_BASE                                                                                          \
    "CREATE TABLE p (id int IDENTITY(1,1) NOT NULL PRIMARY KEY, name varchar(10) NOT NULL, age int NULL, " \
    "dept int NULL DEFAULT 9); INSERT INTO p (name, age, dept) VALUES ('ann', 30, 1), ('bob', 40, 2), "    \
    "('cid', 50, 1);"

const ValueCase kViews[] = {
    {"InsertWithColumnList",
     VIEW_BASE
     "EXEC('CREATE VIEW v AS SELECT name AS who, age FROM p WHERE dept = 1');"
     "INSERT INTO v (who, age) VALUES ('dan', 20); SELECT name, age, dept FROM p WHERE name = 'dan'",
     {"dan|20|9"}},
    {"InsertWithoutColumnList",
     VIEW_BASE "EXEC('CREATE VIEW v (n, a) AS SELECT name, age FROM p');"
               "INSERT v VALUES ('eve', 25); SELECT n, a FROM v WHERE n = 'eve'",
     {"eve|25"}},
    {"UpdateSeesOnlyTheViewsRows",
     VIEW_BASE "EXEC('CREATE VIEW v AS SELECT id, name, age FROM p WHERE dept = 1');"
               "UPDATE v SET age = age + 1 WHERE age < 100; SELECT name, age FROM p ORDER BY id",
     {"ann|31", "bob|40", "cid|51"}},
    {"UpdateThroughRenamedColumns",
     VIEW_BASE "EXEC('CREATE VIEW v (who, years) AS SELECT name, age FROM p');"
               "UPDATE v SET years = 1 WHERE v.who = 'bob'; SELECT @@ROWCOUNT, age FROM p WHERE name = 'bob'",
     {"1|1"}},
    {"DeleteSeesOnlyTheViewsRows",
     VIEW_BASE "EXEC('CREATE VIEW v AS SELECT * FROM p WHERE age > 35');"
               "DELETE FROM v WHERE dept = 1; SELECT name FROM p ORDER BY id",
     {"ann", "bob"}},
    {"WriteChecksStillApply",
     VIEW_BASE "EXEC('CREATE VIEW v AS SELECT name, age FROM p'); INSERT INTO v (age) VALUES (1)",
     {},
     515},
    {"DerivedColumnIs4406",
     VIEW_BASE "EXEC('CREATE VIEW v AS SELECT name, age * 2 AS twice FROM p'); UPDATE v SET twice = 1",
     {},
     4406},
    {"JoinIs4405",
     VIEW_BASE
     "CREATE TABLE d (id int NULL); EXEC('CREATE VIEW v AS SELECT p.name, d.id FROM p JOIN d ON d.id = "
     "p.dept'); DELETE FROM v",
     {},
     4405},
    {"AggregateIs4403",
     VIEW_BASE
     "EXEC('CREATE VIEW v AS SELECT dept, count(*) AS n FROM p GROUP BY dept'); UPDATE v SET dept = 1",
     {},
     4403},
    {"DistinctIs4403",
     VIEW_BASE "EXEC('CREATE VIEW v AS SELECT DISTINCT dept FROM p'); INSERT INTO v VALUES (3)",
     {},
     4403},
    {"UnionIs4426",
     VIEW_BASE "EXEC('CREATE VIEW v AS SELECT name FROM p UNION SELECT name FROM p'); DELETE FROM v",
     {},
     4426},
};

INSTANTIATE_TEST_SUITE_P(Views, ScriptResultTest, ::testing::ValuesIn(kViews),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- functions never let an exception into SQLite ------------------------

struct ThrowCase {
    const char* name;
    void (*function)(sqlite3_context*, int, sqlite3_value**);
    int code;             // what sqlite3_step returns
    const char* message;  // what sqlite3_errmsg says
};

class GuardedFunctionTest : public ::testing::TestWithParam<ThrowCase> {};

TEST_P(GuardedFunctionTest, ThrownBecomesTheStatementsError) {
    const ThrowCase& c = GetParam();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    auto fn = c.function;
    ASSERT_EQ(sqlite3_create_function_v2(
                  db, "boom", 0, SQLITE_UTF8, reinterpret_cast<void*>(fn),
                  [](sqlite3_context* ctx, int argc, sqlite3_value** argv) {
                      auto f = reinterpret_cast<sqlengine::ScalarFunction>(sqlite3_user_data(ctx));
                      sqlengine::callGuarded(f, ctx, argc, argv);
                  },
                  nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT boom()", -1, &stmt, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_step(stmt), c.code);
    EXPECT_NE(std::string(sqlite3_errmsg(db)).find(c.message), std::string::npos) << sqlite3_errmsg(db);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

const ThrowCase kThrows[] = {
    {"SqlError", [](sqlite3_context*, int, sqlite3_value**) { throw sqlengine::SqlError(8134, "Divide"); },
     SQLITE_ERROR, "T7ERR|8134|Divide"},
    {"BadAlloc", [](sqlite3_context*, int, sqlite3_value**) { throw std::bad_alloc(); }, SQLITE_NOMEM,
     "out of memory"},
    {"StdException", [](sqlite3_context*, int, sqlite3_value**) { throw std::length_error("too long"); },
     SQLITE_ERROR, "too long"},
    {"Anything", [](sqlite3_context*, int, sqlite3_value**) { throw 42; }, SQLITE_ERROR, "unexpected"},
};

INSTANTIATE_TEST_SUITE_P(Throws, GuardedFunctionTest, ::testing::ValuesIn(kThrows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
