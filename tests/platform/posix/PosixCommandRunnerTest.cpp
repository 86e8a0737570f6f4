#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "base/AppError.h"
#include "platform/posix/PosixCommandRunner.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

struct WordsCase {
    std::wstring line;
    std::vector<std::string> words;
};

class CommandWordsTest : public ::testing::TestWithParam<WordsCase> {};

TEST_P(CommandWordsTest, SplitsAtBlanksOutsideQuotes) {
    EXPECT_EQ(splitCommandWords(GetParam().line), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandWordsTest,
    ::testing::Values(WordsCase{L"net start mssqlserver", {"net", "start", "mssqlserver"}},
                      WordsCase{L"  net\t start  ", {"net", "start"}},
                      WordsCase{L"run \"D:\\My Exam\" \"\" x", {"run", "D:\\My Exam", "", "x"}},
                      WordsCase{L"", {}}));

class PosixCommandRunnerTest : public ::testing::Test {
protected:
    // An executable script named `name` in `folder` that writes its
    // arguments and its tag into the file "ran" of the test folder.
    void writeProgram(const std::filesystem::path& folder, const std::string& name, const std::string& tag) {
        std::filesystem::path file = folder / name;
        test::writeFileBytes(
            file, "#!/bin/sh\necho " + tag + " \"$@\" > '" + (m_dir.path() / "ran").string() + "'\n");
        ::chmod(file.c_str(), 0755);
    }

    int waitFor(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    test::TempDir m_dir;
};

TEST_F(PosixCommandRunnerTest, SearchFolderComesBeforePath) {
    writeProgram(m_dir.path() / "first", "t7probe", "first");
    writeProgram(m_dir.path() / "onpath", "t7probe", "path");
    std::string oldPath = ::getenv("PATH") ? ::getenv("PATH") : "";
    ::setenv("PATH", ((m_dir.path() / "onpath").string() + ":" + oldPath).c_str(), 1);

    EXPECT_EQ(waitFor(PosixCommandRunner({m_dir.path() / "first"}).spawn(L"t7probe start mssqlserver")), 0);
    EXPECT_EQ(test::readFileBytes(m_dir.path() / "ran"), "first start mssqlserver\n");
    EXPECT_EQ(waitFor(PosixCommandRunner({m_dir.path() / "empty"}).spawn(L"t7probe \"two words\"")), 0);
    EXPECT_EQ(test::readFileBytes(m_dir.path() / "ran"), "path two words\n");
    ::setenv("PATH", oldPath.c_str(), 1);
}

TEST_F(PosixCommandRunnerTest, MissingProgramRaisesFileNotFound) {
    PosixCommandRunner runner({m_dir.path()});
    for (const wchar_t* line : {L"t7-no-such-program start", L"", L"/no/such/folder/net start"}) {
        try {
            runner.start(line);
            ADD_FAILURE() << "started " << line;
        } catch (const AppError& e) {
            EXPECT_EQ(e.number(), errnum::FileNotFound);
        }
    }
}

}  // namespace
}  // namespace t7
