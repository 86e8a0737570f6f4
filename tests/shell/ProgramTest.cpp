// t7setup as the installer starts it: switches, silent runs, exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/Text.h"
#include "shell/WizardLock.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

class ProgramTest : public ::testing::Test {
protected:
    test::TempDir dir;
    // The build folder: from ctest, else the one holding this test program.
    std::filesystem::path bin =
        std::getenv("T7_BINARY_DIR")
            ? std::filesystem::path(std::getenv("T7_BINARY_DIR"))
            : std::filesystem::canonical("/proc/self/exe").parent_path().parent_path();

    void SetUp() override {
        ASSERT_EQ(std::system(("'" + (bin / "tools/t7machine").string() + "' init '" +
                               (dir.path() / "machine").string() + "' >/dev/null")
                                  .c_str()),
                  0);
        std::filesystem::create_directories(dir.path() / "Exam" / "WebRoot");
    }

    // Runs t7setup with `arguments` (shell syntax) on the test's machine,
    // without a display, so that it never waits for an operator.
    int run(const std::string& arguments, const std::string& answers) {
        test::writeFileBytes(dir.path() / "answers.txt", answers);
        const std::string command =
            "cd '" + dir.path().string() +
            "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM T7SETUP_MACHINE='" +
            (dir.path() / "machine").string() + "' '" + (bin / "shell/t7setup").string() + "' " + arguments +
            " </dev/null >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string log() { return test::readFileBytes(dir.path() / "setup.log"); }
};

TEST_F(ProgramTest, SwitchesInAnyCaseNeverReachTheWizard) {
    // Were "/S" taken as the second argument, the page would wait instead.
    EXPECT_EQ(run("\"t7\" /S /F1\"answers.txt\" /f2\"setup.log\"", ""), 1);
    EXPECT_NE(log().find("text=\"程序运行缺少参数！"), std::string::npos) << log();
    EXPECT_NE(log().find("ResultCode=1"), std::string::npos);

    EXPECT_EQ(run("/s /f1\"answers.txt\" /f2\"setup.log\" \"t7\" Exam", "set frmIIS.txtVirtualDIR=exam\n"),
              2);
    EXPECT_NE(log().find("line 1: set frmIIS.txtVirtualDIR=exam"), std::string::npos) << log();
    EXPECT_NE(log().find("ResultCode=2"), std::string::npos);
}

TEST_F(ProgramTest, ABadAnswersFileExitsWithThreeNamingTheLine) {
    EXPECT_EQ(run("t7 Exam /s /f1answers.txt /f2setup.log", "# fine\nclick frmIIS.cmdOK\nanswr OK\n"), 3);
    EXPECT_NE(log().find("line 3: unknown action 'answr'"), std::string::npos) << log();
}

TEST_F(ProgramTest, AnswersFileThatIsAlsoTheLogOrAFolderExitsWithThreeWritingNothing) {
    const std::string answers = "click frmIIS.cmdCancel\nanswer Yes\n";
    EXPECT_EQ(run("t7 Exam /s /f1\"answers.txt\" /f2\"answers.txt\"", answers), 3);
    EXPECT_EQ(test::readFileBytes(dir.path() / "answers.txt"), answers);
    EXPECT_EQ(run("t7 Exam /s /f1answers.txt /f2./Exam/../answers.txt", answers), 3);
    EXPECT_EQ(test::readFileBytes(dir.path() / "answers.txt"), answers);
    // Recording into a folder fails before the desktop is even looked for.
    EXPECT_EQ(run("t7 Exam /r /f1Exam", answers), 3);
}

TEST_F(ProgramTest, ASecondWizardOnTheMachineSaysSoAndTouchesNothing) {
    const std::filesystem::path machine = dir.path() / "machine";
    const std::string registry = test::readFileBytes(machine / "registry.reg");
    const WizardLockResult first = takeWizardLock(machine);
    ASSERT_EQ(first.state, WizardLockState::Held);
    EXPECT_EQ(run("t7 Exam /s /f1answers.txt /f2setup.log",
                  "set frmIIS.txtVirtualDIR=exam\nclick frmIIS.cmdOK\nanswer OK\n"),
              1);
    EXPECT_NE(log().find(toUtf8(kOtherWizardRunning)), std::string::npos) << log();
    EXPECT_EQ(log().find("frmIIS"), std::string::npos) << log();
    EXPECT_EQ(test::readFileBytes(machine / "registry.reg"), registry);
}

TEST_F(ProgramTest, WithoutSilentModeOrADisplayItSaysSoAndEnds) {
    EXPECT_EQ(run("t7 Exam", ""), 1);
}

}  // namespace
}  // namespace t7
