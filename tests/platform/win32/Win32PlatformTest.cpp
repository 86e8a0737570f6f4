// The Windows adapters that have no contract suite of their own: the
// command line, the file system's error numbers, the address table and the
// computer name, the command runner, the clock and the database choice.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "base/AppError.h"
#include "base/Text.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32CommandRunner.h"
#include "platform/win32/Win32DatabaseService.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32NetworkInfoService.h"
#include "platform/win32/Win32ProcessService.h"
#include "process/CommandLine.h"
#include "support/AppErrors.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

using test::errorNumberOf;

struct CommandLineCase {
    const wchar_t* full;
    const wchar_t* arguments;
    std::vector<std::wstring> split;  // SplitCommandLine of the arguments
};

class Win32CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

// The program's name goes by the rule of Windows; the rest reaches the
// wizard's own splitting exactly as it was passed.
TEST_P(Win32CommandLineTest, TheTextAfterTheProgramNameIsSplitAsTheWizardSplits) {
    const std::wstring arguments = Win32ProcessService::argumentsOfCommandLine(GetParam().full);
    EXPECT_EQ(arguments, GetParam().arguments);
    EXPECT_EQ(SplitCommandLine(arguments), GetParam().split);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Win32CommandLineTest,
    ::testing::Values(
        CommandLineCase{
            L"t7setup.exe \"t7\" \"D:\\Exam\"", L"\"t7\" \"D:\\Exam\"", {L"", L"t7", L"D:\\Exam"}},
        CommandLineCase{L"\"C:\\Program Files\\T7\\t7setup.exe\"  \"t7\" D:\\Program Files\\Exam",
                        L"\"t7\" D:\\Program Files\\Exam",
                        {L"", L"t7", L"D:\\Program Files\\Exam"}},
        // Unquoted, the first argument runs to the end of the line.
        CommandLineCase{L"t7setup t7 D:\\Exam", L"t7 D:\\Exam", {L"", L"t7 D:\\Exam"}},
        CommandLineCase{L"t7setup.exe\t\"a\"b", L"\"a\"b", {L"", L"a", L"b"}},
        CommandLineCase{L"\"t7setup.exe\"\"\" x", L"x", {L"", L"x"}},
        CommandLineCase{L"t7setup.exe", L"", {L""}}, CommandLineCase{L"", L"", {L""}}));

TEST(Win32ProcessServiceTest, ProgramFolderHoldsTheRunningProgram) {
    const std::wstring folder = Win32ProcessService().programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), L'\\');
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / L"test_platform_win32.exe"));
}

class Win32FileSystemTest : public ::testing::Test {
protected:
    test::TempDir dir;
    Win32FileSystem files;
    std::wstring path(const std::wstring& name) const { return (dir.path() / name).wstring(); }
};

TEST_F(Win32FileSystemTest, FailuresRaiseTheScriptingRuntimesNumbers) {
    EXPECT_EQ(errorNumberOf([&] { files.createFolder(path(L"missing\\child")); }), errnum::PathNotFound);
    files.createFolder(path(L"考试"));
    EXPECT_TRUE(files.folderExists(path(L"考试")));
    EXPECT_FALSE(files.fileExists(path(L"考试")));
    EXPECT_EQ(errorNumberOf([&] { files.createFolder(path(L"考试")); }), 58);
    EXPECT_EQ(errorNumberOf([&] { files.deleteFile(path(L"none.txt")); }), errnum::FileNotFound);
    EXPECT_EQ(errorNumberOf([&] { files.deleteFile(path(L"考试")); }), errnum::FileNotFound);
    EXPECT_EQ(errorNumberOf([&] { files.moveFile(path(L"none.txt"), path(L"b.txt")); }),
              errnum::FileNotFound);

    test::writeFileBytes(dir.path() / L"a.txt", "a");
    test::writeFileBytes(dir.path() / L"b.txt", "b");
    EXPECT_EQ(errorNumberOf([&] { files.moveFile(path(L"a.txt"), path(L"b.txt")); }), 58);
    EXPECT_EQ(test::readFileBytes(dir.path() / L"b.txt"), "b");
    files.moveFile(path(L"a.txt"), path(L"考试\\a.txt"));
    EXPECT_TRUE(files.fileExists(path(L"考试\\a.txt")));
    files.deleteFile(path(L"考试\\a.txt"));
    EXPECT_FALSE(files.fileExists(path(L"考试\\a.txt")));
}

TEST_F(Win32FileSystemTest, SystemDirectoryIsTheSystemsOwn) {
    wchar_t expected[MAX_PATH] = {};
    GetSystemDirectoryW(expected, MAX_PATH);
    EXPECT_EQ(files.systemDirectory(), expected);
    EXPECT_TRUE(files.folderExists(files.systemDirectory()));
}

TEST(Win32NetworkInfoServiceTest, TheAddressTableHoldsTheLoopbackAndTheSizeProtocolHolds) {
    Win32NetworkInfoService network;
    uint32_t size = 0;
    network.GetIpAddrTable(nullptr, size, true);
    ASSERT_GE(size, 4u + 24u);
    std::vector<uint8_t> table(size);
    ASSERT_EQ(network.GetIpAddrTable(table.data(), size, false), 0u);
    const uint32_t rows = table[0] | table[1] << 8 | table[2] << 16 | static_cast<uint32_t>(table[3]) << 24;
    ASSERT_EQ(size, 4u + 24u * rows);
    bool loopback = false;
    for (uint32_t i = 0; i < rows; ++i) {
        const uint8_t* a = &table[4 + 24 * i];
        loopback = loopback || (a[0] == 127 && a[1] == 0 && a[2] == 0 && a[3] == 1);
    }
    EXPECT_TRUE(loopback);
}

TEST(Win32NetworkInfoServiceTest, ComputerNameIsTheSystemsInCodePage936) {
    wchar_t expected[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(expected, &length));
    Win32NetworkInfoService network;
    char buffer[255] = {};
    uint32_t size = 255;
    ASSERT_TRUE(network.GetComputerNameA(buffer, size));
    EXPECT_EQ(fromCp936(std::string(buffer, size)), std::wstring(expected, length));
    uint32_t tooSmall = 1;
    EXPECT_FALSE(network.GetComputerNameA(buffer, tooSmall));
    EXPECT_EQ(tooSmall, size + 1);
}

TEST(Win32CommandRunnerTest, AProgramThatCannotBeFoundRaisesFileNotFound) {
    Win32CommandRunner runner;
    EXPECT_EQ(errorNumberOf([&] { runner.start(L"t7-no-such-program.exe start"); }), errnum::FileNotFound);
    EXPECT_EQ(errorNumberOf([&] { runner.start(L"  "); }), errnum::FileNotFound);
}

TEST(Win32CommandRunnerTest, TheCommandRunsOnByItself) {
    test::TempDir dir;
    const std::filesystem::path marker = dir.path() / L"ran.txt";
    Win32CommandRunner runner;
    runner.start(L"cmd.exe /c echo ran> \"" + marker.wstring() + L"\"");
    // Not waited for by the runner: the test waits for its effect.
    for (int i = 0; i < 600 && test::readFileBytes(marker).empty(); ++i) Sleep(50);
    EXPECT_EQ(test::readFileBytes(marker), "ran\r\n");
}

TEST(Win32ClockTest, TheTextIsTheRegionalShortDateAndLongTime) {
    const std::wstring text = Win32Clock().localDateTimeText();
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t date[64] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 64);
    // The date part (the clock could pass midnight in between, not a minute).
    EXPECT_EQ(text.substr(0, wcslen(date)), date);
    EXPECT_EQ(text[wcslen(date)], L' ');
    EXPECT_NE(text.find(L':'), std::wstring::npos);
}

TEST(Win32DatabaseChoiceTest, OdbcByDefaultEngineFoldersAndRefusals) {
    for (const wchar_t* odbc : {L"", L"odbc", L"ODBC"}) {
        EXPECT_EQ(parseDatabaseChoice(odbc, L"").kind, DatabaseChoice::Kind::Odbc) << toUtf8(odbc);
    }
    const DatabaseChoice engine = parseDatabaseChoice(L"ENGINE", L"C:\\PD");
    EXPECT_EQ(engine.kind, DatabaseChoice::Kind::Engine);
    EXPECT_EQ(engine.serverFolder, std::filesystem::path(L"C:\\PD\\T7Setup\\sqlserver"));
    EXPECT_EQ(parseDatabaseChoice(L"engine:D:\\数据 库", L"").serverFolder,
              std::filesystem::path(L"D:\\数据 库"));
    for (const wchar_t* bad : {L"engine:", L"odbc:", L"sqlserver"}) {
        EXPECT_EQ(errorNumberOf([&] { parseDatabaseChoice(bad, L"C:\\PD"); }), errnum::InvalidProcedureCall)
            << toUtf8(bad);
    }
}

}  // namespace
}  // namespace t7
