#include <gtest/gtest.h>

#include <filesystem>

#include "base/Text.h"
#include "platform/posix/PosixProcessService.h"
#include "process/CommandLine.h"

namespace t7 {
namespace {

TEST(PosixProcessServiceTest, UnquotedShellArgumentsKeepTheirBoundaries) {
    // What the shell hands over for: t7setup t7 "/srv/my exam" ""
    const char* argv[] = {"/usr/bin/t7setup", "t7", "/srv/my exam", "", "考试"};
    PosixProcessService process(5, argv);
    EXPECT_EQ(process.commandLineArguments(), L"\"t7\" \"/srv/my exam\" \"\" \"考试\"");
    EXPECT_EQ(SplitCommandLine(process),
              (std::vector<std::wstring>{L"", L"t7", L"/srv/my exam", L"", L"考试"}));
}

TEST(PosixProcessServiceTest, CmdlineBytesKeepEmptyArgumentsAndDropTheProgramName) {
    using Args = std::vector<std::wstring>;
    using namespace std::string_view_literals;
    EXPECT_EQ(PosixProcessService::argumentsOfCmdline("t7setup\0"sv), Args{});
    EXPECT_EQ(PosixProcessService::argumentsOfCmdline("t7setup\0t7\0\0"sv), (Args{L"t7", L""}));
    EXPECT_EQ(PosixProcessService::argumentsOfCmdline("t7setup\0\0/srv/exam\0"sv), (Args{L"", L"/srv/exam"}));
    EXPECT_EQ(PosixProcessService::argumentsOfCmdline("t7setup\0\xE8\x80\x83\0"sv), (Args{L"考"}));
}

TEST(PosixProcessServiceTest, ProgramFolderHoldsTheRunningProgram) {
    PosixProcessService process;
    const std::filesystem::path folder(toUtf8(process.programFolder()));
    EXPECT_TRUE(std::filesystem::exists(folder / "test_platform"));
}

}  // namespace
}  // namespace t7
