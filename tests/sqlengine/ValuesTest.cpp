#include <gtest/gtest.h>

#include <string>

#include "sqlengine/Engine.h"
#include "sqlengine/SessionImpl.h"
#include "sqlengine/Values.h"

namespace {

using sqlengine::ConvertMode;
using sqlengine::convertValue;
using sqlengine::SqlError;
using sqlengine::TypeSpec;
using sqlengine::Value;

TypeSpec type(const char* name, int length = 0, int precision = 0, int scale = 0) {
    TypeSpec t;
    t.name = name;
    t.length = length;
    t.precision = precision;
    t.scale = scale;
    return sqlengine::normalizeType(t, false);
}

struct ConvertCase {
    const char* name;
    Value input;
    TypeSpec target;
    ConvertMode mode;
    const char* expected;  // text form of the result
    int error;             // or the error number
};

class ConvertTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertTest, ConvertsOrRaises) {
    const ConvertCase& c = GetParam();
    if (c.error) {
        try {
            convertValue(c.input, c.target, c.mode);
            FAIL() << "no error";
        } catch (const SqlError& e) {
            EXPECT_EQ(e.number(), c.error) << e.message();
        }
    } else {
        EXPECT_EQ(convertValue(c.input, c.target, c.mode).toText(), c.expected);
    }
}

const ConvertCase kConversions[] = {
    {"IntFromText", Value::text(" 42 "), type("int"), ConvertMode::Store, "42", 0},
    {"IntFromEmptyTextIsZero", Value::text(""), type("int"), ConvertMode::Store, "0", 0},
    {"IntFromDecimalTextFails", Value::text("1.5"), type("int"), ConvertMode::Store, "", 245},
    {"IntFromRealTruncates", Value::real(-2.7), type("int"), ConvertMode::Cast, "-2", 0},
    {"IntOverflow", Value::integer(2147483648LL), type("int"), ConvertMode::Store, "", 8115},
    {"TinyintRange", Value::integer(-1), type("tinyint"), ConvertMode::Store, "", 8115},
    {"SmallintFits", Value::integer(-32768), type("smallint"), ConvertMode::Store, "-32768", 0},
    {"BitFromNumber", Value::integer(7), type("bit"), ConvertMode::Store, "1", 0},
    {"BitFromWord", Value::text("false"), type("bit"), ConvertMode::Store, "0", 0},
    {"BitFromGarbage", Value::text("yes"), type("bit"), ConvertMode::Store, "", 245},
    {"DecimalRounds", Value::real(1.005), type("decimal", 0, 10, 2), ConvertMode::Store, "1", 0},
    {"DecimalKeepsScale", Value::text("12.345"), type("decimal", 0, 10, 2), ConvertMode::Store, "12.35", 0},
    {"DecimalOverflow", Value::integer(1000), type("numeric", 0, 5, 2), ConvertMode::Store, "", 8115},
    {"DecimalFromText", Value::text("abc"), type("decimal", 0, 10, 2), ConvertMode::Store, "", 8114},
    {"MoneyHasFourDecimals", Value::text("1.23456"), type("money"), ConvertMode::Store, "1.2346", 0},
    {"FloatFromText", Value::text("2.5e1"), type("float"), ConvertMode::Store, "25", 0},
    {"NvarcharCountsCharacters", Value::text("中文中文中"), type("nvarchar", 5), ConvertMode::Store,
     "中文中文中", 0},
    {"NvarcharTooLong", Value::text("abcdef"), type("nvarchar", 5), ConvertMode::Store, "", 8152},
    {"VarcharCountsBytes", Value::text("中文中"), type("varchar", 5), ConvertMode::Store, "", 8152},
    {"VarcharCastCuts", Value::text("中文中"), type("varchar", 5), ConvertMode::Cast, "中文", 0},
    {"TrailingBlanksAreCutQuietly", Value::text("ab    "), type("char", 2), ConvertMode::Store, "ab", 0},
    {"NumberToText", Value::integer(-12), type("varchar", 10), ConvertMode::Store, "-12", 0},
    {"DateOnly", Value::text("2006-3-4"), type("datetime"), ConvertMode::Store, "2006-03-04 00:00:00.000", 0},
    {"DateCompact", Value::text("20061231 23:59:59"), type("datetime"), ConvertMode::Store,
     "2006-12-31 23:59:59.000", 0},
    {"DateUsOrder", Value::text("12/31/2006 1:02 PM"), type("datetime"), ConvertMode::Store,
     "2006-12-31 13:02:00.000", 0},
    {"DateFraction", Value::text("2006-01-02 03:04:05.7"), type("datetime"), ConvertMode::Store,
     "2006-01-02 03:04:05.700", 0},
    {"DateFromDays", Value::integer(1), type("datetime"), ConvertMode::Cast, "1900-01-02 00:00:00.000", 0},
    {"DateInvalidDay", Value::text("2006-02-30"), type("datetime"), ConvertMode::Store, "", 241},
    {"DateGarbage", Value::text("soon"), type("datetime"), ConvertMode::Store, "", 241},
    {"SmallDatetimeRoundsToMinute", Value::text("2006-01-01 10:20:40"), type("smalldatetime"),
     ConvertMode::Store, "2006-01-01 10:21:00.000", 0},
    {"GuidUpperCased", Value::text("{6f9619ff-8b86-d011-b42d-00c04fc964ff}"), type("uniqueidentifier"),
     ConvertMode::Store, "6F9619FF-8B86-D011-B42D-00C04FC964FF", 0},
    {"GuidMalformed", Value::text("6f9619ff-8b86"), type("uniqueidentifier"), ConvertMode::Store, "", 8169},
    {"BinaryTooLong", Value::text("abc"), type("varbinary", 2), ConvertMode::Store, "", 8152},
    {"NullStaysNull", Value::null(), type("int"), ConvertMode::Store, "", 0},
};

INSTANTIATE_TEST_SUITE_P(Values, ConvertTest, ::testing::ValuesIn(kConversions),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertLengthTest, MaxHasNoLimit) {
    std::string big(9000, 'x');
    EXPECT_EQ(convertValue(Value::text(big), type("nvarchar", -1), ConvertMode::Store).s, big);
    EXPECT_EQ(convertValue(Value::text(big), type("ntext"), ConvertMode::Store).s, big);
}

TEST(ConvertStyleTest, DatetimeStylesOfConvert) {
    Value d = Value::text("2006-03-04 05:06:07.089");
    TypeSpec v = type("varchar", 30);
    EXPECT_EQ(convertValue(d, v, ConvertMode::Cast, 120).toText(), "2006-03-04 05:06:07");
    EXPECT_EQ(convertValue(d, v, ConvertMode::Cast, 121).toText(), "2006-03-04 05:06:07.089");
    EXPECT_EQ(convertValue(d, v, ConvertMode::Cast, 112).toText(), "20060304");
    EXPECT_EQ(convertValue(d, v, ConvertMode::Cast, 111).toText(), "2006/03/04");
    EXPECT_EQ(convertValue(d, v, ConvertMode::Cast, 108).toText(), "05:06:07");
    EXPECT_EQ(convertValue(d, v, ConvertMode::Cast, 0).toText(), "Mar  4 2006  5:06AM");
    // A text that is no datetime keeps its form whatever the style.
    EXPECT_EQ(convertValue(Value::text("abc"), v, ConvertMode::Cast, 120).toText(), "abc");
}

TEST(PasswordPolicyTest, NeedsSixCharactersOfThreeKinds) {
    const char* weak[] = {"", "abc", "Ab1#", "abcdefgh", "ABCDEF12", "12345678", "abc123"};
    for (const char* p : weak) {
        try {
            sqlengine::checkPasswordPolicy(p);
            ADD_FAILURE() << "accepted " << p;
        } catch (const SqlError& e) {
            EXPECT_EQ(e.number(), 15118);
        }
    }
    const char* strong[] = {"Abc123", "abc#12", "ABC-de", "Pass word1", "密码Ab1x"};
    for (const char* p : strong) EXPECT_NO_THROW(sqlengine::checkPasswordPolicy(p)) << p;
}

TEST(PasswordHashTest, StoredFormVerifiesOnlyTheSamePassword) {
    std::string stored = sqlengine::hashPassword("Secret#1");
    EXPECT_EQ(stored.find("Secret"), std::string::npos);
    EXPECT_TRUE(sqlengine::checkPassword(stored, "Secret#1"));
    EXPECT_FALSE(sqlengine::checkPassword(stored, "secret#1"));
    EXPECT_FALSE(sqlengine::checkPassword(stored, ""));
    // Two hashes of one password differ by their salt.
    EXPECT_NE(sqlengine::hashPassword("x"), sqlengine::hashPassword("x"));
    EXPECT_TRUE(sqlengine::checkPassword(sqlengine::hashPassword(""), ""));
}

}  // namespace
