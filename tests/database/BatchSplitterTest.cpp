#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/BatchSplitter.h"

namespace t7 {
namespace {

struct SplitCase {
    const char* name;
    std::wstring script;
    std::vector<std::wstring> batches;
};

void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << c.name;
}

class BatchSplitterTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(BatchSplitterTest, SplitsAtSeparatorLinesOnly) {
    EXPECT_EQ(splitBatches(GetParam().script), GetParam().batches);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, BatchSplitterTest,
    ::testing::Values(
        SplitCase{"NoSeparator",
                  L"create table a (x int)\r\ninsert a values (1)\r\n",
                  {L"create table a (x int)\r\ninsert a values (1)\r\n"}},
        SplitCase{"SeparatorsInAnyCaseWithBlanks",
                  L"a\r\nGO\r\nb\r\n go\r\nc\r\nGo\t \r\nd\r\n\tgO",
                  {L"a\r\n", L"b\r\n", L"c\r\n", L"d\r\n"}},
        SplitCase{"LfLineEnds", L"a\ngo\nb", {L"a\n", L"b"}},
        // The rule is by lines: a GO line ends the batch even inside a
        // string or a block comment.
        SplitCase{"GoInsideStringOrComment",
                  L"print 'one\r\nGO\r\ntwo'\r\n/* x\r\n go \r\n*/\r\n",
                  {L"print 'one\r\n", L"two'\r\n/* x\r\n", L"*/\r\n"}},
        SplitCase{"GoAsPartOfALineIsNoSeparator",
                  L"GOTO x\r\nselect 'GO'\r\nGO;\r\nG O\r\n",
                  {L"GOTO x\r\nselect 'GO'\r\nGO;\r\nG O\r\n"}},
        SplitCase{"EmptyAndBlankBatchesAreLeftOut",
                  L"GO\r\n\r\na\r\nGO\r\n  \r\n\t\r\nGO\r\nGO\r\n",
                  {L"\r\na\r\n"}},
        SplitCase{"CommentsStayInTheirBatch",
                  L"-- head\r\na\r\nGO\r\n/* tail */\r\n",
                  {L"-- head\r\na\r\n", L"/* tail */\r\n"}},
        SplitCase{
            "TrailingNulPaddingIsDropped", std::wstring(L"a\r\nGO\r\nb\r\n\0\0\0", 14), {L"a\r\n", L"b\r\n"}},
        SplitCase{"NulPaddingAfterLastSeparator", std::wstring(L"a\r\nGO\r\n\0\0", 9), {L"a\r\n"}},
        SplitCase{"EmptyScript", L"", {}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace t7
