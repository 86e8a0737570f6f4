#include <gtest/gtest.h>
#include <sys/stat.h>

#include "shell/PrivateFile.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

class PrivateFileTest : public ::testing::Test {
protected:
    // Whatever the umask, only the owner may read.
    void SetUp() override { m_umask = ::umask(0); }
    void TearDown() override { ::umask(m_umask); }

    test::TempDir dir;
    mode_t m_umask = 0;
};

std::filesystem::perms permissionsOf(const std::filesystem::path& file) {
    return std::filesystem::status(file).permissions();
}

constexpr auto kOwnerOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;

TEST_F(PrivateFileTest, IsCreatedForItsOwnerOnly) {
    std::wstring why;
    auto file = createPrivateFile(dir.path() / "answers.txt", why);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->append("set frmNamePWD.txtOstrelPwd=pw\n"));
    EXPECT_EQ(permissionsOf(dir.path() / "answers.txt"), kOwnerOnly);
    EXPECT_EQ(test::readFileBytes(dir.path() / "answers.txt"), "set frmNamePWD.txtOstrelPwd=pw\n");
}

TEST_F(PrivateFileTest, AnExistingFileIsRestrictedAndEmptied) {
    test::writeFileBytes(dir.path() / "answers.txt", "old text that is longer\n");
    std::filesystem::permissions(dir.path() / "answers.txt", std::filesystem::perms(0666));
    std::wstring why;
    auto file = createPrivateFile(dir.path() / "answers.txt", why);
    ASSERT_TRUE(file);
    EXPECT_EQ(permissionsOf(dir.path() / "answers.txt"), kOwnerOnly);
    EXPECT_TRUE(file->append("new\n"));
    EXPECT_EQ(test::readFileBytes(dir.path() / "answers.txt"), "new\n");
}

TEST_F(PrivateFileTest, AFolderOrAFifoIsRefusedWithoutWaiting) {
    std::filesystem::create_directory(dir.path() / "folder");
    ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
    for (const char* name : {"folder", "fifo"}) {
        std::wstring why;
        EXPECT_FALSE(createPrivateFile(dir.path() / name, why)) << name;
        EXPECT_FALSE(why.empty()) << name;
    }
}

}  // namespace
}  // namespace t7
