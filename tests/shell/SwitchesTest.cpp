// The installer's switches, taken out of split arguments (POSIX) and out of
// the raw argument text Windows keeps, which must reach the wizard's own
// splitting exactly as written apart from the switches.
#include <gtest/gtest.h>

#include "process/CommandLine.h"
#include "shell/Switches.h"

namespace t7 {
namespace {

TEST(SwitchesTest, AreTakenOutOfTheArgumentsInAnyLetterCase) {
    std::vector<std::wstring> args = {L"t7", L"/S", L"/f1\"my answers.txt\"", L"D:\\Exam", L"/F2setup.log",
                                      L"/r", L"/sx"};
    const SetupSwitches switches = extractSwitches(args);
    EXPECT_TRUE(switches.silent);
    EXPECT_TRUE(switches.record);
    EXPECT_EQ(switches.answersFile, L"my answers.txt");
    EXPECT_EQ(switches.logFile, L"setup.log");
    EXPECT_EQ(args, (std::vector<std::wstring>{L"t7", L"D:\\Exam", L"/sx"}));
}

// Native paths begin with "/" like the switches; an argument that names an
// existing file or folder, or follows "--", is an argument.
TEST(SwitchesTest, ExistingPathsAndArgumentsAfterDoubleDashAreNoSwitches) {
    const auto exists = [](const std::wstring& path) { return path == L"/f1x/Exam" || path == L"/F2data"; };
    std::vector<std::wstring> args = {L"t7", L"/f1x/Exam", L"/F2data", L"/f2setup.log", L"/s"};
    SetupSwitches switches = extractSwitches(args, exists);
    EXPECT_FALSE(switches.answersFile);
    EXPECT_EQ(switches.logFile, L"setup.log");
    EXPECT_TRUE(switches.silent);
    EXPECT_EQ(args, (std::vector<std::wstring>{L"t7", L"/f1x/Exam", L"/F2data"}));

    args = {L"/s", L"/f1a.txt", L"--", L"t7", L"/f1y/Exam", L"/r", L"--"};
    switches = extractSwitches(args);
    EXPECT_TRUE(switches.silent);
    EXPECT_FALSE(switches.record);
    EXPECT_EQ(switches.answersFile, L"a.txt");
    EXPECT_EQ(args, (std::vector<std::wstring>{L"t7", L"/f1y/Exam", L"/r", L"--"}));
}

struct TextCase {
    const char* name;
    std::wstring text;
    std::wstring kept;
    bool silent;
    std::optional<std::wstring> answersFile;
    std::optional<std::wstring> logFile;
};

class SwitchesInTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(SwitchesInTextTest, AreRemovedAndTheRestStaysAsWritten) {
    std::wstring text = GetParam().text;
    const SetupSwitches switches = extractSwitchesFromText(text);
    EXPECT_EQ(text, GetParam().kept);
    EXPECT_EQ(switches.silent, GetParam().silent);
    EXPECT_EQ(switches.answersFile, GetParam().answersFile);
    EXPECT_EQ(switches.logFile, GetParam().logFile);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SwitchesInTextTest,
    ::testing::Values(
        TextCase{"InstallersLine", LR"("t7" "C:\考试\Exam" /s /f1"C:\a b.txt" /f2"C:\setup.log")",
                 LR"("t7" "C:\考试\Exam")", true, LR"(C:\a b.txt)", LR"(C:\setup.log)"},
        // Unquoted, the first argument still runs to the end once the
        // switches are gone, as the wizard reads it.
        TextCase{"UnquotedFirst", LR"(t7 "C:\Exam" /S /F1C:\a.txt)", LR"(t7 "C:\Exam")", true, LR"(C:\a.txt)",
                 std::nullopt},
        TextCase{"SwitchesFirst", L"/s\t /f2log.txt  \"t7\"  D:\\Program  Files ",
                 L"\"t7\"  D:\\Program  Files ", true, std::nullopt, L"log.txt"},
        TextCase{"TrailingBlanksGoWithTheSwitch", L"\"t7\" D:\\Exam /s  ", L"\"t7\" D:\\Exam", true,
                 std::nullopt, std::nullopt},
        // Quotes hold blanks and switch-like text inside one word.
        TextCase{"QuotedWords", LR"("t7" "D:\x /s y"z /s/ "/s")", LR"("t7" "D:\x /s y"z /s/ "/s")", false,
                 std::nullopt, std::nullopt},
        TextCase{"DoubleDash", LR"(/s -- "t7" /s)", LR"("t7" /s)", true, std::nullopt, std::nullopt},
        TextCase{"Empty", L"", L"", false, std::nullopt, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// What the wizard then reads: the Chinese folder as its second argument.
TEST(SwitchesInTextTest, TheWizardSplitsTheRestIntoItsArguments) {
    std::wstring text = LR"("t7" "C:\考试\Exam" /s /f1"C:\answers.txt")";
    extractSwitchesFromText(text);
    EXPECT_EQ(SplitCommandLine(text), (std::vector<std::wstring>{L"", L"t7", LR"(C:\考试\Exam)"}));
}

}  // namespace
}  // namespace t7
