// The durable file write and the append-only file over the Windows calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "base/AppError.h"
#include "base/AppendFile.h"
#include "base/DurableFile.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

namespace fs = std::filesystem;

class Win32FilesTest : public ::testing::Test {
protected:
    test::TempDir dir;
    fs::path file() const { return dir.path() / L"配置.config"; }
    size_t entries() const {
        return static_cast<size_t>(
            std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));
    }
};

TEST_F(Win32FilesTest, DurableWriteCreatesAndReplacesLeavingNoTemporary) {
    ASSERT_FALSE(writeFileDurably(file(), "first"));
    EXPECT_EQ(test::readFileBytes(file()), "first");
    SetFileAttributesW(file().c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_FALSE(writeFileDurably(file(), std::string("second\0", 7)));
    EXPECT_EQ(test::readFileBytes(file()), std::string("second\0", 7));
    // The replaced file keeps its attributes.
    EXPECT_TRUE(GetFileAttributesW(file().c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(Win32FilesTest, AReadOnlyFileOrAFolderIsNotReplaced) {
    test::writeFileBytes(file(), "kept");
    SetFileAttributesW(file().c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(writeFileDurably(file(), "new"), std::errc::permission_denied);
    EXPECT_EQ(test::readFileBytes(file()), "kept");
    SetFileAttributesW(file().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::create_directory(dir.path() / L"folder");
    EXPECT_TRUE(writeFileDurably(dir.path() / L"folder", "x"));
    EXPECT_TRUE(writeFileDurably(dir.path() / L"missing" / L"f", "x"));
    EXPECT_EQ(entries(), 2u);
}

TEST_F(Win32FilesTest, LeftoversOfEndedProcessesGoAndThoseOfLiveOnesStay) {
    test::writeFileBytes(file(), "kept");
    const fs::path ended = file().wstring() + L".t7tmp-4000000000-0";
    const fs::path ours = file().wstring() + L".t7tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-7";
    const fs::path other = file().wstring() + L".t7tmp-x-1";
    for (const fs::path& p : {ended, ours, other}) test::writeFileBytes(p, "partial");
    removeLeftoverTemporaries(file());
    EXPECT_FALSE(fs::exists(ended));
    EXPECT_TRUE(fs::exists(ours));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_EQ(test::readFileBytes(file()), "kept");
}

TEST_F(Win32FilesTest, AppendFileAppendsAndReportsTheRuntimesErrors) {
    {
        AppendFile log(file());
        log.write("one\r\n");
        log.close();
        EXPECT_THROW(log.write("late"), AppError);
    }
    AppendFile(file()).write("two\r\n");
    EXPECT_EQ(test::readFileBytes(file()), "one\r\ntwo\r\n");
    try {
        AppendFile missing(dir.path() / L"missing" / L"ErrorLog.TXT");
        ADD_FAILURE() << "opened a file in a missing folder";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), errnum::PathNotFound);
    }
    try {
        AppendFile folder(dir.path());
        ADD_FAILURE() << "opened a folder";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), 75);
    }
}

}  // namespace
}  // namespace t7
