#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/Text.h"
#include "shell/SilentRun.h"
#include "shell/Switches.h"
#include "support/FakeWizard.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

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

TEST_F(SilentRunTest, TextsOfPasswordBoxesAreMaskedInTheLog) {
    run("type frmNamePWD.txtSqlPwd=Secret1\n");
    EXPECT_NE(log().find("line 1: type frmNamePWD.txtSqlPwd=********"), std::string::npos) << log();
    run("set frmDBAPwd.inputPWDConfirm=Secret2\n");
    EXPECT_NE(log().find("line 1: set frmDBAPwd.inputPWDConfirm=********"), std::string::npos) << log();
    // Other boxes are logged as typed; an empty password stays visibly empty.
    run("set frmIIS.txtVirtualDIR=Secret3\nset frmNamePWD.txtOstrelPwd=\n");
    EXPECT_NE(log().find("line 1: set frmIIS.txtVirtualDIR=Secret3"), std::string::npos) << log();
    EXPECT_NE(log().find("line 2: set frmNamePWD.txtOstrelPwd=\n"), std::string::npos) << log();
}

TEST_F(SilentRunTest, ARefusalShowsItsBoxAndStartsNothing) {
    SilentRunOptions options;
    options.logFile = dir.path() / "setup.log";
    options.refusal =
        MessageBoxRequest{.text = L"busy", .icon = MsgIcon::Exclamation, .title = L"InstallShield"};
    EXPECT_EQ(runSilently(options, values, machine.services()), RunResult::EndedEarly);
    EXPECT_NE(log().find("title=\"InstallShield\" icon=exclamation buttons=OK text=\"busy\""),
              std::string::npos)
        << log();
    EXPECT_EQ(log().find("frmIIS"), std::string::npos) << log();
    EXPECT_EQ(machine.commandLineReads, 0);
}

// The answers file named as the log, or no file at all: refused before
// anything is written, so the answers file survives.
struct BadSwitchFiles {
    const char* name;
    // Makes the answers file and returns the log file's name, both in `dir`.
    std::filesystem::path (*make)(const std::filesystem::path& dir);
};

class SwitchFilesTest : public ::testing::TestWithParam<BadSwitchFiles> {};

TEST_P(SwitchFilesTest, AreRefusedWithThreeBeforeAnythingIsWritten) {
    test::TempDir dir;
    const std::filesystem::path answers = dir.path() / "a.txt";
    const std::filesystem::path logFile = GetParam().make(dir.path());
    const bool regular = std::filesystem::is_regular_file(answers);
    const std::string before = regular ? test::readFileBytes(answers) : "";
    test::FakeMachine machine;
    ProcessValues values;
    SilentRunOptions options;
    options.answersFile = answers;
    options.logFile = logFile;
    EXPECT_EQ(runSilently(options, values, machine.services()), RunResult::BadAnswers);
    if (regular) {
        EXPECT_EQ(test::readFileBytes(answers), before);
    }
    EXPECT_FALSE(std::filesystem::is_regular_file(logFile) && logFile != answers &&
                 !std::filesystem::equivalent(logFile, answers))
        << "log written";
    EXPECT_EQ(machine.commandLineReads, 0);
}

std::filesystem::path writeAnswers(const std::filesystem::path& dir) {
    test::writeFileBytes(dir / "a.txt", "click frmIIS.cmdCancel\nanswer Yes\n");
    return dir / "setup.log";
}

INSTANTIATE_TEST_SUITE_P(
    SilentRun, SwitchFilesTest,
    ::testing::Values(BadSwitchFiles{"SameName",
                                     [](const std::filesystem::path& dir) {
                                         writeAnswers(dir);
                                         return dir / "a.txt";
                                     }},
                      BadSwitchFiles{"OtherSpelling",
                                     [](const std::filesystem::path& dir) {
                                         writeAnswers(dir);
                                         std::filesystem::create_directory(dir / "sub");
                                         return dir / "sub" / ".." / "." / "a.txt";
                                     }},
                      BadSwitchFiles{"SymbolicLink",
                                     [](const std::filesystem::path& dir) {
                                         writeAnswers(dir);
                                         std::filesystem::create_symlink(dir / "a.txt", dir / "link.log");
                                         return dir / "link.log";
                                     }},
                      BadSwitchFiles{"HardLink",
                                     [](const std::filesystem::path& dir) {
                                         writeAnswers(dir);
                                         std::filesystem::create_hard_link(dir / "a.txt", dir / "hard.log");
                                         return dir / "hard.log";
                                     }},
                      BadSwitchFiles{"AnswersFolder",
                                     [](const std::filesystem::path& dir) {
                                         std::filesystem::create_directory(dir / "a.txt");
                                         return dir / "setup.log";
                                     }},
                      BadSwitchFiles{"AnswersFifo",
                                     [](const std::filesystem::path& dir) {
                                         ::mkfifo((dir / "a.txt").c_str(), 0600);
                                         return dir / "setup.log";
                                     }},
                      BadSwitchFiles{"LogFifo",
                                     [](const std::filesystem::path& dir) {
                                         ::mkfifo((dir / "setup.log").c_str(), 0600);
                                         return writeAnswers(dir);
                                     }}),
    [](const ::testing::TestParamInfo<BadSwitchFiles>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace t7
