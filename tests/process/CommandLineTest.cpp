#include <gtest/gtest.h>

#include "base/AppError.h"
#include "process/CommandLine.h"
#include "process/ProcessService.h"

namespace t7 {
namespace {

using Args = std::vector<std::wstring>;

struct SplitCase {
    const wchar_t* name;
    std::wstring raw;
    Args expected;
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, RawTextGivesTheArgumentList) {
    EXPECT_EQ(SplitCommandLine(GetParam().raw), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{L"TwoQuoted", LR"("t7" "D:\Exam\Web")", {L"", L"t7", LR"(D:\Exam\Web)"}},
        SplitCase{L"UnquotedLastKeepsItsSpace",
                  LR"("t7" D:\Program Files\Exam)",
                  {L"", L"t7", LR"(D:\Program Files\Exam)"}},
        SplitCase{L"UnquotedFirstSwallowsTheRest", LR"(t7 D:\Exam\Web)", {L"", LR"(t7 D:\Exam\Web)"}},
        SplitCase{L"EmptyQuoted", LR"("" "D:\Exam")", {L"", L"", LR"(D:\Exam)"}},
        SplitCase{L"ClosingQuoteEndsWithoutSpace", LR"("a"b)", {L"", L"a", L"b"}},
        SplitCase{L"LeadingBlanksSkipped", L" \t \"x\"\t\"y\"", {L"", L"x", L"y"}},
        SplitCase{L"TrailingBlanksOfUnquotedLastKept", L"\"x\" y \t ", {L"", L"x", L"y \t "}},
        SplitCase{L"QuoteInsideUnquotedKept", L"a\"b \"c\"", {L"", L"a\"b \"c\""}},
        SplitCase{L"BlanksInsideQuotedKept", L"\"a \t b\"", {L"", L"a \t b"}},
        SplitCase{L"OpenQuoteRunsToTheEnd", L"\"t7\" \"D:\\Exam rest", {L"", L"t7", L"D:\\Exam rest"}},
        SplitCase{L"NoArguments", L"", {L""}}, SplitCase{L"OnlyBlanks", L"  \t ", {L""}},
        SplitCase{L"ElevenQuotedGiveTen",
                  L"\"1\" \"2\" \"3\" \"4\" \"5\" \"6\" \"7\" \"8\" \"9\" \"10\" \"11\"",
                  {L"", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"10"}}),
    [](const auto& info) { return std::string(info.param.name, info.param.name + wcslen(info.param.name)); });

TEST(SplitCommandLineLimitsTest, MaxArgsBoundsTheList) {
    EXPECT_EQ(SplitCommandLine(L"\"a\" \"b\" \"c\"", 2), (Args{L"", L"a", L"b"}));
    EXPECT_EQ(SplitCommandLine(L"\"a\"", 0), (Args{L""}));
    EXPECT_THROW(SplitCommandLine(L"\"a\"", -1), AppError);
}

TEST(JoinArgumentsTest, PreSplitArgumentsSplitBackOneByOne) {
    const std::vector<Args> cases = {
        {L"t7", L"/srv/exam"},
        {L"t7", L"/srv/my exam"},
        {L"", L"D:\\Exam"},
        {L"t7\tx", L"a b\tc"},
    };
    for (const Args& args : cases) {
        Args expected = {L""};
        expected.insert(expected.end(), args.begin(), args.end());
        EXPECT_EQ(SplitCommandLine(joinArguments(args)), expected) << joinArguments(args).size();
    }
}

TEST(JoinArgumentsTest, ArgumentThatBeginsWithAQuoteIsLeftAsItIs) {
    EXPECT_EQ(joinArguments({L"\"t7\"", L"/srv/exam"}), L"\"t7\" \"/srv/exam\"");
    EXPECT_EQ(joinArguments({}), L"");
}

class FixedProcess : public IProcessService {
public:
    std::wstring commandLineArguments() const override { return L"\"t7\" \"D:\\Exam\""; }
    std::wstring programFolder() const override { return L"C:\\Setup"; }
};

TEST(SplitCommandLineProcessTest, ReadsTheProcessArgumentText) {
    EXPECT_EQ(SplitCommandLine(FixedProcess()), (Args{L"", L"t7", L"D:\\Exam"}));
}

}  // namespace
}  // namespace t7
