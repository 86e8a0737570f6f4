#include <gtest/gtest.h>

#include <optional>

#include "base/Text.h"
#include "shell/SilentRun.h"
#include "shell/Switches.h"
#include "support/FakeWizard.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

struct SwitchesCase {
    const wchar_t* text;
    const wchar_t* rest;
    bool silent, record;
    std::optional<std::wstring> answers, log;
};

class SwitchesTest : public ::testing::TestWithParam<SwitchesCase> {};

TEST_P(SwitchesTest, AreTakenOutOfTheRawTextAndTheRestStaysAsItWas) {
    std::wstring text = GetParam().text;
    const SetupSwitches switches = extractSwitches(text);
    EXPECT_EQ(text, GetParam().rest);
    EXPECT_EQ(switches.silent, GetParam().silent);
    EXPECT_EQ(switches.record, GetParam().record);
    EXPECT_EQ(switches.answersFile, GetParam().answers);
    EXPECT_EQ(switches.logFile, GetParam().log);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SwitchesTest,
    ::testing::Values(
        // As the installer passes them on Windows.
        SwitchesCase{L"\"t7\" \"C:\\Exam\" /s /f1\"C:\\my answers.txt\" /f2\"C:\\setup.log\"",
                     L"\"t7\" \"C:\\Exam\"", true, false, L"C:\\my answers.txt", L"C:\\setup.log"},
        // Rejoined POSIX arguments, each quoted; any letter case; /sx is no switch.
        SwitchesCase{L"\"t7\" \"/S\" \"/f1my answers.txt\" \"D:\\Exam\" \"/F2setup.log\" \"/r\" \"/sx\"",
                     L"\"t7\" \"D:\\Exam\" \"/sx\"", true, true, L"my answers.txt", L"setup.log"},
        // Inside a quoted argument, or glued to other text, it stays text.
        SwitchesCase{L"\"D:\\Exam /s\"\t t7/s", L"\"D:\\Exam /s\"\t t7/s", false, false, std::nullopt,
                     std::nullopt},
        // The unquoted argument keeps its inner blanks once a switch has gone.
        SwitchesCase{L"  /s t7 D:\\Exam  x", L" t7 D:\\Exam  x", true, false, std::nullopt, std::nullopt},
        SwitchesCase{L"", L"", false, false, std::nullopt, std::nullopt}));

class SilentRunTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::FakeMachine machine;
    ProcessValues values;
    frmNamePWDHooks database;

    // The administrator step of a run that completes: the page closes and
    // the success value is written.
    void SetUp() override {
        database.adminStep = [this](frmNamePWD& page) {
            page.unload();
            values.ifDataSucceedWritten = true;
        };
        database.serverStep = [](frmNamePWD& page) { page.ShowAdminSetting(); };
    }

    RunResult run(const std::string& answers) {
        test::writeFileBytes(dir.path() / "answers.txt", answers);
        SilentRunOptions options;
        options.answersFile = dir.path() / "answers.txt";
        options.logFile = dir.path() / "setup.log";
        WizardServices services = machine.services();
        services.database = database;
        return runSilently(options, values, std::move(services));
    }
    std::string log() { return test::readFileBytes(dir.path() / "setup.log"); }
    std::string lastLine() {
        std::string text = log();
        text.pop_back();
        return text.substr(text.rfind('\n') + 1);
    }
};

TEST_F(SilentRunTest, AFullRunEndsWithZero) {
    const RunResult result =
        run("# the whole wizard\n"
            "set frmIIS.txtVirtualDIR=exam\n"
            "click frmIIS.cmdOK\n"
            "answer OK\n"
            "click frmNamePWD.cmdOk\n"
            "type frmNamePWD.txtOstrelUser=9admin\n"
            "click frmNamePWD.cmdOk\n");
    EXPECT_EQ(result, RunResult::Completed);
    EXPECT_EQ(lastLine(), "ResultCode=0");
    EXPECT_EQ(machine.storedURLs, std::vector<std::wstring>{L"http://192.168.1.10/exam"});
    const std::string text = log();
    EXPECT_NE(text.find("line 3: click frmIIS.cmdOK"), std::string::npos);
    EXPECT_NE(text.find(toUtf8(L"message box title=\"InstallShield\" icon=information buttons=OK "
                               L"text=\"IIS配置成功!\\rhttp://192.168.1.10/exam\" answer=OK")),
              std::string::npos)
        << text;
}

TEST_F(SilentRunTest, CancellingEndsEarlyWithOne) {
    EXPECT_EQ(run("click frmIIS.cmdCancel\nanswer Yes\n"), RunResult::EndedEarly);
    EXPECT_EQ(lastLine(), "ResultCode=1");
}

TEST_F(SilentRunTest, AMissingArgumentEndsWithOneAndTheBoxTakesItsDefault) {
    machine.commandLine = L"\"t7\"";
    EXPECT_EQ(run(""), RunResult::EndedEarly);
    EXPECT_NE(log().find("answer=OK (default button: no answer line)"), std::string::npos) << log();
}

TEST_F(SilentRunTest, RunningOutOfActionsEndsWithTwo) {
    EXPECT_EQ(run("set frmIIS.txtVirtualDIR=exam\n"), RunResult::ActionsRanOut);
    EXPECT_EQ(lastLine(), "ResultCode=2");

    // Also while a modal dialog waits.
    machine.addresses = {L"10.0.0.1", L"10.0.0.2", L"10.0.0.3"};
    EXPECT_EQ(run("# nothing\n"), RunResult::ActionsRanOut);
    EXPECT_NE(log().find("no actions left while frmSelectIP waits"), std::string::npos) << log();
}

TEST_F(SilentRunTest, ABadAnswersFileRunsNothingAndEndsWithThree) {
    EXPECT_EQ(run("click frmIIS.cmdCancel\nanswer Yes\nclick frmIIS.cmdNope\n"), RunResult::BadAnswers);
    EXPECT_NE(log().find("line 3: unknown control 'frmIIS.cmdNope'"), std::string::npos) << log();
    EXPECT_EQ(log().find("form frmIIS loaded"), std::string::npos);
    EXPECT_EQ(lastLine(), "ResultCode=3");
}

TEST_F(SilentRunTest, AnActionThatCannotBeCarriedOutEndsWithThreeNamingItsLine) {
    EXPECT_EQ(run("click frmIIS.cmdOK\nanswer Yes\n"), RunResult::BadAnswers);
    EXPECT_NE(log().find("line 2: the box shows OK only"), std::string::npos) << log();

    EXPECT_EQ(run("click frmNamePWD.cmdOk\n"), RunResult::BadAnswers);
    EXPECT_NE(log().find("line 1: form frmNamePWD is not shown"), std::string::npos) << log();
}

}  // namespace
}  // namespace t7
