#include <gtest/gtest.h>

#include "base/Text.h"
#include "shell/SilentRun.h"
#include "shell/Switches.h"
#include "support/FakeWizard.h"
#include "support/TestPaths.h"

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

TEST_F(SilentRunTest, AFullRunWithAReportedFailureEndsWithFour) {
    machine.createResult = VirtualDirsResult::FailureReported;
    const RunResult result =
        run("click frmIIS.cmdOK\n"
            "click frmNamePWD.cmdOk\n"
            "type frmNamePWD.txtOstrelUser=admin\n"
            "click frmNamePWD.cmdOk\n");
    EXPECT_EQ(result, RunResult::CompletedWithFailures);
    EXPECT_NE(log().find("failures reported on the way: 1"), std::string::npos) << log();
    EXPECT_EQ(lastLine(), "ResultCode=4");
    EXPECT_TRUE(machine.storedURLs.empty());
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
