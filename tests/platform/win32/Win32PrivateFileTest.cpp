// Owner-only files on Windows. Wine makes up a file's access list from its
// host file's mode and keeps none that is set, so the owner-only list itself
// is not checked here; what the file holds is.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "shell/PrivateFile.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

namespace fs = std::filesystem;

class Win32PrivateFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    fs::path file() const { return dir.path() / L"答案.txt"; }
};

TEST_F(Win32PrivateFileTest, ANewFileHoldsWhatWasAppended) {
    std::wstring why;
    auto created = createPrivateFile(file(), why);
    ASSERT_TRUE(created) << std::string(why.begin(), why.end());
    EXPECT_TRUE(created->append("set frmNamePWD.txtOstrelPwd=pw\r\n"));
    EXPECT_TRUE(created->append(std::string(70000, 'x')));
    created.reset();
    EXPECT_EQ(test::readFileBytes(file()), "set frmNamePWD.txtOstrelPwd=pw\r\n" + std::string(70000, 'x'));
}

TEST_F(Win32PrivateFileTest, AnExistingFileIsEmptiedFirst) {
    test::writeFileBytes(file(), "old text that is longer\r\n");
    std::wstring why;
    auto created = createPrivateFile(file(), why);
    ASSERT_TRUE(created) << std::string(why.begin(), why.end());
    // Written from the start over a longer text: only emptying leaves no tail.
    EXPECT_TRUE(created->append("new\r\n"));
    created.reset();
    EXPECT_EQ(test::readFileBytes(file()), "new\r\n");
}

TEST_F(Win32PrivateFileTest, AFolderOrAMissingFolderIsRefused) {
    fs::create_directory(dir.path() / L"folder");
    for (const fs::path& target : {dir.path() / L"folder", dir.path() / L"absent" / L"answers.txt"}) {
        std::wstring why;
        EXPECT_FALSE(createPrivateFile(target, why)) << target;
        EXPECT_FALSE(why.empty()) << target;
    }
}

}  // namespace
}  // namespace t7
