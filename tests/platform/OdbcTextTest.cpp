// Text between the wizard and ODBC's 16-bit SQLWCHAR.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/odbc/OdbcText.h"

namespace t7::odbc {
namespace {

struct TextCase {
    std::wstring text;
    std::vector<SQLWCHAR> units;
};

class OdbcTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(OdbcTextTest, ConvertsBothWaysAsUtf16) {
    const TextCase& c = GetParam();
    std::vector<SQLWCHAR> expected = c.units;
    expected.push_back(0);
    EXPECT_EQ(toOdbcText(c.text), expected);
    EXPECT_EQ(fromOdbcText(c.units.data(), c.units.size()), c.text);
}

INSTANTIATE_TEST_SUITE_P(Texts, OdbcTextTest,
                         ::testing::Values(TextCase{L"", {}}, TextCase{L"sa", {u's', u'a'}},
                                           TextCase{L"考试系统", {0x8003, 0x8BD5, 0x7CFB, 0x7EDF}},
                                           // U+20BB7 (a CJK Extension B character) is a surrogate pair.
                                           TextCase{L"A\U00020BB7B", {u'A', 0xD842, 0xDFB7, u'B'}}));

TEST(OdbcTextLoneSurrogateTest, LoneSurrogatesBecomeReplacementCharacters) {
    if constexpr (sizeof(wchar_t) == sizeof(SQLWCHAR)) GTEST_SKIP() << "wchar_t is UTF-16 here";
    const std::vector<SQLWCHAR> units{0xD842, u'x', 0xDFB7};
    EXPECT_EQ(fromOdbcText(units.data(), units.size()), L"\xFFFDx\xFFFD");
    // A high surrogate at the very end has no partner to read past.
    EXPECT_EQ(fromOdbcText(units.data(), 1), L"\xFFFD");
    const std::wstring bad{static_cast<wchar_t>(0xDC00), L'y'};
    EXPECT_EQ(toOdbcText(bad), (std::vector<SQLWCHAR>{0xFFFD, u'y', 0}));
}

}  // namespace
}  // namespace t7::odbc
